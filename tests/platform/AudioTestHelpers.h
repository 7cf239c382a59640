#pragma once

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

// Helpers shared by the sound platform tests.
namespace AudioTest
{
// A hang guard for waits on other threads, not a speed requirement.
constexpr std::chrono::seconds kHangGuard{15};

// Bytes 0, 1, 2, ... wrapping, offset by `start`: any loss, repeat or reordering shows.
inline QByteArray CountingBytes(std::size_t count, std::size_t start = 0)
{
    QByteArray bytes(static_cast<qsizetype>(count), '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[static_cast<qsizetype>(i)] = static_cast<char>((start + i) * 7 % 251);
    }
    return bytes;
}

// Collects what a capture delivers: buffers in arrival order, the threads they came on, and
// whether the device-lost notification came.
class BufferLog
{
public:
    void Add(const std::uint8_t* data, std::size_t bytes)
    {
        std::lock_guard lock(m_mutex);
        m_buffers.emplace_back(reinterpret_cast<const char*>(data), static_cast<qsizetype>(bytes));
        m_threads.push_back(std::this_thread::get_id());
        m_changed.notify_all();
    }
    void DeviceLost()
    {
        std::lock_guard lock(m_mutex);
        ++m_lostCount;
        m_buffersAtLoss = m_buffers.size();
        m_changed.notify_all();
    }
    bool WaitForBuffers(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kHangGuard, [&] { return m_buffers.size() >= count; });
    }
    bool WaitForLoss()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kHangGuard, [&] { return m_lostCount > 0; });
    }
    std::vector<QByteArray> Buffers() const
    {
        std::lock_guard lock(m_mutex);
        return m_buffers;
    }
    std::vector<std::thread::id> Threads() const
    {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    QByteArray Joined() const
    {
        std::lock_guard lock(m_mutex);
        QByteArray all;
        for (const QByteArray& buffer : m_buffers) {
            all += buffer;
        }
        return all;
    }
    std::size_t Count() const
    {
        std::lock_guard lock(m_mutex);
        return m_buffers.size();
    }
    int LostCount() const
    {
        std::lock_guard lock(m_mutex);
        return m_lostCount;
    }
    std::size_t BuffersAtLoss() const
    {
        std::lock_guard lock(m_mutex);
        return m_buffersAtLoss;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QByteArray> m_buffers;
    std::vector<std::thread::id> m_threads;
    int m_lostCount = 0;
    std::size_t m_buffersAtLoss = 0;
};

// One channel of interleaved 16-bit PCM.
inline std::vector<std::int16_t> Channel(const QByteArray& pcm, int channels, int channel = 0)
{
    std::vector<std::int16_t> samples;
    const auto frames = static_cast<std::size_t>(pcm.size()) / (2u * static_cast<std::size_t>(channels));
    samples.reserve(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        std::int16_t value = 0;
        std::memcpy(&value, pcm.constData() + (i * channels + channel) * 2, sizeof value);
        samples.push_back(value);
    }
    return samples;
}

// Upward zero crossings per second: the frequency of a clean tone.
inline double ToneFrequency(const std::vector<std::int16_t>& samples, int sampleRate)
{
    if (samples.size() < 2) {
        return 0.0;
    }
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            ++crossings;
        }
    }
    return crossings * double(sampleRate) / double(samples.size());
}

inline int PeakAmplitude(const std::vector<std::int16_t>& samples)
{
    int peak = 0;
    for (const std::int16_t value : samples) {
        peak = std::max(peak, std::abs(int(value)));
    }
    return peak;
}

// The largest step between neighbouring samples: a smooth tone steps little, a gap or a
// reordered stretch jumps.
inline int LargestStep(const std::vector<std::int16_t>& samples)
{
    int largest = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        largest = std::max(largest, std::abs(int(samples[i]) - int(samples[i - 1])));
    }
    return largest;
}
} // namespace AudioTest
