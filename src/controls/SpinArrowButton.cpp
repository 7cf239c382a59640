#include "controls/SpinArrowButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>

CSpinArrowButton::CSpinArrowButton(Direction direction, QWidget* parent)
    : QAbstractButton(parent)
    , m_direction(direction)
{
    // Clicking an arrow must not take the focus from the number, or every click would end the
    // user's edit.
    setFocusPolicy(Qt::NoFocus);
    // The number field itself steps with the Up and Down keys; these names are for pointing
    // with a screen reader.
    setAccessibleName(direction == Direction::Up ? QStringLiteral("Increase") : QStringLiteral("Decrease"));
}

void CSpinArrowButton::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QRect box = rect();
    painter.fillRect(box, palette().color(QPalette::Button));

    // Light on the top and left, dark on the bottom and right; swapped while held.
    const QColor light = isDown() ? Qt::black : Qt::white;
    const QColor dark = isDown() ? Qt::white : Qt::black;
    painter.fillRect(QRect(box.left(), box.top(), box.width() - 1, 1), light);
    painter.fillRect(QRect(box.left(), box.top(), 1, box.height() - 1), light);
    painter.fillRect(QRect(box.right(), box.top(), 1, box.height()), dark);
    painter.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), dark);

    const double height = box.height() / 2.0;
    const double halfBase = height;
    const QPointF centre = QRectF(box).center();
    const double tipY = m_direction == Direction::Up ? centre.y() - height / 2 : centre.y() + height / 2;
    const double baseY = m_direction == Direction::Up ? centre.y() + height / 2 : centre.y() - height / 2;
    QPainterPath triangle;
    triangle.moveTo(centre.x(), tipY);
    triangle.lineTo(centre.x() + halfBase, baseY);
    triangle.lineTo(centre.x() - halfBase, baseY);
    triangle.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(triangle, QColor::fromRgb(kTriangleColour));

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = box.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
