#include "controls/SkinBackground.h"

#include "controls/SkinImage.h"

#include <QPainter>
#include <QVariant>
#include <QWidget>

namespace
{
constexpr const char* kSnapshotProperty = "sorvaneSkinSnapshot";

QImage SnapshotOf(const QWidget* widget)
{
    const QVariant value = widget->property(kSnapshotProperty);
    return value.isValid() ? value.value<QImage>() : QImage();
}
} // namespace

namespace SkinBackground
{
void Publish(QWidget* owner, const QImage& snapshot)
{
    owner->setProperty(kSnapshotProperty, QVariant::fromValue(snapshot.convertToFormat(QImage::Format_RGB32)));
    owner->update();
}

void Withdraw(QWidget* owner)
{
    owner->setProperty(kSnapshotProperty, QVariant());
    owner->update();
}

QImage Under(const QWidget* widget)
{
    QPoint offset = widget->pos();
    for (const QWidget* ancestor = widget->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        const QImage snapshot = SnapshotOf(ancestor);
        if (!snapshot.isNull()) {
            QImage part(widget->size(), QImage::Format_RGB32);
            part.fill(Qt::black);
            QPainter painter(&part);
            painter.drawImage(QPoint(0, 0), snapshot, QRect(offset, widget->size()));
            return part;
        }
        if (ancestor->isWindow())
            break;
        offset += ancestor->pos();
    }
    return {};
}

void Composite(QImage& surface, const CSkinImage& picture, QPoint at, const QRect& clip)
{
    Composite(surface, ToQImage(picture), at, clip);
}

void Composite(QImage& surface, const QImage& picture, QPoint at, const QRect& clip)
{
    if (picture.isNull() || surface.isNull())
        return;
    const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
    if (surface.format() != QImage::Format_RGB32 && surface.format() != QImage::Format_ARGB32)
        surface = surface.convertToFormat(QImage::Format_RGB32);
    QRect area = surface.rect() & QRect(at, straight.size());
    if (clip.isValid())
        area &= clip;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface.scanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(straight.constScanLine(y - at.y()));
        for (int x = area.left(); x <= area.right(); ++x)
            row[x] = CSkinImage::BlendPixel(row[x], source[x - at.x()]);
    }
}

QImage ToQImage(const CSkinImage& picture)
{
    if (picture.IsNull())
        return {};
    QImage image(picture.Width(), picture.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.Height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.Width(); ++x)
            row[x] = picture.Pixel(x, y);
    }
    return image;
}
} // namespace SkinBackground
