#pragma once

#include "platform/audio/AudioCapture.h"
#include "platform/audio/CaptureQueue.h"
#include "platform/audio/pulse/PulseStream.h"

#include <QString>
#include <atomic>
#include <memory>

class CPulseConnection;
struct pa_stream;

// Capture through a PulseAudio record stream on the server's default source. The main loop's
// read callback only copies into the capture queue; the buffers go out on the queue's thread.
class CPulseCapture : public AudioCapture
{
public:
    // Sound held for a consumer that falls behind before what arrives is dropped.
    static constexpr double kQueuedSeconds = 4.0;
    static constexpr std::size_t kMinQueuedBuffers = 8;

    explicit CPulseCapture(QString server);
    ~CPulseCapture() override;

    bool DeviceAvailable() override;
    bool Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
              DeviceLostCallback onDeviceLost) override;
    bool Start() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override;
    std::uint64_t DroppedBytes() const override;
    QString LastError() const override;

private:
    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnStreamRead(pa_stream* stream, std::size_t bytes, void* userdata);
    // Creates and connects the record stream; the caller holds the loop lock.
    bool ConnectStream(const PcmFormat& format, std::size_t bufferBytes);
    bool Fail(const QString& error);

    QString m_server;
    CCaptureQueue m_queue;
    std::unique_ptr<CPulseConnection> m_connection;
    CPulseStream m_stream;
    std::atomic<bool> m_started{false};
    QString m_error;
};
