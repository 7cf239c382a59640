#include "platform/audio/pulse/PulsePlayback.h"

#include "platform/audio/pulse/PulseConnection.h"
#include "platform/audio/pulse/PulseLock.h"
#include "platform/audio/pulse/PulseVolume.h"

#include <algorithm>
#include <pulse/introspect.h>
#include <pulse/stream.h>
#include <pulse/volume.h>

namespace
{
const QString kClientName = QStringLiteral("Sorvane");
constexpr const char* kStreamName = "Sorvane playback";
constexpr std::uint32_t kServerDefault = static_cast<std::uint32_t>(-1);
constexpr int kUnsigned8Bits = 8;
} // namespace

CPulsePlayback::CPulsePlayback(QString server)
    : m_server(std::move(server))
{}

CPulsePlayback::~CPulsePlayback()
{
    Close();
}

bool CPulsePlayback::Fail(const QString& error)
{
    m_error = error;
    Close();
    return false;
}

bool CPulsePlayback::Open(const PcmFormat& format)
{
    Close();
    if (!format.IsValid()) {
        m_error = QStringLiteral("unsupported playback format");
        return false;
    }
    m_format = format;
    m_failed = false;
    auto connection = std::make_shared<CPulseConnection>();
    {
        std::lock_guard guard(m_connectionMutex);
        m_connection = connection;
    }
    if (!connection->Connect(m_server, kClientName)) {
        return Fail(connection->LastError());
    }
    bool connected = false;
    {
        CPulseLock lock(connection->Loop());
        m_loop = &connection->Loop();
        connection->SetLostCallback([this] {
            m_failed = true;
            m_loop->Signal();
        });
        connected = ConnectStream();
    }
    if (!connected) {
        return Fail(m_error);
    }
    m_volumeFollower = std::make_unique<PlaybackVolume::CFollower>([this](int level) { ApplyVolume(level); });
    return true;
}

void CPulsePlayback::ApplyVolume(int level)
{
    const auto connection = SharedConnection();
    if (!connection) {
        return;
    }
    CPulseLock lock(connection->Loop());
    if (!m_stream || pa_stream_get_state(m_stream.Get()) != PA_STREAM_READY) {
        return;
    }
    pa_cvolume volume;
    pa_cvolume_set(&volume, static_cast<unsigned>(m_format.channels), PulseVolume::VolumeFromLevel(level));
    const std::uint32_t sinkInput = pa_stream_get_index(m_stream.Get());
    // Waited for (a bounded wait), so what the sound system reports next is the new volume.
    connection->RunSuccessOperation([&connection, sinkInput, &volume](auto callback, void* userdata) {
        return pa_context_set_sink_input_volume(connection->Context(), sinkInput, &volume, callback, userdata);
    });
}

bool CPulsePlayback::ConnectStream()
{
    const pa_sample_spec sampleSpec{m_format.bitsPerSample == kUnsigned8Bits ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE,
                                    m_format.sampleRate, static_cast<std::uint8_t>(m_format.channels)};
    m_stream.Reset(pa_stream_new(m_connection->Context(), kStreamName, &sampleSpec, nullptr));
    if (!m_stream) {
        m_error = m_connection->LastError();
        return false;
    }
    pa_stream_set_state_callback(m_stream.Get(), &CPulsePlayback::OnStreamState, this);
    pa_stream_set_write_callback(m_stream.Get(), &CPulsePlayback::OnStreamWrite, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = kServerDefault;
    attributes.tlength =
        static_cast<std::uint32_t>(pa_usec_to_bytes(std::chrono::microseconds(kTargetLatency).count(), &sampleSpec));
    attributes.prebuf = kServerDefault;
    attributes.minreq = kServerDefault;
    attributes.fragsize = kServerDefault;
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                PA_STREAM_AUTO_TIMING_UPDATE);
    if (m_paused) {
        flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_START_CORKED);
    }
    // Sorvane's own volume from the first sample on; the sink's volume is the user's business.
    pa_cvolume volume;
    pa_cvolume_set(&volume, sampleSpec.channels, PulseVolume::VolumeFromLevel(PlaybackVolume::Level()));
    if (pa_stream_connect_playback(m_stream.Get(), nullptr, &attributes, flags, &volume, nullptr) < 0) {
        m_error = m_connection->LastError();
        return false;
    }
    pa_stream* stream = m_stream.Get();
    const auto settled = [stream] {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    };
    if (!m_connection->WaitFor(settled) || pa_stream_get_state(stream) != PA_STREAM_READY) {
        m_error = QStringLiteral("cannot open the output: %1").arg(m_connection->LastError());
        return false;
    }
    m_written = 0;
    m_writtenSnapshot = 0;
    m_played = 0;
    m_drained = false;
    return true;
}

bool CPulsePlayback::Write(const void* data, std::size_t bytes)
{
    // A writer that comes in while Close runs holds the connection alive and finds no stream.
    const auto connection = SharedConnection();
    if (!connection || bytes % m_format.BlockAlign() != 0) {
        return false;
    }
    CPulseLock lock(connection->Loop());
    const unsigned generation = m_generation;
    ++m_activeWriters;
    const auto* next = static_cast<const std::uint8_t*>(data);
    bool written = true;
    while (bytes > 0) {
        if (generation != m_generation || m_failed || !m_stream ||
            pa_stream_get_state(m_stream.Get()) != PA_STREAM_READY) {
            written = false;
            break;
        }
        const std::size_t writable = pa_stream_writable_size(m_stream.Get());
        if (writable == static_cast<std::size_t>(-1)) {
            written = false;
            break;
        }
        if (writable == 0) {
            // The write callback, a state change, Flush or Close wakes this.
            connection->Loop().Wait();
            continue;
        }
        const std::size_t piece = std::min(bytes, writable);
        if (pa_stream_write(m_stream.Get(), next, piece, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            written = false;
            break;
        }
        next += piece;
        bytes -= piece;
        m_written += piece;
        m_writtenSnapshot = m_written;
        m_drained = false;
    }
    --m_activeWriters;
    connection->Loop().Signal();
    return written;
}

std::size_t CPulsePlayback::WritableBytes()
{
    const auto connection = SharedConnection();
    if (!connection) {
        return 0;
    }
    CPulseLock lock(connection->Loop());
    if (!m_stream || pa_stream_get_state(m_stream.Get()) != PA_STREAM_READY) {
        return 0;
    }
    const std::size_t writable = pa_stream_writable_size(m_stream.Get());
    return writable == static_cast<std::size_t>(-1) ? 0 : writable;
}

bool CPulsePlayback::SetCorked(bool corked)
{
    if (!IsOpen()) {
        return false;
    }
    CPulseLock lock(m_connection->Loop());
    UpdatePlayedLocked();
    pa_stream* stream = m_stream.Get();
    if (!m_connection->RunStreamOperation([stream, corked](auto callback, void* userdata) {
            return pa_stream_cork(stream, corked ? 1 : 0, callback, userdata);
        })) {
        m_error = m_connection->LastError();
        return false;
    }
    m_paused = corked;
    return true;
}

bool CPulsePlayback::Pause()
{
    return SetCorked(true);
}

bool CPulsePlayback::Resume()
{
    return SetCorked(false);
}

bool CPulsePlayback::IsPaused() const
{
    return m_paused;
}

bool CPulsePlayback::Flush()
{
    if (!IsOpen()) {
        return false;
    }
    bool connected = false;
    {
        CPulseLock lock(m_connection->Loop());
        ++m_generation;
        m_connection->Loop().Signal();
        m_drainOperation.Cancel();
        m_drainOperation.Reset();
        // A fresh stream starts its clock at 0 with nothing queued: what the old reset did.
        m_stream.Reset();
        connected = ConnectStream();
    }
    return connected || Fail(m_error);
}

bool CPulsePlayback::Drain(DrainedCallback onDrained)
{
    if (!IsOpen()) {
        return false;
    }
    CPulseLock lock(m_connection->Loop());
    m_drainOperation.Cancel();
    m_onDrained = std::move(onDrained);
    m_drainOperation.Reset(pa_stream_drain(m_stream.Get(), &CPulsePlayback::OnDrained, this));
    return static_cast<bool>(m_drainOperation);
}

void CPulsePlayback::OnDrained(pa_stream*, int success, void* userdata)
{
    auto* self = static_cast<CPulsePlayback*>(userdata);
    if (!success) {
        return;
    }
    self->m_drained = true;
    self->m_played = self->m_written;
    if (self->m_onDrained) {
        self->m_onDrained();
    }
    self->m_loop->Signal();
}

std::uint64_t CPulsePlayback::PlayedBytes()
{
    const auto connection = SharedConnection();
    if (!connection) {
        return 0;
    }
    CPulseLock lock(connection->Loop());
    UpdatePlayedLocked();
    return m_played;
}

void CPulsePlayback::UpdatePlayedLocked()
{
    // A corked stream's clock shows what the server took from the queue, not what was heard,
    // so while paused the position stays where the pause left it.
    if (m_drained || m_paused || !m_stream) {
        return;
    }
    pa_usec_t time = 0;
    if (pa_stream_get_time(m_stream.Get(), &time) >= 0) {
        const pa_sample_spec* sampleSpec = pa_stream_get_sample_spec(m_stream.Get());
        const std::uint64_t played = std::min<std::uint64_t>(pa_usec_to_bytes(time, sampleSpec), m_written);
        m_played = std::max(m_played, played);
    }
}

std::uint64_t CPulsePlayback::WrittenBytes() const
{
    return m_writtenSnapshot;
}

void CPulsePlayback::Close()
{
    // Untied before the loop lock is taken: a level being set holds the tie, then the lock.
    m_volumeFollower.reset();
    const auto connection = SharedConnection();
    if (!connection) {
        return;
    }
    {
        CPulseLock lock(connection->Loop());
        ++m_generation;
        connection->Loop().Signal();
        while (m_activeWriters > 0) {
            connection->Loop().Wait();
        }
        m_drainOperation.Cancel();
        m_drainOperation.Reset();
        connection->SetLostCallback({});
        m_stream.Reset();
    }
    {
        std::lock_guard guard(m_connectionMutex);
        m_connection.reset();
    }
    m_paused = false;
}

std::shared_ptr<CPulseConnection> CPulsePlayback::SharedConnection() const
{
    std::lock_guard guard(m_connectionMutex);
    return m_connection;
}

bool CPulsePlayback::IsOpen() const
{
    return SharedConnection() && m_stream;
}

bool CPulsePlayback::HasFailed() const
{
    return m_failed;
}

QString CPulsePlayback::LastError() const
{
    return m_error;
}

void CPulsePlayback::OnStreamState(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<CPulsePlayback*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        self->m_failed = true;
    }
    self->m_loop->Signal();
}

void CPulsePlayback::OnStreamWrite(pa_stream*, std::size_t, void* userdata)
{
    static_cast<CPulsePlayback*>(userdata)->m_loop->Signal();
}
