#pragma once

#include <cstddef>
#include <cstdint>

// Told about every captured buffer while the recording is not paused, on the capture thread.
// The recording monitor is the one real observer; tests use their own.
class CCaptureMonitor
{
public:
    virtual ~CCaptureMonitor() = default;
    virtual void OnBuffer(const std::int16_t* samples, std::size_t byteCount, bool repaint) = 0;
};
