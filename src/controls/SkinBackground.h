#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

class CSkinImage;
class QWidget;

// Skinned controls blend their soft edges into the picture their window painted behind them,
// not into whatever Qt last drew there. A window that paints a skin publishes a snapshot of
// its painted background (client origin at the snapshot's origin); every skinned descendant
// (CSkinButton, CSkinSlider) finds the nearest ancestor that published one and cuts out the
// part under itself on each paint, so publishing a new snapshot later is picked up at the next
// repaint. Without any published snapshot the controls draw over Qt's own background instead.
namespace SkinBackground
{
// Stores the snapshot on `owner` and schedules a repaint of it and its children.
void Publish(QWidget* owner, const QImage& snapshot);
// Forgets the snapshot of `owner`.
void Withdraw(QWidget* owner);
// The part of the nearest published snapshot under `widget`, widget-sized, in
// QImage::Format_RGB32; a null image when no ancestor published one. Parts of the widget
// outside the snapshot come out black.
QImage Under(const QWidget* widget);

// Blends `picture` onto `surface` (Format_RGB32 or ARGB32) with its top-left at `at`, clipped
// to `clip` when given, by CSkinImage::BlendPixel.
void Composite(QImage& surface, const CSkinImage& picture, QPoint at, const QRect& clip = QRect());
// Same with a QImage picture (converted to Format_ARGB32, straight alpha).
void Composite(QImage& surface, const QImage& picture, QPoint at, const QRect& clip = QRect());
// A CSkinImage as a QImage (Format_ARGB32, straight alpha), for drawing with QPainter.
QImage ToQImage(const CSkinImage& picture);
} // namespace SkinBackground
