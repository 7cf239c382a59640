#pragma once

struct pa_stream;

// Owns a PulseAudio stream: on destruction its callbacks are cleared, it is disconnected and its
// reference dropped. Destroy or reset it with the main loop's lock held.
class CPulseStream
{
public:
    CPulseStream() = default;
    explicit CPulseStream(pa_stream* stream)
        : m_stream(stream)
    {}
    ~CPulseStream() { Reset(); }

    CPulseStream(const CPulseStream&) = delete;
    CPulseStream& operator=(const CPulseStream&) = delete;

    explicit operator bool() const { return m_stream != nullptr; }
    pa_stream* Get() const { return m_stream; }
    void Reset(pa_stream* stream = nullptr);

private:
    pa_stream* m_stream = nullptr;
};
