#include "controls/SkinButton.h"

#include "controls/ControlsAccessibility.h"
#include "controls/SkinBackground.h"
#include "controls/SkinFocus.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRegion>
#include <QToolTip>

CSkinButton::CSkinButton(QWidget* parent)
    : QAbstractButton(parent)
{
    ControlsAccessibility::EnsureInstalled();
    // Connected before anyone else can connect, so every receiver of clicked() already sees
    // the flipped state.
    connect(this, &QAbstractButton::clicked, this, [this] {
        m_heldDown = !m_heldDown;
        update();
    });
    // A click on a skinned button leaves the keyboard focus where the user was working.
    setFocusPolicy(Qt::TabFocus);
}

bool CSkinButton::LoadSkin(int upId, int downId)
{
    CSkinImage up;
    CSkinImage down;
    if (!up.LoadResource(upId) || !down.LoadResource(downId))
        return false;
    if (!SetSkin(std::move(up), std::move(down)))
        return false;
    CSkinImage upDouble;
    CSkinImage downDouble;
    constexpr int kDouble = 2;
    const bool doubled = upDouble.LoadResource(upId, kDouble) && downDouble.LoadResource(downId, kDouble) &&
                         upDouble.Width() == kDouble * m_up.Width() && upDouble.Height() == kDouble * m_up.Height() &&
                         downDouble.Width() == upDouble.Width() && downDouble.Height() == upDouble.Height();
    if (doubled) {
        m_upDouble = std::move(upDouble);
        m_downDouble = std::move(downDouble);
    }
    return true;
}

bool CSkinButton::SetSkin(CSkinImage up, CSkinImage down)
{
    if (up.IsNull() || up.Width() != down.Width() || up.Height() != down.Height())
        return false;
    m_up = std::move(up);
    m_down = std::move(down);
    m_upDouble = CSkinImage();
    m_downDouble = CSkinImage();
    const QSize size(m_up.Width(), m_up.Height());
    setFixedSize(size);
    setMask(QRegion(QRect(QPoint(0, 0), size), QRegion::Ellipse));
    update();
    return true;
}

void CSkinButton::SetToggleMode(bool toggle)
{
    m_toggleMode = toggle;
    update();
}

void CSkinButton::SetHeldDown(bool down)
{
    m_heldDown = down;
    repaint();
}

const CSkinImage& CSkinButton::ShownPicture(bool doubleSize) const
{
    const bool showDown = m_toggleMode ? m_heldDown : isDown();
    if (doubleSize)
        return showDown ? m_downDouble : m_upDouble;
    return showDown ? m_down : m_up;
}

QImage CSkinButton::ComposedDoublePicture() const
{
    const CSkinImage& picture = ShownPicture(true);
    if (picture.IsNull())
        return {};
    constexpr int kDouble = 2;
    QImage surface = SkinBackground::Under(this);
    if (surface.isNull()) {
        surface = SkinBackground::ToQImage(picture);
    } else {
        // The skin behind is only published at its own size; its soft grain hardly shows the
        // upscaling, while the picture on top keeps every pixel.
        surface = surface.scaled(size() * kDouble, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_RGB32);
        SkinBackground::Composite(surface, picture, QPoint(0, 0));
    }
    surface.setDevicePixelRatio(kDouble);
    return surface;
}

QImage CSkinButton::ComposedPicture() const
{
    const CSkinImage& picture = ShownPicture(false);
    if (picture.IsNull())
        return {};
    QImage surface = SkinBackground::Under(this);
    if (surface.isNull()) {
        // No window skin to blend into: let Qt's own background show through the soft edges.
        surface = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        surface.fill(Qt::transparent);
        QPainter painter(&surface);
        painter.drawImage(QPoint(0, 0), SkinBackground::ToQImage(picture));
        return surface;
    }
    SkinBackground::Composite(surface, picture, QPoint(0, 0));
    return surface;
}

QSize CSkinButton::sizeHint() const
{
    return m_up.IsNull() ? QSize() : QSize(m_up.Width(), m_up.Height());
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    const QImage picture =
        devicePixelRatioF() > 1.0 && !m_upDouble.IsNull() ? ComposedDoublePicture() : ComposedPicture();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture);
    if (hasFocus()) {
        // Inside the button's elliptic shape, or the mask would cut it away.
        SkinFocus::Paint(painter, this, rect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset), true);
    }
}

void CSkinButton::keyPressEvent(QKeyEvent* event)
{
    // Space is QAbstractButton's own; Enter presses a skinned button as well, since these stand
    // for the dialog buttons a keyboard user would press with it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (isEnabled()) {
            click();
        }
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

bool CSkinButton::hitButton(const QPoint& pos) const
{
    return InsideEllipse(pos);
}

bool CSkinButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text(), this);
        return true;
    }
    return QAbstractButton::event(event);
}

bool CSkinButton::InsideEllipse(const QPoint& pos) const
{
    const double radiusX = width() / 2.0;
    const double radiusY = height() / 2.0;
    if (radiusX <= 0 || radiusY <= 0)
        return false;
    // Pixel centres, so the test agrees with the window's elliptic mask.
    const double dx = (pos.x() + 0.5 - radiusX) / radiusX;
    const double dy = (pos.y() + 0.5 - radiusY) / radiusY;
    return dx * dx + dy * dy <= 1.0;
}
