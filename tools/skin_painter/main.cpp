// Draws Sorvane's own pictures (the Btn_Dat skin images, the background tile, the title band,
// the check mark, the About picture and the icon) and writes them into a resources folder.
// Run by hand after changing a picture: cmake --build <dir> --target regenerate_skin
#include "controls/SkinImage.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <utility>

namespace
{
enum class Glyph
{
    None,
    Record,
    Pause,
    Stop,
    Play,
    Gear,
    Tag,
    End,
    Start,
    Remove,
    Save
};

// The look of a button face: its pressed state and how the glyph is lit.
struct Face
{
    bool pressed = false;
    bool lit = false; // a latched button shows its glyph glowing
};

const QColor kInk(32, 42, 60);
const QColor kRim(62, 78, 100);
const QColor kWell(34, 44, 62);
const QColor kRecordRed(224, 36, 36);
const QColor kPauseAmber(240, 176, 40);
const QColor kPlayGreen(60, 190, 80);
const QColor kSteel(226, 232, 240);
constexpr double kPi = 3.14159265358979323846;
// Every picture is painted once at its own size and once at twice the pixels for high-density
// screens ("<id>@2x"); the drawing code works in the picture's own units either way.
constexpr int kDoubleScale = 2;
int g_scale = 1;

QImage NewCanvas(QSize size)
{
    QImage image(size * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(Qt::transparent);
    return image;
}

void PrepareFont(QPainter& painter, double pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    painter.setFont(font);
}

// Shrinks the font until `text` fits `width`.
void FitFont(QPainter& painter, const QString& text, double width, double pixelSize, bool bold)
{
    for (double size = pixelSize; size >= 7; size -= 0.5) {
        PrepareFont(painter, size, bold);
        if (QFontMetricsF(painter.font()).horizontalAdvance(text) <= width)
            return;
    }
}

// A raised (or pressed) elliptic face filling `area`: metal gradient, dark rim, a glossy cap.
void DrawFace(QPainter& painter, const QRectF& area, const Face& face)
{
    const QRectF body = area.adjusted(0.6, 0.6, -0.6, -0.6);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    if (face.pressed) {
        fill.setColorAt(0, QColor(132, 146, 168));
        fill.setColorAt(0.55, QColor(172, 184, 202));
        fill.setColorAt(1, QColor(206, 214, 226));
    } else {
        fill.setColorAt(0, QColor(246, 249, 252));
        fill.setColorAt(0.5, QColor(206, 216, 229));
        fill.setColorAt(1, QColor(148, 164, 188));
    }
    painter.setPen(QPen(kRim, 1.2));
    painter.setBrush(fill);
    painter.drawEllipse(body);

    if (face.pressed) {
        // A soft inner shadow along the top edge.
        QLinearGradient shade(body.topLeft(), QPointF(body.left(), body.top() + body.height() * 0.45));
        shade.setColorAt(0, QColor(20, 30, 50, 110));
        shade.setColorAt(1, QColor(20, 30, 50, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawEllipse(body.adjusted(1.2, 1.2, -1.2, -1.2));
        return;
    }
    const QRectF cap(body.left() + body.width() * 0.12, body.top() + 1.5, body.width() * 0.76, body.height() * 0.48);
    QLinearGradient gloss(cap.topLeft(), cap.bottomLeft());
    gloss.setColorAt(0, QColor(255, 255, 255, 200));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawEllipse(cap);
}

QPainterPath GearPath(const QPointF& centre, double radius)
{
    constexpr int kTeeth = 8;
    QPainterPath gear;
    const double inner = radius * 0.74;
    for (int i = 0; i < kTeeth * 4; ++i) {
        const double angle = (i - 0.5) * 2 * kPi / (kTeeth * 4);
        const double r = (i % 4 < 2) ? radius : inner;
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, radius * 0.32, radius * 0.32);
    return gear.subtracted(hole);
}

QPainterPath TagPath(const QRectF& box)
{
    // A luggage label pointing left, with its eyelet.
    const double notch = box.width() * 0.32;
    QPainterPath tag;
    tag.moveTo(box.left(), box.center().y());
    tag.lineTo(box.left() + notch, box.top());
    tag.lineTo(box.right(), box.top());
    tag.lineTo(box.right(), box.bottom());
    tag.lineTo(box.left() + notch, box.bottom());
    tag.closeSubpath();
    QPainterPath eyelet;
    const double r = box.height() * 0.13;
    eyelet.addEllipse(QPointF(box.left() + notch * 0.95, box.center().y()), r, r);
    return tag.subtracted(eyelet);
}

QPainterPath Triangle(const QRectF& box, bool pointingRight)
{
    QPainterPath path;
    if (pointingRight) {
        path.moveTo(box.topLeft());
        path.lineTo(box.right(), box.center().y());
        path.lineTo(box.bottomLeft());
    } else {
        path.moveTo(box.topRight());
        path.lineTo(box.left(), box.center().y());
        path.lineTo(box.bottomRight());
    }
    path.closeSubpath();
    return path;
}

// Draws `glyph` centred in `box` with `colour`.
void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& colour, bool lit)
{
    const QPointF c = box.center();
    const double s = std::min(box.width(), box.height());
    painter.setPen(Qt::NoPen);
    if (lit) {
        QRadialGradient glow(c, s * 0.75);
        QColor halo = colour;
        halo.setAlpha(150);
        glow.setColorAt(0, halo);
        halo.setAlpha(0);
        glow.setColorAt(1, halo);
        painter.setBrush(glow);
        painter.drawEllipse(c, s * 0.75, s * 0.75);
    }
    switch (glyph) {
    case Glyph::None:
        return;
    case Glyph::Record: {
        QRadialGradient dot(c - QPointF(s * 0.12, s * 0.14), s * 0.5);
        dot.setColorAt(0, lit ? QColor(255, 190, 170) : QColor(255, 140, 130));
        dot.setColorAt(0.45, colour);
        dot.setColorAt(1, colour.darker(160));
        painter.setBrush(dot);
        painter.drawEllipse(c, s * 0.36, s * 0.36);
        return;
    }
    case Glyph::Pause: {
        painter.setBrush(colour);
        const double w = s * 0.22, h = s * 0.64, gap = s * 0.14;
        painter.drawRoundedRect(QRectF(c.x() - gap / 2 - w, c.y() - h / 2, w, h), w * 0.25, w * 0.25);
        painter.drawRoundedRect(QRectF(c.x() + gap / 2, c.y() - h / 2, w, h), w * 0.25, w * 0.25);
        return;
    }
    case Glyph::Stop:
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(c.x() - s * 0.29, c.y() - s * 0.29, s * 0.58, s * 0.58), s * 0.08, s * 0.08);
        return;
    case Glyph::Play:
        painter.setBrush(colour);
        painter.drawPath(Triangle(QRectF(c.x() - s * 0.24, c.y() - s * 0.34, s * 0.6, s * 0.68), true));
        return;
    case Glyph::Gear:
        painter.setBrush(colour);
        painter.drawPath(GearPath(c, s * 0.42));
        return;
    case Glyph::Tag:
        painter.setBrush(colour);
        painter.drawPath(TagPath(QRectF(c.x() - s * 0.42, c.y() - s * 0.24, s * 0.84, s * 0.48)));
        return;
    case Glyph::End:
    case Glyph::Start: {
        const bool forward = glyph == Glyph::End;
        painter.setBrush(colour);
        const double h = s * 0.56, w = s * 0.36, bar = s * 0.11;
        const double left = c.x() - (w + bar) / 2;
        if (forward) {
            painter.drawPath(Triangle(QRectF(left, c.y() - h / 2, w, h), true));
            painter.drawRect(QRectF(left + w, c.y() - h / 2, bar, h));
        } else {
            painter.drawRect(QRectF(left, c.y() - h / 2, bar, h));
            painter.drawPath(Triangle(QRectF(left + bar, c.y() - h / 2, w, h), false));
        }
        return;
    }
    case Glyph::Remove: {
        painter.setPen(QPen(colour, s * 0.14, Qt::SolidLine, Qt::RoundCap));
        const double r = s * 0.26;
        painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        return;
    }
    case Glyph::Save: {
        painter.setPen(QPen(colour, s * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(c + QPointF(-s * 0.3, 0));
        tick.lineTo(c + QPointF(-s * 0.08, s * 0.24));
        tick.lineTo(c + QPointF(s * 0.32, -s * 0.26));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
        return;
    }
    }
}

QColor GlyphColour(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Record:
        return kRecordRed;
    case Glyph::Pause:
        return kPauseAmber;
    case Glyph::Play:
        return kPlayGreen;
    case Glyph::Tag:
        return QColor(246, 206, 80);
    default:
        return kSteel;
    }
}

// The main window's wide buttons: a dark well with the glyph on the left, the name on the right.
QImage WideButton(QSize size, Glyph glyph, const QString& label, Face face)
{
    QImage image = NewCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawFace(painter, QRectF(QPointF(0, 0), size), face);
    const QPointF shift = face.pressed ? QPointF(1, 1) : QPointF(0, 0);

    const double wellRadius = size.height() * 0.32;
    const QPointF wellCentre = QPointF(size.width() * 0.22, size.height() / 2.0) + shift;
    QRadialGradient well(wellCentre - QPointF(0, wellRadius * 0.4), wellRadius * 1.3);
    well.setColorAt(0, kWell.lighter(150));
    well.setColorAt(1, kWell);
    painter.setPen(QPen(QColor(255, 255, 255, 150), 1));
    painter.setBrush(well);
    painter.drawEllipse(wellCentre, wellRadius, wellRadius);
    const QRectF glyphBox(wellCentre.x() - wellRadius * 0.8, wellCentre.y() - wellRadius * 0.8, wellRadius * 1.6,
                          wellRadius * 1.6);
    DrawGlyph(painter, glyph, glyphBox, GlyphColour(glyph), face.lit);

    const QRectF textBox(wellCentre.x() + wellRadius + 5, 0, size.width() * 0.9 - wellCentre.x() - wellRadius - 5,
                         size.height());
    FitFont(painter, label, textBox.width(), size.height() * 0.32, true);
    painter.setPen(QColor(255, 255, 255, 160));
    painter.drawText(textBox.translated(shift + QPointF(0, 1)), Qt::AlignCenter, label);
    painter.setPen(kInk);
    painter.drawText(textBox.translated(shift), Qt::AlignCenter, label);
    return image;
}

// The listening panel's round buttons: the glyph in ink on the metal face.
QImage RoundButton(QSize size, Glyph glyph, Face face)
{
    QImage image = NewCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawFace(painter, QRectF(QPointF(0, 0), size), face);
    const QPointF shift = face.pressed ? QPointF(1, 1) : QPointF(0, 0);
    // The tag is a wide glyph and needs more room than the transport symbols.
    const double s = std::min(size.width(), size.height()) * (glyph == Glyph::Tag ? 0.66 : 0.5);
    const QRectF box(QPointF(size.width() / 2.0 - s / 2, size.height() / 2.0 - s / 2) + shift, QSizeF(s, s));
    QColor colour = face.lit ? GlyphColour(glyph).darker(115) : kInk;
    if (glyph == Glyph::Tag)
        colour = face.pressed ? GlyphColour(glyph).darker(130) : QColor(96, 112, 140);
    DrawGlyph(painter, glyph, box, colour, face.lit);
    return image;
}

// The listening panel's wide buttons: a small glyph and a word.
QImage LabelButton(QSize size, Glyph glyph, const QString& label, Face face)
{
    QImage image = NewCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawFace(painter, QRectF(QPointF(0, 0), size), face);
    if (label.isEmpty())
        return image;
    const QPointF shift = face.pressed ? QPointF(1, 1) : QPointF(0, 0);
    const double s = size.height() * 0.42;
    const QRectF glyphBox(QPointF(size.width() * 0.2 - s / 2, size.height() / 2.0 - s / 2) + shift, QSizeF(s, s));
    DrawGlyph(painter, glyph, glyphBox, glyph == Glyph::Remove ? QColor(190, 40, 40) : QColor(40, 130, 60), false);
    const QRectF textBox(size.width() * 0.32, 0, size.width() * 0.58, size.height());
    FitFont(painter, label, textBox.width(), size.height() * 0.34, true);
    painter.setPen(QColor(255, 255, 255, 160));
    painter.drawText(textBox.translated(shift + QPointF(0, 1)), Qt::AlignCenter, label);
    painter.setPen(kInk);
    painter.drawText(textBox.translated(shift), Qt::AlignCenter, label);
    return image;
}

// A slider groove: a narrow sunken channel along the picture, the rest transparent.
QImage Track(QSize size, Qt::Orientation orientation)
{
    QImage image = NewCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double kGroove = 7;
    const bool horizontal = orientation == Qt::Horizontal;
    const QRectF groove = horizontal ? QRectF(1, (size.height() - kGroove) / 2, size.width() - 2, kGroove)
                                     : QRectF((size.width() - kGroove) / 2, 1, kGroove, size.height() - 2);
    QLinearGradient fill(groove.topLeft(), horizontal ? groove.bottomLeft() : groove.topRight());
    fill.setColorAt(0, QColor(40, 50, 70));
    fill.setColorAt(1, QColor(110, 124, 146));
    painter.setPen(QPen(QColor(255, 255, 255, 170), 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(groove, kGroove / 2, kGroove / 2);
    return image;
}

// A slider thumb: a rounded metal knob with grip lines across the direction of travel.
QImage Thumb(QSize size, Qt::Orientation orientation, bool pressed)
{
    QImage image = NewCanvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(QPointF(0, 0), size).adjusted(1, 1, -1, -1);
    const bool horizontal = orientation == Qt::Horizontal;
    QLinearGradient fill(body.topLeft(), horizontal ? body.topRight() : body.bottomLeft());
    fill.setColorAt(0, pressed ? QColor(150, 186, 230) : QColor(250, 252, 255));
    fill.setColorAt(1, pressed ? QColor(60, 104, 170) : QColor(150, 166, 190));
    painter.setPen(QPen(kRim, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 3, 3);
    painter.setPen(QPen(pressed ? QColor(255, 255, 255, 170) : QColor(70, 86, 110, 170), 1));
    const QPointF c = body.center();
    for (int i = -1; i <= 1; ++i) {
        if (horizontal)
            painter.drawLine(QPointF(c.x() + i * 3, c.y() - 4), QPointF(c.x() + i * 3, c.y() + 4));
        else
            painter.drawLine(QPointF(c.x() - 5, c.y() + i * 3), QPointF(c.x() + 5, c.y() + i * 3));
    }
    return image;
}

// Deterministic noise, so the tile is the same on every run.
std::uint32_t NextNoise(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 24;
}

// The window's background tile: brushed steel-blue with a fine grain; it repeats seamlessly
// because every row pattern has a period dividing the tile size.
QImage BackgroundTile()
{
    constexpr int kTile = 64;
    const int side = kTile * g_scale;
    QImage image(side, side, QImage::Format_RGB32);
    std::uint32_t state = 1971;
    const QColor base(184, 196, 212);
    for (int y = 0; y < side; ++y) {
        const double row = double(y) / g_scale;
        const double brush = 3.0 * std::sin(2 * kPi * row * 5 / kTile) + 2.0 * std::sin(2 * kPi * row * 13 / kTile);
        for (int x = 0; x < side; ++x) {
            const int grain = int(NextNoise(state) % 7) - 3;
            const int shade = int(std::lround(brush)) + grain;
            image.setPixel(x, y,
                           qRgb(std::clamp(base.red() + shade, 0, 255), std::clamp(base.green() + shade, 0, 255),
                                std::clamp(base.blue() + shade + 1, 0, 255)));
        }
    }
    return image;
}

void DrawIcon(QPainter& painter, double size)
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, QColor(52, 84, 140));
    fill.setColorAt(1, QColor(18, 30, 58));
    painter.setPen(QPen(QColor(255, 255, 255, 90), size / 64.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, size * 0.2, size * 0.2);

    // A waveform sweeping across, fading into the record dot.
    QPainterPath wave;
    const double mid = size * 0.5;
    for (int i = 0; i <= 48; ++i) {
        const double t = i / 48.0;
        const double x = size * (0.14 + 0.5 * t);
        const double envelope = std::sin(kPi * t) * (1 - 0.4 * t);
        const double y = mid - size * 0.26 * envelope * std::sin(2 * kPi * t * 4.5);
        if (i == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    painter.setPen(QPen(QColor(130, 210, 255), size * 0.045, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    DrawGlyph(painter, Glyph::Record, QRectF(size * 0.56, size * 0.3, size * 0.4, size * 0.4), kRecordRed, true);
}

QImage Icon(int size)
{
    QImage image = NewCanvas(QSize(size, size));
    QPainter painter(&image);
    DrawIcon(painter, size);
    return image;
}

// The logo at the left of the title band, its right edge slanted to meet the first panel.
QImage TitleBand()
{
    constexpr int kWidth = 185;
    constexpr int kHeight = 31;
    constexpr int kSlant = 10;
    QImage image = NewCanvas(QSize(kWidth, kHeight));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath band;
    band.moveTo(0, 0);
    band.lineTo(kWidth, 0);
    band.lineTo(kWidth - kSlant, kHeight);
    band.lineTo(0, kHeight);
    band.closeSubpath();
    QLinearGradient fill(0, 0, 0, kHeight);
    fill.setColorAt(0, QColor(70, 104, 160));
    fill.setColorAt(1, QColor(24, 38, 70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(band);

    QImage icon = Icon(25);
    painter.drawImage(QPointF(4, 3), icon);
    PrepareFont(painter, 19, true);
    QFont font = painter.font();
    font.setItalic(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    painter.setFont(font);
    const QRectF textBox(34, 0, kWidth - 34 - kSlant - 4, kHeight);
    painter.setPen(QColor(0, 0, 0, 120));
    painter.drawText(textBox.translated(1, 1), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Sorvane"));
    painter.setPen(QColor(240, 246, 255));
    painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Sorvane"));
    return image;
}

// The tick shown in a checked skinned check box (its box is 12 pixels).
QImage CheckMark()
{
    QImage image = NewCanvas(QSize(10, 10));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 28, 44), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(1.5, 5);
    tick.lineTo(4, 7.8);
    tick.lineTo(8.6, 1.8);
    painter.drawPath(tick);
    return image;
}

QImage AboutPicture()
{
    constexpr QSize kSize(280, 96);
    QImage image = NewCanvas(kSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient fill(0, 0, 0, kSize.height());
    fill.setColorAt(0, QColor(70, 104, 160));
    fill.setColorAt(1, QColor(18, 30, 58));
    painter.fillRect(QRect(QPoint(0, 0), kSize), fill);
    painter.drawImage(QPointF(12, 12), Icon(72));
    FitFont(painter, QStringLiteral("Sorvane"), 170, 34, true);
    QFont font = painter.font();
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(QColor(240, 246, 255));
    painter.drawText(QRectF(96, 14, 180, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sorvane"));
    PrepareFont(painter, 11, false);
    painter.setPen(QColor(190, 210, 240));
    painter.drawText(QRectF(98, 56, 176, 30), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Sound recorder and MP3 workbench"));
    return image;
}

// The cut-and-play toolbar's 18 x 18 pictures.
enum class ToolPicture
{
    Play,
    Stop,
    Open,
    Save,
    ZoomIn,
    ZoomOut,
    Repeat
};

QImage ToolBitmap(ToolPicture picture)
{
    constexpr int kSide = 18;
    const QColor outline(24, 34, 52);
    QImage image = NewCanvas(QSize(kSide, kSide));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen thin(outline, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (picture) {
    case ToolPicture::Play: {
        QPainterPath triangle;
        triangle.moveTo(5, 3);
        triangle.lineTo(15, 9);
        triangle.lineTo(5, 15);
        triangle.closeSubpath();
        painter.setPen(thin);
        painter.setBrush(kPlayGreen);
        painter.drawPath(triangle);
        break;
    }
    case ToolPicture::Stop:
        painter.setPen(thin);
        painter.setBrush(QColor(70, 90, 200));
        painter.drawRoundedRect(QRectF(4.5, 4.5, 9, 9), 1, 1);
        break;
    case ToolPicture::Open: {
        painter.setPen(thin);
        painter.setBrush(QColor(214, 170, 60));
        QPainterPath back;
        back.moveTo(1.5, 15.5);
        back.lineTo(1.5, 3.5);
        back.lineTo(6.5, 3.5);
        back.lineTo(8, 5.5);
        back.lineTo(14.5, 5.5);
        back.lineTo(14.5, 15.5);
        back.closeSubpath();
        painter.drawPath(back);
        QPainterPath front;
        front.moveTo(1.5, 15.5);
        front.lineTo(4.5, 8.5);
        front.lineTo(17, 8.5);
        front.lineTo(14.5, 15.5);
        front.closeSubpath();
        painter.setBrush(QColor(246, 206, 96));
        painter.drawPath(front);
        break;
    }
    case ToolPicture::Save:
        painter.setPen(thin);
        painter.setBrush(QColor(60, 90, 160));
        painter.drawRoundedRect(QRectF(2.5, 2.5, 13, 13), 1.5, 1.5);
        painter.setBrush(kSteel);
        painter.drawRect(QRectF(5.5, 2.5, 7, 5));
        painter.setBrush(QColor(250, 250, 250));
        painter.drawRect(QRectF(4.5, 10.5, 9, 5));
        break;
    case ToolPicture::ZoomIn:
    case ToolPicture::ZoomOut:
        painter.setPen(QPen(outline, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(11.5, 11.5), QPointF(16, 16));
        painter.setPen(QPen(outline, 1.5));
        painter.setBrush(QColor(220, 236, 255));
        painter.drawEllipse(QPointF(7.5, 7.5), 5.5, 5.5);
        painter.setPen(QPen(outline, 1.5, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(4.8, 7.5), QPointF(10.2, 7.5));
        if (picture == ToolPicture::ZoomIn)
            painter.drawLine(QPointF(7.5, 4.8), QPointF(7.5, 10.2));
        break;
    case ToolPicture::Repeat: {
        const QColor arrow(30, 140, 70);
        painter.setPen(QPen(arrow, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(3, 3, 12, 12), 30 * 16, 150 * 16);
        painter.drawArc(QRectF(3, 3, 12, 12), 210 * 16, 150 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(arrow);
        QPainterPath upper;
        upper.moveTo(14.8, 3.5);
        upper.lineTo(15.6, 8.6);
        upper.lineTo(10.8, 7);
        upper.closeSubpath();
        painter.drawPath(upper);
        QPainterPath lower;
        lower.moveTo(3.2, 14.5);
        lower.lineTo(2.4, 9.4);
        lower.lineTo(7.2, 11);
        lower.closeSubpath();
        painter.drawPath(lower);
        break;
    }
    }
    return image;
}

bool WriteBtn(const QDir& folder, int id, const QImage& picture)
{
    const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(std::size_t(straight.width()) * straight.height());
    for (int y = 0; y < straight.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        pixels.insert(pixels.end(), row, row + straight.width());
    }
    const QByteArray bytes = CSkinImage::Encode(straight.width(), straight.height(), pixels);
    const QString suffix = g_scale > 1 ? QStringLiteral("@%1x").arg(g_scale) : QString();
    QFile file(folder.filePath(QStringLiteral("skin/%1%2.btn").arg(id).arg(suffix)));
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// `name` without ".png"; the high-density picture gets "@2x" before it, which is how Qt finds it.
bool WritePng(const QDir& folder, const QString& name, const QImage& picture)
{
    const QString suffix = g_scale > 1 ? QStringLiteral("@%1x").arg(g_scale) : QString();
    return picture.save(folder.filePath(name + suffix + QStringLiteral(".png")), "PNG");
}
bool PaintAll(const QDir& folder)
{
    const QSize kMain(124, 44), kListen(36, 35), kListenWide(84, 38), kToggle(48, 45);
    const Face up{false, false}, down{true, false}, latched{true, true};
    struct Button
    {
        int id;
        QImage picture;
    };
    const std::vector<Button> buttons = {
        // Main window: Record and Pause latch, so their down pictures glow.
        {138, WideButton(kMain, Glyph::Record, QStringLiteral("Record"), up)},
        {137, WideButton(kMain, Glyph::Record, QStringLiteral("Record"), latched)},
        {139, WideButton(kMain, Glyph::Pause, QStringLiteral("Pause"), up)},
        {140, WideButton(kMain, Glyph::Pause, QStringLiteral("Pause"), latched)},
        {141, WideButton(kMain, Glyph::Stop, QStringLiteral("Stop"), up)},
        {142, WideButton(kMain, Glyph::Stop, QStringLiteral("Stop"), down)},
        {152, WideButton(kMain, Glyph::Gear, QStringLiteral("Option"), up)},
        {155, WideButton(kMain, Glyph::Gear, QStringLiteral("Option"), down)},
        {154, WideButton(kMain, Glyph::Play, QStringLiteral("Play"), up)},
        {153, WideButton(kMain, Glyph::Play, QStringLiteral("Play"), down)},
        {178, RoundButton(kToggle, Glyph::Tag, up)},
        {179, RoundButton(kToggle, Glyph::Tag, down)},
        // Listening panel: Play and Pause latch.
        {143, RoundButton(kListen, Glyph::Stop, up)},
        {156, RoundButton(kListen, Glyph::Stop, down)},
        {145, RoundButton(kListen, Glyph::End, up)},
        {144, RoundButton(kListen, Glyph::End, down)},
        {147, RoundButton(kListen, Glyph::Pause, up)},
        {146, RoundButton(kListen, Glyph::Pause, latched)},
        {149, RoundButton(kListen, Glyph::Play, up)},
        {148, RoundButton(kListen, Glyph::Play, latched)},
        {151, RoundButton(kListen, Glyph::Start, up)},
        {150, RoundButton(kListen, Glyph::Start, down)},
        {159, LabelButton(kListenWide, Glyph::Remove, QStringLiteral("Remove"), up)},
        {158, LabelButton(kListenWide, Glyph::Remove, QStringLiteral("Remove"), down)},
        {157, LabelButton(kListenWide, Glyph::Save, QStringLiteral("Save"), up)},
        {160, LabelButton(kListenWide, Glyph::Save, QStringLiteral("Save"), down)},
        // Spare faces of the wide listening size, blank for a future button.
        {161, LabelButton(kListenWide, Glyph::None, QString(), up)},
        {162, LabelButton(kListenWide, Glyph::None, QString(), down)},
        {163, LabelButton(kListenWide, Glyph::None, QString(), up)},
        {164, LabelButton(kListenWide, Glyph::None, QString(), down)},
        // Sliders.
        {165, Track(QSize(140, 21), Qt::Horizontal)},
        {166, Thumb(QSize(16, 21), Qt::Horizontal, true)},
        {167, Thumb(QSize(16, 21), Qt::Horizontal, false)},
        {174, Track(QSize(24, 80), Qt::Vertical)},
        {175, Thumb(QSize(20, 16), Qt::Vertical, true)},
        {176, Thumb(QSize(20, 16), Qt::Vertical, false)},
    };
    bool ok = true;
    for (const Button& button : buttons)
        ok = WriteBtn(folder, button.id, button.picture) && ok;
    ok = WritePng(folder, QStringLiteral("bitmap/135"), BackgroundTile()) && ok;
    ok = WritePng(folder, QStringLiteral("bitmap/177"), TitleBand()) && ok;
    ok = WritePng(folder, QStringLiteral("bitmap/185"), CheckMark()) && ok;
    ok = WritePng(folder, QStringLiteral("bitmap/187"), AboutPicture()) && ok;
    const std::pair<int, ToolPicture> toolBitmaps[] = {
        {3119, ToolPicture::Play},   {3120, ToolPicture::Stop},   {3121, ToolPicture::Open},
        {3122, ToolPicture::Save},   {3123, ToolPicture::ZoomIn}, {3124, ToolPicture::ZoomOut},
        {3125, ToolPicture::Repeat},
    };
    for (const auto& [id, picture] : toolBitmaps)
        ok = WritePng(folder, QStringLiteral("bitmap/%1").arg(id), ToolBitmap(picture)) && ok;
    ok = WritePng(folder, QStringLiteral("icon/128"), Icon(128)) && ok;
    // The desktop icon is large already and needs no double.
    if (g_scale == 1)
        ok = WritePng(folder, QStringLiteral("icon/sorvane"), Icon(256)) && ok;
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_painter RESOURCES_FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const char* sub : {"skin", "bitmap", "icon"})
        folder.mkpath(QString::fromLatin1(sub));

    bool ok = true;
    for (const int scale : {1, kDoubleScale}) {
        g_scale = scale;
        ok = PaintAll(folder) && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "skin_painter: could not write every picture into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
