#include "platform/audio/pulse/PulseCapture.h"

#include "platform/audio/pulse/PulseConnection.h"
#include "platform/audio/pulse/PulseLock.h"
#include "platform/audio/pulse/PulseOperation.h"

#include <algorithm>
#include <cmath>
#include <pulse/stream.h>

namespace
{
const QString kClientName = QStringLiteral("Sorvane");
constexpr const char* kStreamName = "Sorvane recording";
constexpr std::uint32_t kServerDefault = static_cast<std::uint32_t>(-1);
// Buffers per server fragment: each wake-up of the capture thread then carries about a tenth of
// a second, often enough for the level and live waveform and far cheaper than one per buffer.
constexpr std::uint32_t kBuffersPerFragment = 4;
} // namespace

CPulseCapture::CPulseCapture(QString server)
    : m_server(std::move(server))
{}

CPulseCapture::~CPulseCapture()
{
    Close();
}

bool CPulseCapture::Fail(const QString& error)
{
    m_error = error;
    Close();
    return false;
}

bool CPulseCapture::DeviceAvailable()
{
    CPulseConnection connection;
    if (!connection.Connect(m_server, kClientName)) {
        m_error = connection.LastError();
        return false;
    }
    CPulseLock lock(connection.Loop());
    CPulseConnection::DefaultDevices devices;
    if (!connection.ReadDefaultDevices(devices) || devices.sourceName.isEmpty()) {
        m_error = QStringLiteral("no capture source");
        return false;
    }
    return true;
}

bool CPulseCapture::Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
                         DeviceLostCallback onDeviceLost)
{
    Close();
    if (!format.IsValid() || format.bitsPerSample != PcmFormat::kDefaultBits || bufferBytes == 0 || !onBuffer) {
        m_error = QStringLiteral("unsupported capture format or buffer size");
        return false;
    }
    const auto secondsOfBuffers =
        static_cast<std::size_t>(std::ceil(kQueuedSeconds * double(format.BytesPerSecond()) / double(bufferBytes)));
    if (!m_queue.Configure(bufferBytes, std::max(kMinQueuedBuffers, secondsOfBuffers), std::move(onBuffer),
                           std::move(onDeviceLost))) {
        m_error = QStringLiteral("cannot set up the capture queue");
        return false;
    }

    m_connection = std::make_unique<CPulseConnection>();
    if (!m_connection->Connect(m_server, kClientName)) {
        return Fail(m_connection->LastError());
    }
    bool connected = false;
    {
        CPulseLock lock(m_connection->Loop());
        connected = ConnectStream(format, bufferBytes);
    }
    return connected || Fail(m_error);
}

bool CPulseCapture::ConnectStream(const PcmFormat& format, std::size_t bufferBytes)
{
    CPulseConnection::DefaultDevices devices;
    if (!m_connection->ReadDefaultDevices(devices) || devices.sourceName.isEmpty()) {
        m_error = QStringLiteral("no capture source");
        return false;
    }

    const pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, format.sampleRate, static_cast<std::uint8_t>(format.channels)};
    m_stream.Reset(pa_stream_new(m_connection->Context(), kStreamName, &sampleSpec, nullptr));
    if (!m_stream) {
        m_error = m_connection->LastError();
        return false;
    }
    pa_stream_set_state_callback(m_stream.Get(), &CPulseCapture::OnStreamState, this);
    pa_stream_set_read_callback(m_stream.Get(), &CPulseCapture::OnStreamRead, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = kServerDefault;
    attributes.tlength = kServerDefault;
    attributes.prebuf = kServerDefault;
    attributes.minreq = kServerDefault;
    attributes.fragsize = static_cast<std::uint32_t>(bufferBytes) * kBuffersPerFragment;
    // The default source at connect time; a stream without a fixed device follows a later change.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(m_stream.Get(), nullptr, &attributes, flags) < 0) {
        m_error = m_connection->LastError();
        return false;
    }
    pa_stream* stream = m_stream.Get();
    const auto settled = [stream] {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    };
    if (!m_connection->WaitFor(settled) || pa_stream_get_state(stream) != PA_STREAM_READY) {
        m_error = QStringLiteral("cannot open the capture source: %1").arg(m_connection->LastError());
        return false;
    }
    m_connection->SetLostCallback([this] { m_queue.DeviceLost(); });
    return true;
}

bool CPulseCapture::Start()
{
    if (!IsOpen() || m_started) {
        m_error = QStringLiteral("capture is not open");
        return false;
    }
    if (!m_queue.Start()) {
        m_error = QStringLiteral("cannot start the capture thread");
        return false;
    }
    CPulseLock lock(m_connection->Loop());
    pa_stream* stream = m_stream.Get();
    if (!m_connection->RunStreamOperation(
            [stream](auto callback, void* userdata) { return pa_stream_cork(stream, 0, callback, userdata); })) {
        m_error = QStringLiteral("cannot start capturing: %1").arg(m_connection->LastError());
        m_queue.Stop();
        return false;
    }
    m_started = true;
    return true;
}

void CPulseCapture::Stop()
{
    m_queue.Stop();
    if (m_started && m_connection) {
        CPulseLock lock(m_connection->Loop());
        if (m_connection->IsReady() && pa_stream_get_state(m_stream.Get()) == PA_STREAM_READY) {
            // Nothing waits for the answer: what still arrives is dropped by the stopped queue.
            CPulseOperation unanswered(pa_stream_cork(m_stream.Get(), 1, nullptr, nullptr));
        }
    }
    m_started = false;
}

void CPulseCapture::Close()
{
    Stop();
    if (m_connection) {
        {
            CPulseLock lock(m_connection->Loop());
            m_connection->SetLostCallback({});
            m_stream.Reset();
        }
        m_connection.reset();
    }
}

bool CPulseCapture::IsOpen() const
{
    return m_connection && m_stream;
}

std::uint64_t CPulseCapture::DroppedBytes() const
{
    return m_queue.DroppedBytes();
}

QString CPulseCapture::LastError() const
{
    return m_error;
}

void CPulseCapture::OnStreamState(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<CPulseCapture*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        self->m_queue.DeviceLost();
    }
    self->m_connection->Loop().Signal();
}

void CPulseCapture::OnStreamRead(pa_stream* stream, std::size_t, void* userdata)
{
    auto* self = static_cast<CPulseCapture*>(userdata);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            break;
        }
        // A hole in the stream (no data for a stretch) is captured as silence.
        self->m_queue.Push(static_cast<const std::uint8_t*>(data), bytes);
        pa_stream_drop(stream);
    }
}
