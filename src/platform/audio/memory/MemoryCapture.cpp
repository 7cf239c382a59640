#include "platform/audio/memory/MemoryCapture.h"

#include "platform/audio/CaptureQueue.h"
#include "platform/audio/memory/MemoryAudioBackend.h"

CMemoryCapture::CMemoryCapture(std::shared_ptr<CMemoryAudioBackend> backend)
    : m_backend(std::move(backend))
    , m_queue(std::make_shared<CCaptureQueue>())
{}

CMemoryCapture::~CMemoryCapture()
{
    Close();
}

bool CMemoryCapture::DeviceAvailable()
{
    return m_backend->CaptureDeviceAvailable();
}

bool CMemoryCapture::Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
                          DeviceLostCallback onDeviceLost)
{
    Close();
    if (!format.IsValid() || format.bitsPerSample != PcmFormat::kDefaultBits || bufferBytes == 0 || !onBuffer) {
        m_error = QStringLiteral("unsupported capture format or buffer size");
        return false;
    }
    if (!m_backend->BeginCapture(format, bufferBytes)) {
        m_error = QStringLiteral("no capture device");
        return false;
    }
    if (!m_queue->Configure(bufferBytes, kQueuedBuffers, std::move(onBuffer), std::move(onDeviceLost))) {
        m_error = QStringLiteral("cannot set up the capture queue");
        return false;
    }
    m_open = true;
    return true;
}

bool CMemoryCapture::Start()
{
    if (!m_open || m_started || !m_queue->Start()) {
        m_error = QStringLiteral("capture is not open");
        return false;
    }
    m_stopFeeding = false;
    m_backend->RegisterCapture(m_queue);
    m_feeder = std::thread([this] { Feed(); });
    m_started = true;
    return true;
}

void CMemoryCapture::Feed()
{
    CMemoryAudioBackend::CaptureItem item;
    while (m_backend->TakeCaptureItem(item, m_stopFeeding)) {
        if (item.vanish) {
            m_queue->DeviceLost();
            m_backend->CaptureItemDone();
            return;
        }
        const bool pushed =
            m_queue->PushWait(reinterpret_cast<const std::uint8_t*>(item.bytes.constData()), item.bytes.size());
        m_backend->CaptureItemDone();
        if (!pushed) {
            return;
        }
    }
}

void CMemoryCapture::Stop()
{
    m_stopFeeding = true;
    m_backend->WakeCaptureFeeders();
    m_queue->Stop();
    if (m_feeder.joinable()) {
        m_feeder.join();
    }
    if (m_started) {
        m_backend->UnregisterCapture(m_queue);
        m_started = false;
    }
}

void CMemoryCapture::Close()
{
    Stop();
    m_open = false;
}

bool CMemoryCapture::IsOpen() const
{
    return m_open;
}

std::uint64_t CMemoryCapture::DroppedBytes() const
{
    return m_queue->DroppedBytes();
}

QString CMemoryCapture::LastError() const
{
    return m_error;
}
