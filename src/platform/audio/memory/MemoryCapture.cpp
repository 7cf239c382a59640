#include "platform/audio/memory/MemoryCapture.h"

#include "platform/audio/CaptureQueue.h"
#include "platform/audio/memory/MemoryAudioBackend.h"

#include <algorithm>

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
    if (!m_queue->Configure(bufferBytes, CCaptureQueue::CapacityBuffersFor(format.BytesPerSecond(), bufferBytes),
                            std::move(onBuffer), std::move(onDeviceLost))) {
        m_error = QStringLiteral("cannot set up the capture queue");
        return false;
    }
    m_queue->SetRoomCallback([this] { OnQueueRoom(); });
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
        const bool fed = item.lostBytes > 0 ? m_queue->PushGap(item.lostBytes) : FeedBytes(item.bytes);
        m_backend->CaptureItemDone();
        if (!fed) {
            return;
        }
    }
}

bool CMemoryCapture::FeedBytes(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    std::size_t left = std::size_t(bytes.size());
    while (left > 0) {
        {
            std::lock_guard lock(m_roomMutex);
            m_roomReady = false;
        }
        if (!m_queue->HasRoomOrWait(1)) {
            std::unique_lock lock(m_roomMutex);
            m_roomChanged.wait(lock, [this] { return m_roomReady || m_stopFeeding; });
            if (m_stopFeeding) {
                return false;
            }
            continue;
        }
        const std::size_t piece = std::min(left, m_queue->RoomBytes());
        if (!m_queue->Push(data, piece)) {
            return false;
        }
        m_backend->CaptureBytesTaken(piece);
        data += piece;
        left -= piece;
    }
    return true;
}

void CMemoryCapture::OnQueueRoom()
{
    {
        std::lock_guard lock(m_roomMutex);
        m_roomReady = true;
    }
    m_roomChanged.notify_all();
}

void CMemoryCapture::Stop()
{
    {
        std::lock_guard lock(m_roomMutex);
        m_stopFeeding = true;
    }
    m_roomChanged.notify_all();
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

std::vector<CaptureLoss> CMemoryCapture::Losses() const
{
    return m_queue->Losses();
}

std::uint64_t CMemoryCapture::LostBytes() const
{
    return m_queue->LostBytes();
}

QString CMemoryCapture::LastError() const
{
    return m_error;
}
