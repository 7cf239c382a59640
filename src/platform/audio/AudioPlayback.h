#pragma once

#include "platform/audio/PcmFormat.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

// Plays PCM on the sound system's default output (the old wave-output device).
//
// Writes queue sound behind what is already queued; Write blocks while the device's queue is
// full (also while paused), so a feeding thread is paced by the device. Open, Pause, Resume,
// Flush, Drain and Close come from one controlling thread; Write may come from one feeding
// thread of the owner's (never from a back-end callback). PlayedBytes may be asked from any
// thread.
class AudioPlayback
{
public:
    // Everything written has been played after Drain. Runs on a back-end thread; it must not
    // call back into the playback (post an event instead).
    using DrainedCallback = std::function<void()>;

    virtual ~AudioPlayback() = default;

    // Opens the default output for the format. Fails with no sound server, no output or an
    // unsupported format.
    virtual bool Open(const PcmFormat& format) = 0;
    // Queues the bytes (whole frames). Blocks until all are queued; false when the playback was
    // flushed or closed meanwhile, or the device failed.
    virtual bool Write(const void* data, std::size_t bytes) = 0;
    // Bytes that Write would take now without blocking.
    virtual std::size_t WritableBytes() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual bool IsPaused() const = 0;
    // Discards everything queued, as the old reset did: the position returns to 0 and the output
    // stays open (and paused, if it was) for new data.
    virtual bool Flush() = 0;
    // Asks to be told once everything written so far has been played.
    virtual bool Drain(DrainedCallback onDrained) = 0;
    // Bytes played since Open or the last Flush; never more than were written.
    virtual std::uint64_t PlayedBytes() = 0;
    virtual std::uint64_t WrittenBytes() const = 0;
    // Stops at once and releases the output. Safe to call at any time, also twice.
    virtual void Close() = 0;

    virtual bool IsOpen() const = 0;
    // The device failed or vanished while open: writes fail from then on.
    virtual bool HasFailed() const = 0;
    virtual QString LastError() const = 0;
};
