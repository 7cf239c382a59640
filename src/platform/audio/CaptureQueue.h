#pragma once

#include "platform/audio/AudioCapture.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Cuts a stream of captured pieces into buffers of one exact size and delivers them, in order,
// on a thread of its own, so the device's thread only copies and never waits for the consumer.
// The pieces go into a ring of whole buffers allocated once; a complete buffer is handed to the
// callback straight from the ring and its room is reused only after the callback returns.
//
// Producers take only what RoomBytes allows and leave the rest with the sound system, which
// the room callback invites them to read again. Sound lost anyway (a refused piece, a gap the
// sound system reports) is owed as silence of the same length, written before anything newer,
// so the timeline stays true; each loss is listed with its place in the stream.
class CCaptureQueue
{
public:
    using BufferCallback = AudioCapture::BufferCallback;
    using DeviceLostCallback = AudioCapture::DeviceLostCallback;
    // Runs on the delivery thread, without the queue's lock, each time a delivered buffer made
    // room while a producer was waiting for it (see HasRoomOrWait).
    using RoomCallback = std::function<void()>;

    // Sound the queue holds for a consumer that falls behind, on top of the sound system's buffer.
    static constexpr double kQueuedSeconds = 15.0;
    static constexpr std::size_t kMinQueuedBuffers = 8;
    // Beyond this many separate losses, later ones are added to the last (their places are lost,
    // their length is not).
    static constexpr std::size_t kMaxLossRecords = 1000;

    // Buffers that hold kQueuedSeconds of sound at `bytesPerSecond` (at least kMinQueuedBuffers).
    static std::size_t CapacityBuffersFor(std::size_t bytesPerSecond, std::size_t bufferBytes);

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

    void SetRoomCallback(RoomCallback onRoom);

    // Producer side, from one thread at a time. A null `data` stands for that many bytes of
    // silence. Push never waits: a piece larger than RoomBytes is lost whole (so the stream stays
    // frame-aligned) and owed as silence; false when lost or not running.
    bool Push(const std::uint8_t* data, std::size_t bytes);
    // Waits for room instead of losing; false when stopped meanwhile.
    bool PushWait(const std::uint8_t* data, std::size_t bytes);
    // The sound system lost `bytes` here: that much silence follows what was pushed so far.
    bool PushGap(std::size_t bytes);
    // What Push takes now without loss.
    std::size_t RoomBytes() const;
    // True when Push takes `bytes` now without loss (or the queue is not running, so nothing is
    // worth keeping). Otherwise the producer leaves the sound with the sound system, and the next
    // delivered buffer runs the room callback.
    bool HasRoomOrWait(std::size_t bytes);
    // The device is gone: complete buffers still go out, then the lost callback, then nothing.
    void DeviceLost();

    // Waits until every complete buffer has been delivered and no callback runs (or the thread
    // ended); false on time-out.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

    bool IsRunning() const;
    bool OnDeliveryThread() const;
    std::uint64_t LostBytes() const;
    std::vector<CaptureLoss> Losses() const;
    std::uint64_t DeliveredBuffers() const;
    std::size_t BufferBytes() const { return m_bufferBytes; }
    std::size_t CapacityBytes() const { return m_ring.size(); }

private:
    void Run();
    std::uint64_t PendingBytes() const { return m_written - m_read; }
    std::size_t FreeBytes() const { return m_ring.size() - static_cast<std::size_t>(PendingBytes()); }
    // Copies into the ring at the write position; the caller holds the lock and checked the room.
    void CopyIn(const std::uint8_t* data, std::size_t bytes);
    // The caller holds the lock.
    void RecordLoss(std::uint64_t bytes);
    // Writes as much owed silence as fits; true when nothing is owed any more. Lock held.
    bool PayOwedSilence();
    void JoinUnlessSelf();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint8_t> m_ring;
    std::size_t m_bufferBytes = 0;
    BufferCallback m_onBuffer;
    DeviceLostCallback m_onDeviceLost;
    RoomCallback m_onRoom;

    std::uint64_t m_written = 0;
    std::uint64_t m_read = 0;
    std::uint64_t m_lost = 0;
    std::uint64_t m_owedSilence = 0;
    std::vector<CaptureLoss> m_losses;
    bool m_producerWaiting = false;
    std::uint64_t m_delivered = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_deviceLost = false;
    bool m_inCallback = false;
    bool m_threadEnded = false;
    std::thread m_thread;
};
