#pragma once

#include <QWidget>
#include <array>

// A vertical peak meter of one or two channels: a bar per channel rising from the floor
// (green, yellow from kWarnDb, red from kHotDb), a line at each channel's held peak, and a clip
// lamp across the top that lights red once a sample reached full scale. A click on the meter
// asks for the clip lamp to be cleared. Screen readers get the levels in the description.
class CLevelMeter : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxChannels = 2;
    static constexpr double kFloorDb = -60.0;
    static constexpr double kWarnDb = -12.0;
    static constexpr double kHotDb = -3.0;
    static constexpr int kClipLampHeight = 8;

    explicit CLevelMeter(QWidget* parent = nullptr);

    // channels 0 shows an empty meter (nothing is being captured).
    void SetLevels(int channels, const std::array<double, kMaxChannels>& levelDb,
                   const std::array<double, kMaxChannels>& holdDb, bool clipped);
    void Clear();

    int Channels() const { return m_channels; }
    double LevelDb(int channel) const { return m_levelDb.at(std::size_t(channel)); }
    double HoldDb(int channel) const { return m_holdDb.at(std::size_t(channel)); }
    bool IsClipped() const { return m_clipped; }
    // The rectangle of a channel's bar and of the clip lamp, in widget coordinates.
    QRect BarRect(int channel) const;
    QRect ClipLampRect() const;
    // Pixel row of a level inside `bar` (the floor at the bottom, 0 dB at the top).
    static int RowOf(double db, const QRect& bar);

    QSize sizeHint() const override;

signals:
    void clipClearRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void UpdateDescription();

    int m_channels = 0;
    std::array<double, kMaxChannels> m_levelDb{kFloorDb, kFloorDb};
    std::array<double, kMaxChannels> m_holdDb{kFloorDb, kFloorDb};
    bool m_clipped = false;
};
