#include "record/InputLevelPreview.h"

#include "platform/audio/AudioBackend.h"
#include "record/PeakMeter.h"

#include <algorithm>

CInputLevelPreview::CInputLevelPreview(CPeakMeter& meter)
    : m_meter(meter)
{}

CInputLevelPreview::~CInputLevelPreview()
{
    Stop();
}

bool CInputLevelPreview::Start(const RecordFormat& format, const QString& sourceName)
{
    Stop();
    const std::shared_ptr<AudioBackend> backend = AudioBackend::Current();
    std::unique_ptr<AudioCapture> capture = backend ? backend->CreateCapture() : nullptr;
    if (!capture) {
        return false;
    }
    capture->SetSourceName(sourceName);
    if (!capture->DeviceAvailable()) {
        return false;
    }
    const PcmFormat pcm = PcmFormat::Pcm16(format.channels, format.samplesPerSec);
    if (!pcm.IsValid()) {
        return false;
    }
    const std::size_t blockAlign = pcm.BlockAlign();
    const std::size_t bufferBytes =
        std::max<std::size_t>(pcm.BytesPerSecond() / kBuffersPerSecond / blockAlign, 1) * blockAlign;
    m_channels = pcm.channels;
    m_deviceLost = false;
    const int channels = m_channels;
    CPeakMeter* meter = &m_meter;
    const bool opened = capture->Open(
        pcm, bufferBytes,
        [meter, channels](const std::uint8_t* data, std::size_t bytes) {
            meter->Feed(reinterpret_cast<const std::int16_t*>(data), bytes, channels);
        },
        [this] { m_deviceLost = true; });
    if (!opened || !capture->Start()) {
        capture->Close();
        return false;
    }
    m_capture = std::move(capture);
    return true;
}

void CInputLevelPreview::Stop()
{
    if (m_capture) {
        m_capture->Stop();
        m_capture->Close();
        m_capture.reset();
    }
}

bool CInputLevelPreview::IsRunning() const
{
    return m_capture != nullptr && !m_deviceLost;
}
