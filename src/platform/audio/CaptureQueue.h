#pragma once

#include "platform/audio/AudioCapture.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Cuts a stream of captured pieces into buffers of one exact size and delivers them, in order,
// on a thread of its own, so the device's thread only copies and never waits for the consumer.
// The pieces go into a ring of whole buffers allocated once; a complete buffer is handed to the
// callback straight from the ring and its room is reused only after the callback returns.
class CCaptureQueue
{
public:
    using BufferCallback = AudioCapture::BufferCallback;
    using DeviceLostCallback = AudioCapture::DeviceLostCallback;

    CCaptureQueue() = default;
    ~CCaptureQueue();

    CCaptureQueue(const CCaptureQueue&) = delete;
    CCaptureQueue& operator=(const CCaptureQueue&) = delete;

    // Room for `capacityBuffers` buffers of `bufferBytes`. Not while running.
    bool Configure(std::size_t bufferBytes, std::size_t capacityBuffers, BufferCallback onBuffer,
                   DeviceLostCallback onDeviceLost);
    // Empties the queue and starts the delivery thread.
    bool Start();
    // Returns once no callback runs or will run; from inside a callback, the running one is the
    // last and the thread is joined by a later Stop or the destructor.
    void Stop();

    // Producer side, from one thread at a time. A null `data` stands for that many bytes of
    // silence. Push never waits: a piece that does not fit is dropped whole (so the stream stays
    // frame-aligned) and counted; false when dropped or not running.
    bool Push(const std::uint8_t* data, std::size_t bytes);
    // Waits for room instead of dropping; false when stopped meanwhile.
    bool PushWait(const std::uint8_t* data, std::size_t bytes);
    // The device is gone: complete buffers still go out, then the lost callback, then nothing.
    void DeviceLost();

    // Waits until every complete buffer has been delivered and no callback runs (or the thread
    // ended); false on time-out.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

    bool IsRunning() const;
    bool OnDeliveryThread() const;
    std::uint64_t DroppedBytes() const;
    std::uint64_t DeliveredBuffers() const;
    std::size_t BufferBytes() const { return m_bufferBytes; }

private:
    void Run();
    std::uint64_t PendingBytes() const { return m_written - m_read; }
    std::size_t FreeBytes() const { return m_ring.size() - static_cast<std::size_t>(PendingBytes()); }
    // Copies into the ring at the write position; the caller holds the lock and checked the room.
    void CopyIn(const std::uint8_t* data, std::size_t bytes);
    void JoinUnlessSelf();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint8_t> m_ring;
    std::size_t m_bufferBytes = 0;
    BufferCallback m_onBuffer;
    DeviceLostCallback m_onDeviceLost;

    std::uint64_t m_written = 0;
    std::uint64_t m_read = 0;
    std::uint64_t m_dropped = 0;
    std::uint64_t m_delivered = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_deviceLost = false;
    bool m_inCallback = false;
    bool m_threadEnded = false;
    std::thread m_thread;
};
