#include "controls/SkinIndicator.h"

#include "controls/SkinFocus.h"

#include <QAbstractButton>
#include <QPainter>

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

QRect TextRect(const QAbstractButton* button)
{
    const QRect cell = CellRect(button);
    QRect textArea = button->rect();
    if (CellOnRight(button))
        textArea.setRight(cell.left() - kTextGap - 1);
    else
        textArea.setLeft(cell.right() + kTextGap + 1);
    return textArea;
}

bool IsTextElided(const QAbstractButton* button)
{
    return button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))) >
           TextRect(button).width();
}

QColor BoxFill(const QAbstractButton* button)
{
    return button->palette().color(button->isDown() ? QPalette::Highlight : QPalette::Base);
}

void PaintText(QPainter& painter, const QAbstractButton* button)
{
    const QRect cell = CellRect(button);
    const QRect textArea = TextRect(button);
    const int flags = Qt::AlignVCenter | (CellOnRight(button) ? Qt::AlignRight : Qt::AlignLeft) | Qt::TextShowMnemonic;
    const QPalette::ColorGroup group = button->isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(button->palette().color(group, QPalette::WindowText));
    painter.setFont(button->font());
    QRect used;
    // A text longer than its room ends in "…"; the owner puts the whole text in the tool tip.
    const QString shown =
        painter.fontMetrics().elidedText(button->text(), Qt::ElideRight, textArea.width(), Qt::TextShowMnemonic);
    painter.drawText(textArea, flags, shown, &used);
    if (button->hasFocus()) {
        // Around the text, or around the box of a button without one.
        const QRect marked = button->text().isEmpty() ? cell : used.adjusted(-3, -2, 3, 2);
        SkinFocus::Paint(painter, button, marked.intersected(button->rect()));
    }
}
} // namespace SkinIndicator
