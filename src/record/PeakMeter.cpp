#include "record/PeakMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace
{
constexpr int kPositiveFullScale = 32767;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr double kDbPerDecade = 20.0;

void RaiseTo(std::atomic<int>& peak, int value)
{
    int current = peak.load(std::memory_order_relaxed);
    while (value > current && !peak.compare_exchange_weak(current, value, std::memory_order_relaxed)) {
    }
}
} // namespace

void CPeakMeter::Feed(const std::int16_t* samples, std::size_t byteCount, int channels)
{
    if (samples == nullptr || channels < 1 || channels > kMaxChannels) {
        return;
    }
    const std::size_t frames = byteCount / sizeof(std::int16_t) / std::size_t(channels);
    std::array<int, kMaxChannels> peak{};
    bool clipped = false;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            const std::int16_t sample = samples[frame * std::size_t(channels) + std::size_t(channel)];
            // The largest value of either sign: the converter had no room left.
            clipped = clipped || sample == std::numeric_limits<std::int16_t>::max() ||
                      sample == std::numeric_limits<std::int16_t>::min();
            // int, so -32768 has a magnitude too.
            peak[std::size_t(channel)] = std::max(peak[std::size_t(channel)], std::abs(int(sample)));
        }
    }
    for (int channel = 0; channel < channels; ++channel) {
        RaiseTo(m_pendingPeak[std::size_t(channel)], peak[std::size_t(channel)]);
    }
    m_channels.store(channels, std::memory_order_relaxed);
    if (clipped) {
        m_clipped.store(true, std::memory_order_relaxed);
    }
}

CPeakMeter::Reading CPeakMeter::Poll(std::int64_t nowMs)
{
    const double elapsedSeconds =
        m_polled ? double(std::max<std::int64_t>(nowMs - m_lastPollMs, 0)) / kMillisecondsPerSecond : 0.0;
    const double fall = kFallDbPerSecond * elapsedSeconds;
    m_lastPollMs = nowMs;
    m_polled = true;

    m_shown.channels = m_channels.load(std::memory_order_relaxed);
    for (std::size_t channel = 0; channel < std::size_t(kMaxChannels); ++channel) {
        const double peakDb = ToDb(m_pendingPeak[channel].exchange(0, std::memory_order_relaxed));
        double& level = m_shown.levelDb[channel];
        level = std::max({peakDb, level - fall, kFloorDb});
        double& hold = m_shown.holdDb[channel];
        if (level >= hold) {
            hold = level;
            m_holdSinceMs[channel] = nowMs;
        } else if (nowMs - m_holdSinceMs[channel] > kHoldMs) {
            hold = std::max(level, hold - fall);
        }
    }
    m_shown.clipped = m_clipped.load(std::memory_order_relaxed);
    return m_shown;
}

void CPeakMeter::Reset()
{
    for (std::atomic<int>& peak : m_pendingPeak) {
        peak.store(0, std::memory_order_relaxed);
    }
    m_clipped.store(false, std::memory_order_relaxed);
    m_shown = Reading{};
    m_holdSinceMs = {};
    m_polled = false;
}

double CPeakMeter::ToDb(int magnitude)
{
    if (magnitude <= 0) {
        return kFloorDb;
    }
    return std::clamp(kDbPerDecade * std::log10(double(magnitude) / kPositiveFullScale), kFloorDb, 0.0);
}
