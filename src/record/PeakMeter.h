#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// The input level meter's engine: the capture thread feeds it every captured buffer, the
// window polls it about twenty times a second for what to draw.
//  - Level: the loudest sample since the last poll, in dB below full scale; between louder
//    buffers it falls at kFallDbPerSecond, so short peaks stay readable.
//  - Hold: the highest level, kept for kHoldMs, then falling like the level.
//  - Clip: a sample at full scale (either sign) was captured since the last Reset. It stays lit
//    until then, because a clip that lasted a few milliseconds must not go unnoticed.
// Feed is lock-free and may run on one thread while Poll and Reset run on another.
class CPeakMeter
{
public:
    static constexpr int kMaxChannels = 2;
    static constexpr double kFloorDb = -60.0;
    static constexpr double kFallDbPerSecond = 24.0;
    static constexpr std::int64_t kHoldMs = 1500;
    static constexpr int kFullScale = 32768;

    struct Reading
    {
        int channels = 0; // 0 until the first buffer arrives
        std::array<double, kMaxChannels> levelDb{kFloorDb, kFloorDb};
        std::array<double, kMaxChannels> holdDb{kFloorDb, kFloorDb};
        bool clipped = false;
    };

    // One buffer of interleaved 16-bit PCM with 1 or 2 channels; a trailing partial frame is
    // ignored.
    void Feed(const std::int16_t* samples, std::size_t byteCount, int channels);
    // What the meter shows at `nowMs` (any monotonic clock, the same on every call).
    Reading Poll(std::int64_t nowMs);
    // Back to silence: level, hold and clip cleared. On the polling thread.
    void Reset();

    // dB below full scale of a sample magnitude, never below kFloorDb.
    static double ToDb(int magnitude);

private:
    std::array<std::atomic<int>, kMaxChannels> m_pendingPeak{};
    std::atomic<int> m_channels{0};
    std::atomic<bool> m_clipped{false};

    // The poller's own state.
    Reading m_shown;
    std::array<std::int64_t, kMaxChannels> m_holdSinceMs{};
    std::int64_t m_lastPollMs = 0;
    bool m_polled = false;
};
