#include "app/CaptionButtons.h"

#include "app/AppAccessibility.h"

#include <QColor>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace
{
constexpr int kFaceInset = 3;
constexpr int kGlyphInset = 4;
constexpr int kGlyphPenWidth = 2;
constexpr int kBevelWidth = 1;
const QColor kFaceColour(200, 200, 200);
} // namespace

CCaptionButtons::CCaptionButtons(QWidget* owner)
    : QWidget(owner)
{
    AppAccessibility::EnsureInstalled();
    PlaceInOwner();
}

int CCaptionButtons::ButtonWidth()
{
    return kMinimumButtonWidth;
}

void CCaptionButtons::PlaceInOwner()
{
    const int width = ButtonWidth();
    const int ownerWidth = parentWidget() ? parentWidget()->width() : width * 2;
    // Close at the corner; minimize overlaps it by two pixels, as the band was drawn for.
    const int left = ownerWidth - width - (width - 2);
    setGeometry(left, 0, ownerWidth - left, kButtonHeight);
}

QRect CCaptionButtons::LocalRect(Button button) const
{
    const int width = ButtonWidth();
    const QRect close(this->width() - width, 0, width, kButtonHeight);
    if (button == kClose) {
        return close;
    }
    if (button == kMinimize) {
        return close.translated(-(width - 2), 0);
    }
    return {};
}

QRect CCaptionButtons::CloseRect() const
{
    return LocalRect(kClose).translated(pos());
}

QRect CCaptionButtons::MinimizeRect() const
{
    return LocalRect(kMinimize).translated(pos());
}

CCaptionButtons::Button CCaptionButtons::LocalButtonAt(const QPoint& point) const
{
    if (LocalRect(kClose).contains(point)) {
        return kClose;
    }
    if (LocalRect(kMinimize).contains(point)) {
        return kMinimize;
    }
    return kNone;
}

CCaptionButtons::Button CCaptionButtons::ButtonAt(const QPoint& ownerPoint) const
{
    return LocalButtonAt(ownerPoint - pos());
}

void CCaptionButtons::DrawButton(QPainter& painter, Button button) const
{
    const QRect face = LocalRect(button).adjusted(kFaceInset, kFaceInset, -kFaceInset, -kFaceInset);
    painter.fillRect(face, kFaceColour);
    if (m_pressed == button) {
        // Two nested sunken bevels.
        const QPalette& colours = palette();
        for (int ring = 0; ring < 2; ++ring) {
            const QRect edge = face.adjusted(ring, ring, -ring - 1, -ring - 1);
            painter.setPen(QPen(colours.color(QPalette::Dark), kBevelWidth));
            painter.drawLine(edge.topLeft(), edge.topRight());
            painter.drawLine(edge.topLeft(), edge.bottomLeft());
            painter.setPen(QPen(colours.color(QPalette::Light), kBevelWidth));
            painter.drawLine(edge.bottomLeft(), edge.bottomRight());
            painter.drawLine(edge.topRight(), edge.bottomRight());
        }
    }
    painter.setPen(QPen(Qt::black, kGlyphPenWidth));
    const QRect glyph = face.adjusted(kGlyphInset, kGlyphInset, -kGlyphInset, -kGlyphInset);
    if (button == kClose) {
        painter.drawLine(glyph.topLeft(), glyph.bottomRight());
        painter.drawLine(glyph.topRight(), glyph.bottomLeft());
    } else {
        const int middle = glyph.center().y();
        painter.drawLine(glyph.left(), middle, glyph.right(), middle);
    }
}

void CCaptionButtons::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawButton(painter, kMinimize);
    DrawButton(painter, kClose);
}

void CCaptionButtons::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_tracking = false;
        m_pressed = kNone;
        update();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_pressed = LocalButtonAt(event->position().toPoint());
    m_tracking = m_pressed != kNone;
    update();
}

void CCaptionButtons::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Button pressed = m_pressed;
    const bool tracking = m_tracking;
    m_pressed = kNone;
    m_tracking = false;
    update();
    if (!tracking || LocalButtonAt(event->position().toPoint()) != pressed) {
        return;
    }
    Activate(pressed);
}

void CCaptionButtons::Activate(Button button)
{
    if (button == kClose) {
        emit closeClicked();
    } else if (button == kMinimize) {
        emit minimizeClicked();
    }
}

QString CCaptionButtons::ButtonName(Button button)
{
    if (button == kClose) {
        return QStringLiteral("Close");
    }
    return button == kMinimize ? QStringLiteral("Minimize") : QString();
}
