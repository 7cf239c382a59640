#include "controls/SkinIndicator.h"

#include <QAbstractButton>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace
{
bool CellOnRight(const QAbstractButton* button)
{
    return button->layoutDirection() == Qt::RightToLeft;
}

QRect CellRect(const QAbstractButton* button)
{
    const int top = (button->height() - SkinIndicator::kCellSize) / 2;
    const int left = CellOnRight(button) ? button->width() - SkinIndicator::kCellSize : 0;
    return {left, top, SkinIndicator::kCellSize, SkinIndicator::kCellSize};
}
} // namespace

namespace SkinIndicator
{
QRect BoxRect(const QAbstractButton* button)
{
    return CellRect(button).adjusted(kCellInset, kCellInset, -kCellInset, -kCellInset);
}

QColor BoxFill(const QAbstractButton* button)
{
    return button->palette().color(button->isDown() ? QPalette::Highlight : QPalette::Base);
}

void PaintText(QPainter& painter, const QAbstractButton* button)
{
    const QRect cell = CellRect(button);
    QRect textArea = button->rect();
    if (CellOnRight(button))
        textArea.setRight(cell.left() - kTextGap - 1);
    else
        textArea.setLeft(cell.right() + kTextGap + 1);
    const int flags = Qt::AlignVCenter | (CellOnRight(button) ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextShowMnemonic;
    const QPalette::ColorGroup group = button->isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(button->palette().color(group, QPalette::WindowText));
    painter.setFont(button->font());
    QRect used;
    painter.drawText(textArea, flags, button->text(), &used);
    if (button->hasFocus() && !button->text().isEmpty()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(button);
        focus.rect = used.adjusted(-1, 0, 1, 0);
        button->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, button);
    }
}
} // namespace SkinIndicator
