#include "controls/SkinFocus.h"

#include <QPainter>
#include <QWidget>

namespace SkinFocus
{
void Paint(QPainter& painter, const QWidget* widget, const QRect& area, bool ellipse)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, ellipse);
    painter.setBrush(Qt::NoBrush);
    const QRectF outer =
        QRectF(area).adjusted(kRingWidth / 2.0, kRingWidth / 2.0, -kRingWidth / 2.0, -kRingWidth / 2.0);
    const QRectF inner = outer.adjusted(kRingWidth, kRingWidth, -kRingWidth, -kRingWidth);
    painter.setPen(QPen(widget->palette().color(QPalette::Active, QPalette::Highlight), kRingWidth));
    if (ellipse) {
        painter.drawEllipse(outer);
    } else {
        painter.drawRect(outer);
    }
    painter.setPen(QPen(Qt::white, 1));
    if (ellipse) {
        painter.drawEllipse(inner);
    } else {
        painter.drawRect(inner);
    }
    painter.restore();
}
} // namespace SkinFocus
