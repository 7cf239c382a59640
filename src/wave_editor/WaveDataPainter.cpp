#include "wave_editor/WaveDataPainter.h"

#include "wave_editor/WaveData.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cstdint>
#include <deque>

namespace
{
constexpr int kLabelBoxWidth = 100;
// Guide lines sit 30 % of full scale above and below a lane's centre.
constexpr double kGuideOffset16Bit = 9830.4;
constexpr double kCentre16Bit = 32768.0;

QColor Colour(std::uint32_t rgb)
{
    constexpr std::uint32_t kOpaque = 0xFF000000;
    return QColor::fromRgb(static_cast<QRgb>(kOpaque | rgb));
}

void DrawRow(QPainter& painter, int row, int width)
{
    painter.drawLine(0, row, width, row);
}

// Walks a lane's points from the first visible column: a pair with one x is that column's
// vertical stroke; a lone point joins the line on its own.
void DrawOutline(QPainter& painter, const std::deque<WavePoint>& points, int scroll, int width, int startRow)
{
    QPolygon line;
    line.reserve(2 * std::max(0, width) + 1);
    line << QPoint(0, startRow);
    std::size_t index = 2 * static_cast<std::size_t>(std::max(0, scroll));
    for (int x = 0; x < width && index < points.size(); ++x) {
        if (index + 1 < points.size() && points[index].x == points[index + 1].x) {
            line << QPoint(x, points[index].y) << QPoint(x, points[index + 1].y);
            index += 2;
        } else {
            line << QPoint(x, points[index].y);
            ++index;
        }
    }
    painter.drawPolyline(line);
}

void DrawGuides(QPainter& painter, int laneTop, double scale, int width)
{
    const int centre = static_cast<int>(kCentre16Bit / scale + laneTop);
    DrawRow(painter, static_cast<int>(centre - kGuideOffset16Bit / scale), width);
    DrawRow(painter, static_cast<int>(centre + kGuideOffset16Bit / scale), width);
}
} // namespace

void CWaveDataPainter::Paint(QPainter& painter, CWaveData& data, const WaveArea& area)
{
    const WaveStyle& style = data.Style();
    const int width = area.Width();
    const int height = area.bottom - area.top;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, width, height, Colour(style.backgroundColour));
    const CWaveData::Variant variant = data.CurrentVariant();
    if (variant == CWaveData::Variant::None) {
        painter.restore();
        return;
    }
    data.EnsurePoints(area);
    const CWaveData::LaneGeometry geometry = data.Geometry(area);
    const bool stereo = variant == CWaveData::Variant::Stereo16 || variant == CWaveData::Variant::Stereo8;

    PaintRuler(painter, data, width);

    if (variant == CWaveData::Variant::Stereo16) {
        painter.setPen(QPen(Colour(style.guideColour), 0));
        DrawGuides(painter, geometry.lane1Top, geometry.scale, width);
        DrawGuides(painter, geometry.lane2Top, geometry.scale, width);
    }
    if (stereo) {
        painter.setPen(QPen(Colour(style.separatorColour), 0));
        DrawRow(painter, geometry.separatorRow, width);
    }

    painter.setPen(QPen(Colour(style.waveColour), 0));
    const int lane1Start = geometry.lane1Top + (geometry.lane1Bottom - geometry.lane1Top) / 2;
    DrawOutline(painter, data.Lane1Points(), data.Scroll(), width, lane1Start);
    if (stereo) {
        const int lane2Start = geometry.lane2Top + (geometry.lane2Bottom - geometry.lane2Top) / 2;
        DrawOutline(painter, data.Lane2Points(), data.Scroll(), width, lane2Start);
    }
    painter.restore();
}

void CWaveDataPainter::PaintRuler(QPainter& painter, const CWaveData& data, int width)
{
    const WaveStyle& style = data.Style();
    const int rulerHeight = style.rulerHeight;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, width, rulerHeight, Colour(style.rulerBackgroundColour));
    const QPen linePen(Colour(style.rulerLineColour), 0);
    const QPen textPen(Colour(style.rulerTextColour), 0);
    const int labelBoxHeight = std::max(0, rulerHeight - style.labelBottomGap);
    const int labelStep = std::max(1, style.labelStep);
    const int minorStep = std::max(1, style.minorStep);
    // A label's box starts at the ruler's top, so its text sits on the font's ascent; drawing at
    // that baseline skips the layout a boxed text would go through for every label.
    const QFontMetrics metrics = painter.fontMetrics();
    const int baseline = metrics.ascent();
    const bool labelFits = metrics.height() <= labelBoxHeight;
    painter.setPen(linePen);
    for (int i = 0; i < width; ++i) {
        const std::int64_t column = static_cast<std::int64_t>(data.Scroll()) + i;
        if (column % labelStep == 0) {
            painter.drawLine(i, 0, i, rulerHeight);
            painter.setPen(textPen);
            const QString label = data.TimeLabel(static_cast<int>(column));
            if (labelFits && metrics.horizontalAdvance(label) <= kLabelBoxWidth) {
                painter.drawText(i, baseline, label);
            } else {
                painter.drawText(QRect(i, 0, kLabelBoxWidth, labelBoxHeight), Qt::AlignLeft | Qt::AlignTop, label);
            }
            painter.setPen(linePen);
        }
        if (column % minorStep == 0 && i > 0) {
            painter.drawLine(i, rulerHeight, i, rulerHeight - style.tickHeight);
        }
    }
    DrawRow(painter, rulerHeight, width);
    painter.restore();
}
