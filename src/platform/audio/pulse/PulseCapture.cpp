#include "platform/audio/pulse/PulseCapture.h"

#include "platform/audio/pulse/PulseConnection.h"
#include "platform/audio/pulse/PulseLock.h"
#include "platform/audio/pulse/PulseOperation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <pulse/stream.h>

namespace
{
const QString kClientName = QStringLiteral("Sorvane");
constexpr const char* kStreamName = "Sorvane recording";
constexpr std::uint32_t kServerDefault = static_cast<std::uint32_t>(-1);
// Buffers per server fragment: each wake-up of the capture thread then carries about a tenth of
// a second, often enough for the level and live waveform and far cheaper than one per buffer.
constexpr std::uint32_t kBuffersPerFragment = 4;

std::uint32_t ServerBufferBytes(const PcmFormat& format)
{
    const double bytes = std::ceil(CPulseCapture::kServerBufferSeconds * double(format.BytesPerSecond()));
    const double whole = bytes - std::fmod(bytes, double(format.BlockAlign()));
    // Below the all-ones value, which would ask for the server's default instead.
    return static_cast<std::uint32_t>(std::min(whole, double(std::numeric_limits<std::uint32_t>::max() - 1)));
}
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
    if (!m_queue.Configure(bufferBytes, CCaptureQueue::CapacityBuffersFor(format.BytesPerSecond(), bufferBytes),
                           std::move(onBuffer), std::move(onDeviceLost))) {
        m_error = QStringLiteral("cannot set up the capture queue");
        return false;
    }
    m_queue.SetRoomCallback([this] { OnQueueRoom(); });

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
    if (SourceName().isEmpty() && (!m_connection->ReadDefaultDevices(devices) || devices.sourceName.isEmpty())) {
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
    pa_stream_set_latency_update_callback(m_stream.Get(), &CPulseCapture::OnTimingUpdate, this);

    // What is not read yet waits in the stream's buffer of maxlength bytes. The server may give
    // less than asked (PulseAudio caps it at 4 MiB, under 24 s of 44.1 kHz stereo); the capture
    // queue's own seconds come on top.
    pa_buffer_attr attributes{};
    attributes.maxlength = ServerBufferBytes(format);
    attributes.tlength = kServerDefault;
    attributes.prebuf = kServerDefault;
    attributes.minreq = kServerDefault;
    attributes.fragsize = static_cast<std::uint32_t>(bufferBytes) * kBuffersPerFragment;
    // The named source, or the default one at connect time; a stream without a fixed device
    // follows a later change. Timing updates tell how much the server sent, which shows sound
    // lost on the way.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    const QByteArray device = SourceName().toUtf8();
    if (pa_stream_connect_record(m_stream.Get(), device.isEmpty() ? nullptr : device.constData(), &attributes, flags) <
        0) {
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
    m_consumedBytes = 0;
    m_overrunBaseline.reset();
    m_overrunBytes = 0;
    m_pendingGaps.clear();
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

std::vector<CaptureLoss> CPulseCapture::Losses() const
{
    return m_queue.Losses();
}

std::uint64_t CPulseCapture::LostBytes() const
{
    return m_queue.LostBytes();
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

void CPulseCapture::OnStreamRead(pa_stream*, std::size_t, void* userdata)
{
    static_cast<CPulseCapture*>(userdata)->ReadAvailable();
}

void CPulseCapture::OnQueueRoom()
{
    if (!m_connection) {
        return;
    }
    CPulseLock lock(m_connection->Loop());
    ReadAvailable();
}

void CPulseCapture::ReadAvailable()
{
    pa_stream* stream = m_stream.Get();
    if (!stream || pa_stream_get_state(stream) != PA_STREAM_READY) {
        return;
    }
    for (;;) {
        while (!m_pendingGaps.empty() && m_pendingGaps.front().position <= m_consumedBytes) {
            m_queue.PushGap(m_pendingGaps.front().bytes);
            m_pendingGaps.pop_front();
        }
        const std::size_t readable = pa_stream_readable_size(stream);
        if (readable == 0 || readable == static_cast<std::size_t>(-1)) {
            return;
        }
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        if (data == nullptr) {
            // A hole: the server skipped this stretch of the stream.
            m_queue.PushGap(bytes);
        } else if (bytes > m_queue.CapacityBytes() || m_queue.HasRoomOrWait(bytes)) {
            // (A piece larger than the whole queue could never fit; it is lost as silence.)
            m_queue.Push(static_cast<const std::uint8_t*>(data), bytes);
        } else {
            // The piece stays in the stream's buffer; the queue's room callback reads on.
            return;
        }
        pa_stream_drop(stream);
        m_consumedBytes += static_cast<std::int64_t>(bytes);
    }
}

void CPulseCapture::OnTimingUpdate(pa_stream*, void* userdata)
{
    static_cast<CPulseCapture*>(userdata)->CheckForClientOverrun();
}

void CPulseCapture::CheckForClientOverrun()
{
    // How the loss is measured: for a record stream, libpulse reports as read index the server's
    // read index (all the server has sent us) less what still waits unread in the client's
    // buffer, worked out when the answer arrives, after every piece sent before it. Without
    // loss that is exactly what was read from the stream (holes included). A client buffer that
    // overflowed refused pieces the server had sent: the read index runs ahead of what was read
    // by their length. They came after what the client buffer held at that moment, so their
    // silence goes in once reading gets there (give or take the pieces that came in meanwhile).
    // The first answer sets the baseline, so only growth counts. What the server's own queue
    // refuses (a client that reads nothing for longer than it holds) shows in neither index and
    // cannot be told.
    pa_stream* stream = m_stream.Get();
    const pa_timing_info* timing = stream ? pa_stream_get_timing_info(stream) : nullptr;
    if (!timing || timing->read_index_corrupt) {
        return;
    }
    const std::int64_t ahead = timing->read_index - m_consumedBytes;
    if (!m_overrunBaseline) {
        m_overrunBaseline = ahead;
        return;
    }
    const std::int64_t lost = ahead - *m_overrunBaseline - m_overrunBytes;
    if (lost <= 0) {
        return;
    }
    m_overrunBytes += lost;
    const std::size_t unread = pa_stream_readable_size(stream);
    const std::int64_t position =
        m_consumedBytes + (unread == static_cast<std::size_t>(-1) ? 0 : static_cast<std::int64_t>(unread));
    m_pendingGaps.push_back(PendingGap{position, static_cast<std::size_t>(lost)});
    ReadAvailable();
}
