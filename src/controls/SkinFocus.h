#pragma once

#include <QRect>

class QPainter;
class QWidget;

// The keyboard focus mark of the skinned controls. The style's dotted focus frame vanishes on
// a busy skin, so the mark is a solid ring in the highlight colour with a white line inside,
// readable on dark and light skins alike.
namespace SkinFocus
{
constexpr int kRingWidth = 2;

// A rectangle (or, with `ellipse`, the ellipse inscribed in it) drawn just inside `area`.
void Paint(QPainter& painter, const QWidget* widget, const QRect& area, bool ellipse = false);
} // namespace SkinFocus
