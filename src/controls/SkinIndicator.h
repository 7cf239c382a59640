#pragma once

#include <QColor>
#include <QRect>

class QAbstractButton;
class QPainter;

// The layout and text painting shared by the skinned radio buttons and check boxes: a 16-pixel
// indicator cell beside the text (on the right for right-to-left buttons), the mark drawn
// 2 pixels inside it, the text 4 pixels away on the skin without any background.
namespace SkinIndicator
{
constexpr int kCellSize = 16;
constexpr int kCellInset = 2;
constexpr int kTextGap = 4;

// The indicator's box (the cell shrunk by the inset), vertically centred.
QRect BoxRect(const QAbstractButton* button);
// Where the text goes beside the cell.
QRect TextRect(const QAbstractButton* button);
// The text is longer than its room and shown shortened.
bool IsTextElided(const QAbstractButton* button);
// The box colour: the highlight while the mouse holds the button, the window colour otherwise.
QColor BoxFill(const QAbstractButton* button);
// The text beside the cell, with a focus frame when the button has the keyboard focus.
void PaintText(QPainter& painter, const QAbstractButton* button);
} // namespace SkinIndicator
