#pragma once

#include "platform/audio/AudioCapture.h"
#include "platform/audio/CaptureQueue.h"
#include "platform/audio/pulse/PulseStream.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

class CPulseConnection;
struct pa_stream;

// Capture through a PulseAudio record stream on the server's default source. The main loop's
// read callback only copies into the capture queue; the buffers go out on the queue's thread.
// It reads only what the queue has room for and leaves the rest in the stream's buffer, which
// is asked to hold kServerBufferSeconds, until a delivered buffer makes room.
class CPulseCapture : public AudioCapture
{
public:
    static constexpr double kServerBufferSeconds = 30.0;

    explicit CPulseCapture(QString server);
    ~CPulseCapture() override;

    bool DeviceAvailable() override;
    bool Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
              DeviceLostCallback onDeviceLost) override;
    bool Start() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override;
    std::vector<CaptureLoss> Losses() const override;
    std::uint64_t LostBytes() const override;
    QString LastError() const override;

private:
    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnStreamRead(pa_stream* stream, std::size_t bytes, void* userdata);
    static void OnTimingUpdate(pa_stream* stream, void* userdata);
    // Moves what the stream holds into the queue as far as it has room; the loop lock is held.
    void ReadAvailable();
    // Runs on the queue's thread when it has room again for what the stream still holds.
    void OnQueueRoom();
    // Compares the server's account of what it sent with what was read; the loop lock is held.
    void CheckForClientOverrun();
    // Creates and connects the record stream; the caller holds the loop lock.
    bool ConnectStream(const PcmFormat& format, std::size_t bufferBytes);
    bool Fail(const QString& error);

    QString m_server;
    CCaptureQueue m_queue;
    std::unique_ptr<CPulseConnection> m_connection;
    CPulseStream m_stream;
    std::atomic<bool> m_started{false};
    // Read from the stream since Start (holes included), and the client-side losses already
    // accounted for; both under the loop lock.
    std::int64_t m_consumedBytes = 0;
    std::optional<std::int64_t> m_overrunBaseline;
    std::int64_t m_overrunBytes = 0;
    // Losses seen ahead of the read position: their silence goes in once reading reaches it.
    struct PendingGap
    {
        std::int64_t position = 0;
        std::size_t bytes = 0;
    };
    std::deque<PendingGap> m_pendingGaps;
    QString m_error;
};
