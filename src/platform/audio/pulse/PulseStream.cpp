#include "platform/audio/pulse/PulseStream.h"

#include <pulse/stream.h>

void CPulseStream::Reset(pa_stream* stream)
{
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_overflow_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_set_latency_update_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) {
            pa_stream_disconnect(m_stream);
        }
        pa_stream_unref(m_stream);
    }
    m_stream = stream;
}
