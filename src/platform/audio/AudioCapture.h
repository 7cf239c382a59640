#pragma once

#include "platform/audio/PcmFormat.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// A stretch of sound the capture lost: the sound system overran, or the consumer fell further
// behind than every buffer on the way could hold. The stream carries as much silence in its
// place, so what follows stays at its true time.
struct CaptureLoss
{
    std::uint64_t positionBytes = 0; // where the silence begins in the delivered stream
    std::uint64_t bytes = 0;
};

// Records from the sound system's selected capture source (the old wave-input device 0).
//
// The stream is cut into buffers of exactly the size asked for at Open, whatever pieces the
// device delivers, and each filled buffer is handed to the buffer callback in capture order on a
// capture thread owned by the back-end: never on the caller's thread and never on a thread the
// sound system needs to keep running, so the callback may block (the engine waits on its
// encoder there). While the callback is slow, the back-end queues several seconds of sound and
// then leaves the rest in the sound system's own buffer, taking it once the callback catches up.
// Sound lost all the same is delivered as silence of the same length and listed in Losses.
//
// Open, Start, Stop and Close are called from one controlling thread.
class AudioCapture
{
public:
    // One filled buffer of exactly the buffer size. The memory stays valid until the call returns.
    using BufferCallback = std::function<void(const std::uint8_t* data, std::size_t bytes)>;
    // The device vanished or failed while capturing (server gone, source removed). Runs once on
    // the capture thread, after the last complete buffer; nothing more arrives afterwards.
    using DeviceLostCallback = std::function<void()>;

    virtual ~AudioCapture() = default;

    // False when there is nothing to record from: no sound server, or no capture source.
    virtual bool DeviceAvailable() = 0;

    // Records from the source of this name (the sound system's name for it) instead of the
    // selected one, leaving the selection as it is; empty for the selected one. Set before Open.
    void SetSourceName(const QString& name) { m_sourceName = name; }
    const QString& SourceName() const { return m_sourceName; }

    // Connects to the device with the format (16-bit PCM only) and the exact buffer size, ready
    // to start. Fails with no device, an unsupported format or a zero buffer size.
    virtual bool Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
                      DeviceLostCallback onDeviceLost) = 0;
    // Begins capturing; buffers start to arrive on the capture thread.
    virtual bool Start() = 0;
    // Ends capturing. Returns only when no callback is running or will run, except when called
    // from inside a callback: then the running callback is the last one. A partly filled buffer
    // is discarded. Safe to call when not started.
    virtual void Stop() = 0;
    // Stops and releases the device. Safe to call at any time, also twice.
    virtual void Close() = 0;

    virtual bool IsOpen() const = 0;
    // Sound lost since Start, in stream order; LostBytes is their total.
    virtual std::vector<CaptureLoss> Losses() const = 0;
    virtual std::uint64_t LostBytes() const = 0;
    // Why the last Open or Start failed, for logs and test messages.
    virtual QString LastError() const = 0;

private:
    QString m_sourceName;
};
