#include "controls/LevelMeter.h"

#include "controls/ControlsAccessibility.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace
{
constexpr int kBarGap = 2;
constexpr int kFrame = 1;
constexpr int kPreferredWidth = 26;
constexpr int kPreferredHeight = 60;
const QColor kBackground(16, 16, 16);
const QColor kQuiet(0, 200, 0);
const QColor kWarm(230, 210, 0);
const QColor kHot(235, 40, 30);
const QColor kHoldLine(255, 255, 255);
const QColor kLampOff(70, 20, 20);
const QColor kLampOn(255, 30, 30);

QString DbText(double db)
{
    if (db <= CLevelMeter::kFloorDb) {
        return QStringLiteral("silent");
    }
    return QStringLiteral("%1 dB").arg(std::lround(db));
}
} // namespace

CLevelMeter::CLevelMeter(QWidget* parent)
    : QWidget(parent)
{
    ControlsAccessibility::EnsureInstalled();
    setAccessibleName(QStringLiteral("Input level"));
    setToolTip(QStringLiteral("Input level; the red lamp shows clipping (click to clear it)"));
    UpdateDescription();
}

void CLevelMeter::SetLevels(int channels, const std::array<double, kMaxChannels>& levelDb,
                            const std::array<double, kMaxChannels>& holdDb, bool clipped)
{
    const int shownChannels = std::clamp(channels, 0, kMaxChannels);
    if (shownChannels == m_channels && levelDb == m_levelDb && holdDb == m_holdDb && clipped == m_clipped) {
        return;
    }
    m_channels = shownChannels;
    m_levelDb = levelDb;
    m_holdDb = holdDb;
    m_clipped = clipped;
    UpdateDescription();
    update();
}

void CLevelMeter::Clear()
{
    SetLevels(0, {kFloorDb, kFloorDb}, {kFloorDb, kFloorDb}, false);
}

QRect CLevelMeter::ClipLampRect() const
{
    return QRect(kFrame, kFrame, width() - 2 * kFrame, kClipLampHeight);
}

QRect CLevelMeter::BarRect(int channel) const
{
    // A mono meter still shows one bar over the full width.
    const int bars = std::max(m_channels, 1);
    const int top = kFrame + kClipLampHeight + kBarGap;
    const int inner = width() - 2 * kFrame - (bars - 1) * kBarGap;
    const int barWidth = std::max(inner / bars, 1);
    return QRect(kFrame + channel * (barWidth + kBarGap), top, barWidth, std::max(height() - top - kFrame, 1));
}

int CLevelMeter::RowOf(double db, const QRect& bar)
{
    const double fraction = std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0);
    return bar.bottom() + 1 - int(std::lround(fraction * bar.height()));
}

QSize CLevelMeter::sizeHint() const
{
    return QSize(kPreferredWidth, kPreferredHeight);
}

void CLevelMeter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.fillRect(ClipLampRect(), m_clipped ? kLampOn : kLampOff);
    for (int channel = 0; channel < m_channels; ++channel) {
        const QRect bar = BarRect(channel);
        const int levelRow = RowOf(m_levelDb[std::size_t(channel)], bar);
        // The bar in its three zones, each drawn only as far as the level reaches.
        const auto zone = [&](double fromDb, double toDb, const QColor& colour) {
            const int zoneTop = std::max(RowOf(toDb, bar), levelRow);
            const int zoneBottom = RowOf(fromDb, bar);
            if (zoneTop < zoneBottom) {
                painter.fillRect(QRect(bar.left(), zoneTop, bar.width(), zoneBottom - zoneTop), colour);
            }
        };
        zone(kFloorDb, kWarnDb, kQuiet);
        zone(kWarnDb, kHotDb, kWarm);
        zone(kHotDb, 0.0, kHot);
        if (m_holdDb[std::size_t(channel)] > kFloorDb) {
            const int holdRow = std::min(RowOf(m_holdDb[std::size_t(channel)], bar), bar.bottom());
            painter.fillRect(QRect(bar.left(), holdRow, bar.width(), 1), kHoldLine);
        }
    }
}

void CLevelMeter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_clipped) {
        emit clipClearRequested();
    }
    QWidget::mousePressEvent(event);
}

void CLevelMeter::UpdateDescription()
{
    if (m_channels == 0) {
        setAccessibleDescription(QStringLiteral("No input"));
        return;
    }
    QString text = m_channels == 1
                       ? QStringLiteral("Level %1").arg(DbText(m_levelDb[0]))
                       : QStringLiteral("Left %1, right %2").arg(DbText(m_levelDb[0]), DbText(m_levelDb[1]));
    if (m_clipped) {
        text += QStringLiteral(", clipped");
    }
    setAccessibleDescription(text);
}
