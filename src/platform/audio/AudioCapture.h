#pragma once

#include "platform/audio/PcmFormat.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// Records from the sound system's selected capture source (the old wave-input device 0).
//
// The stream is cut into buffers of exactly the size asked for at Open, whatever pieces the
// device delivers, and each filled buffer is handed to the buffer callback in capture order on a
// capture thread owned by the back-end: never on the caller's thread and never on a thread the
// sound system needs to keep running, so the callback may block (the engine waits on its
// encoder there). While the callback is slow, the back-end queues a few seconds of sound; beyond
// that it drops what arrives, as a sound card overruns, and counts it in DroppedBytes.
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
    virtual std::uint64_t DroppedBytes() const = 0;
    // Why the last Open or Start failed, for logs and test messages.
    virtual QString LastError() const = 0;
};
