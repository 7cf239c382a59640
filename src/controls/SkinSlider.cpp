#include "controls/SkinSlider.h"

#include "controls/SkinBackground.h"
#include "controls/SkinFocus.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace
{
constexpr QSize kHorizontalThumb(16, 21);
constexpr QSize kVerticalThumb(20, 16);
constexpr int kHorizontalTrackThickness = 21;
constexpr int kVerticalTrackThickness = 24;
constexpr int kHorizontalTrackLength = 140;
constexpr int kVerticalTrackLength = 80;
constexpr int kTickLength = 4;
constexpr int kTickGap = 2;
constexpr QRgb kAlphaMask = 0xFF000000;

// Maps a position along a channel of `length` pixels onto the track picture of `pictureLength`
// pixels: both ends of the picture are kept and its middle is stretched or cut.
int PictureOffset(int position, int length, int pictureLength)
{
    const int fromEnd = length - position;
    if (length < pictureLength)
        return position < length / 2 ? position : pictureLength - fromEnd;
    const int half = pictureLength / 2;
    if (position < half)
        return position;
    return fromEnd <= pictureLength - half ? pictureLength - fromEnd : half;
}
} // namespace

CSkinSlider::CSkinSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
{}

void CSkinSlider::SetFillMode(bool fill)
{
    m_fillMode = fill;
    update();
}

QSize CSkinSlider::ThumbSize() const
{
    return orientation() == Qt::Horizontal ? kHorizontalThumb : kVerticalThumb;
}

int CSkinSlider::SpanLength() const
{
    const int length =
        orientation() == Qt::Horizontal ? width() - ThumbSize().width() : height() - ThumbSize().height();
    return std::max(0, length);
}

bool CSkinSlider::UpsideDown() const
{
    // The same reading of direction as QSlider's: vertical sliders have their minimum at the bottom.
    if (orientation() == Qt::Horizontal)
        return invertedAppearance() != (layoutDirection() == Qt::RightToLeft);
    return !invertedAppearance();
}

int CSkinSlider::AlongAxis(const QPoint& point) const
{
    return orientation() == Qt::Horizontal ? point.x() : point.y();
}

QRect CSkinSlider::ThumbRect() const
{
    const QSize thumb = ThumbSize();
    const int start =
        QStyle::sliderPositionFromValue(minimum(), maximum(), sliderPosition(), SpanLength(), UpsideDown());
    if (orientation() == Qt::Horizontal)
        return QRect(QPoint(start, (height() - thumb.height()) / 2), thumb);
    return QRect(QPoint((width() - thumb.width()) / 2, start), thumb);
}

QRect CSkinSlider::ChannelRect() const
{
    const QSize thumb = ThumbSize();
    if (orientation() == Qt::Horizontal)
        return QRect(thumb.width() / 2, (height() - kHorizontalTrackThickness) / 2, SpanLength(),
                     kHorizontalTrackThickness);
    return QRect((width() - kVerticalTrackThickness) / 2, thumb.height() / 2, kVerticalTrackThickness, SpanLength());
}

QSize CSkinSlider::sizeHint() const
{
    const QSize thumb = ThumbSize();
    if (orientation() == Qt::Horizontal)
        return {kHorizontalTrackLength + thumb.width(), std::max(kHorizontalTrackThickness, thumb.height())};
    return {std::max(kVerticalTrackThickness, thumb.width()), kVerticalTrackLength + thumb.height()};
}

QSize CSkinSlider::minimumSizeHint() const
{
    const QSize thumb = ThumbSize();
    if (orientation() == Qt::Horizontal)
        return {2 * thumb.width(), std::max(kHorizontalTrackThickness, thumb.height())};
    return {std::max(kVerticalTrackThickness, thumb.width()), 2 * thumb.height()};
}

void CSkinSlider::EnsurePictures()
{
    if (m_picturesLoaded && m_picturesOrientation == orientation())
        return;
    const bool horizontal = orientation() == Qt::Horizontal;
    // A missing picture leaves that part undrawn; the slider still works.
    m_track.LoadResource(horizontal ? kHorizontalTrackId : kVerticalTrackId);
    m_thumbPressed.LoadResource(horizontal ? kHorizontalThumbPressedId : kVerticalThumbPressedId);
    m_thumbReleased.LoadResource(horizontal ? kHorizontalThumbReleasedId : kVerticalThumbReleasedId);
    constexpr int kDouble = 2;
    m_thumbPressedDouble.LoadResource(horizontal ? kHorizontalThumbPressedId : kVerticalThumbPressedId, kDouble);
    m_thumbReleasedDouble.LoadResource(horizontal ? kHorizontalThumbReleasedId : kVerticalThumbReleasedId, kDouble);
    m_picturesLoaded = true;
    m_picturesOrientation = orientation();
}

QImage CSkinSlider::TrackLayer(const QRect& channel) const
{
    QImage layer(channel.size(), QImage::Format_ARGB32);
    layer.fill(Qt::transparent);
    if (m_track.IsNull() || channel.isEmpty())
        return layer;
    const bool horizontal = orientation() == Qt::Horizontal;
    const QRect thumb = ThumbRect();
    // The tint covers the minimum side of the thumb centre, in channel coordinates.
    const int centre = horizontal ? thumb.center().x() - channel.left() : thumb.center().y() - channel.top();
    const bool minimumAtLowCoordinate = !UpsideDown();
    const int length = horizontal ? channel.width() : channel.height();
    const int thickness = horizontal ? channel.height() : channel.width();
    const int pictureLength = horizontal ? m_track.Width() : m_track.Height();
    const int pictureThickness = horizontal ? m_track.Height() : m_track.Width();
    for (int along = 0; along < length; ++along) {
        const int source = PictureOffset(along, length, pictureLength);
        const bool tinted = m_fillMode && (minimumAtLowCoordinate ? along < centre : along > centre);
        for (int across = 0; across < thickness && across < pictureThickness; ++across) {
            QRgb pixel = horizontal ? m_track.Pixel(source, across) : m_track.Pixel(across, source);
            if (tinted)
                pixel = (pixel & kAlphaMask) | kFillTint;
            if (horizontal)
                layer.setPixel(along, across, pixel);
            else
                layer.setPixel(across, along, pixel);
        }
    }
    return layer;
}

void CSkinSlider::PaintTicks(QPainter& painter) const
{
    if (tickPosition() == QSlider::NoTicks || maximum() <= minimum())
        return;
    const int interval = tickInterval() > 0 ? tickInterval() : std::max(1, pageStep());
    const QRect channel = ChannelRect();
    const QRect thumb = ThumbRect();
    painter.setPen(palette().color(QPalette::WindowText));
    for (int value = minimum(); value <= maximum(); value += interval) {
        const int offset = QStyle::sliderPositionFromValue(minimum(), maximum(), value, SpanLength(), UpsideDown());
        if (orientation() == Qt::Horizontal) {
            const int x = channel.left() + offset;
            if (tickPosition() & QSlider::TicksAbove)
                painter.drawLine(x, thumb.top() - kTickGap - kTickLength, x, thumb.top() - kTickGap);
            if (tickPosition() & QSlider::TicksBelow)
                painter.drawLine(x, thumb.bottom() + kTickGap, x, thumb.bottom() + kTickGap + kTickLength);
        } else {
            const int y = channel.top() + offset;
            if (tickPosition() & QSlider::TicksLeft)
                painter.drawLine(thumb.left() - kTickGap - kTickLength, y, thumb.left() - kTickGap, y);
            if (tickPosition() & QSlider::TicksRight)
                painter.drawLine(thumb.right() + kTickGap, y, thumb.right() + kTickGap + kTickLength, y);
        }
    }
}

void CSkinSlider::paintEvent(QPaintEvent*)
{
    EnsurePictures();
    QImage surface = SkinBackground::Under(this);
    const bool overSnapshot = !surface.isNull();
    if (!overSnapshot) {
        surface = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        surface.fill(Qt::transparent);
    }
    // Blends a layer into the surface by the skin rule when there is a window skin to blend
    // into, otherwise over Qt's own background.
    const auto blend = [&](const QImage& layer, QPoint at) {
        if (overSnapshot) {
            SkinBackground::Composite(surface, layer, at);
        } else {
            QPainter painter(&surface);
            painter.drawImage(at, layer);
        }
    };

    const QRect channel = ChannelRect();
    if (m_fillMode) {
        blend(TrackLayer(channel), channel.topLeft());
    } else {
        const QRect edge =
            orientation() == Qt::Vertical ? channel.adjusted(-1, 0, 1, 0) : channel.adjusted(0, -2, 0, 2);
        QPainter painter(&surface);
        qDrawShadePanel(&painter, edge, palette(), true, 1);
    }

    const CSkinImage& thumbPicture = isSliderDown() ? m_thumbPressed : m_thumbReleased;
    const CSkinImage& doubleThumb = isSliderDown() ? m_thumbPressedDouble : m_thumbReleasedDouble;
    const QRect thumb = ThumbRect();
    if (devicePixelRatioF() > 1.0 && !doubleThumb.IsNull() && !thumbPicture.IsNull()) {
        // On a high-density screen the knob, the part the eye follows, comes from its sharper
        // picture; the groove and skin below are scaled up.
        constexpr int kDouble = 2;
        surface = surface.scaled(size() * kDouble, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QPoint at(kDouble * thumb.left() + (kDouble * thumb.width() - doubleThumb.Width()) / 2,
                        kDouble * thumb.top() + (kDouble * thumb.height() - doubleThumb.Height()) / 2);
        blend(SkinBackground::ToQImage(doubleThumb), at);
        surface.setDevicePixelRatio(kDouble);
    } else if (!thumbPicture.IsNull()) {
        const QPoint at(thumb.left() + (thumb.width() - thumbPicture.Width()) / 2,
                        thumb.top() + (thumb.height() - thumbPicture.Height()) / 2);
        blend(SkinBackground::ToQImage(thumbPicture), at);
    }

    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), surface);
    PaintTicks(painter);
    if (hasFocus()) {
        SkinFocus::Paint(painter, this, rect());
    }
}

void CSkinSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || maximum() == minimum()) {
        event->ignore();
        return;
    }
    event->accept();
    const QRect thumb = ThumbRect();
    const int along = AlongAxis(event->position().toPoint());
    const int thumbStart = AlongAxis(thumb.topLeft());
    if (thumb.contains(event->position().toPoint())) {
        m_dragOffset = along - thumbStart;
        setSliderDown(true);
        update();
        return;
    }
    // A click beside the thumb pages towards it, as a trackbar does.
    const bool clickBeforeThumb = along < thumbStart;
    const bool towardsMinimum = clickBeforeThumb == !UpsideDown();
    triggerAction(towardsMinimum ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!isSliderDown()) {
        event->ignore();
        return;
    }
    event->accept();
    const int start = AlongAxis(event->position().toPoint()) - m_dragOffset;
    setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), start, SpanLength(), UpsideDown()));
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isSliderDown() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    setSliderDown(false);
    update();
}
