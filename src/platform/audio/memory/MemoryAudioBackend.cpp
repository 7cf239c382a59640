#include "platform/audio/memory/MemoryAudioBackend.h"

#include "platform/audio/CaptureQueue.h"
#include "platform/audio/memory/MemoryCapture.h"
#include "platform/audio/memory/MemoryPlayback.h"
#include "platform/audio/memory/MemoryRecordMixer.h"

#include <algorithm>

namespace
{
constexpr int kFullLevel = RecordMixer::kLevelMaximum;
} // namespace

CMemoryAudioBackend::CMemoryAudioBackend()
    : m_sources{Source{QStringLiteral("mic"), QStringLiteral("Memory Microphone"), {kFullLevel, kFullLevel}}}
    , m_defaultSource(QStringLiteral("mic"))
    , m_output{QStringLiteral("speakers"), QStringLiteral("Memory Speakers"), {kFullLevel, kFullLevel}}
{}

CMemoryAudioBackend::~CMemoryAudioBackend() = default;

std::unique_ptr<AudioCapture> CMemoryAudioBackend::CreateCapture()
{
    return std::make_unique<CMemoryCapture>(shared_from_this());
}

std::unique_ptr<AudioPlayback> CMemoryAudioBackend::CreatePlayback()
{
    return std::make_unique<CMemoryPlayback>(shared_from_this());
}

std::unique_ptr<RecordMixer> CMemoryAudioBackend::CreateRecordMixer()
{
    return std::make_unique<CMemoryRecordMixer>(shared_from_this());
}

void CMemoryAudioBackend::SetServerReachable(bool reachable)
{
    std::lock_guard lock(m_mutex);
    m_reachable = reachable;
}

// --- capture

void CMemoryAudioBackend::QueueCapture(const QByteArray& bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_captureScript.push_back(CaptureItem{bytes, 0, false});
        m_heldCaptureBytes += std::uint64_t(bytes.size());
    }
    m_changed.notify_all();
}

void CMemoryAudioBackend::QueueCaptureLoss(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_captureScript.push_back(CaptureItem{{}, bytes, false});
    }
    m_changed.notify_all();
}

void CMemoryAudioBackend::QueueVanish()
{
    {
        std::lock_guard lock(m_mutex);
        m_captureScript.push_back(CaptureItem{{}, 0, true});
    }
    m_changed.notify_all();
}

void CMemoryAudioBackend::SetCaptureOpenFails(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_captureOpenFails = fails;
}

bool CMemoryAudioBackend::CaptureDeviceAvailable() const
{
    std::lock_guard lock(m_mutex);
    return m_reachable && !m_sources.empty();
}

bool CMemoryAudioBackend::BeginCapture(const PcmFormat& format, std::size_t bufferBytes)
{
    std::lock_guard lock(m_mutex);
    if (!m_reachable || m_sources.empty() || m_captureOpenFails) {
        return false;
    }
    ++m_captureOpenCount;
    m_captureFormat = format;
    m_captureBufferBytes = bufferBytes;
    return true;
}

void CMemoryAudioBackend::RegisterCapture(const std::shared_ptr<CCaptureQueue>& queue)
{
    {
        std::lock_guard lock(m_mutex);
        m_activeCapture = queue;
        m_captureEnded = false;
    }
    m_changed.notify_all();
}

void CMemoryAudioBackend::UnregisterCapture(const std::shared_ptr<CCaptureQueue>& queue)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_activeCapture == queue) {
            m_activeCapture.reset();
            m_captureEnded = true;
        }
    }
    m_changed.notify_all();
}

bool CMemoryAudioBackend::TakeCaptureItem(CaptureItem& item, const std::atomic<bool>& stop)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return stop.load() || !m_captureScript.empty(); });
    if (stop) {
        return false;
    }
    item = std::move(m_captureScript.front());
    m_captureScript.pop_front();
    ++m_itemsInFlight;
    return true;
}

void CMemoryAudioBackend::CaptureItemDone()
{
    {
        std::lock_guard lock(m_mutex);
        --m_itemsInFlight;
    }
    m_changed.notify_all();
}

void CMemoryAudioBackend::CaptureBytesTaken(std::size_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_heldCaptureBytes -= std::min<std::uint64_t>(bytes, m_heldCaptureBytes);
}

std::uint64_t CMemoryAudioBackend::HeldCaptureBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_heldCaptureBytes;
}

void CMemoryAudioBackend::WakeCaptureFeeders()
{
    // Taking the lock orders the stop flag before the wake-up, so no feeder misses it.
    {
        std::lock_guard lock(m_mutex);
    }
    m_changed.notify_all();
}

bool CMemoryAudioBackend::WaitUntilCaptureIdle(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::shared_ptr<CCaptureQueue> queue;
    {
        std::unique_lock lock(m_mutex);
        const bool consumed = m_changed.wait_until(lock, deadline, [this] {
            return m_captureEnded || (m_activeCapture && m_captureScript.empty() && m_itemsInFlight == 0);
        });
        if (!consumed) {
            return false;
        }
        queue = m_activeCapture;
    }
    if (!queue) {
        return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return queue->WaitUntilIdle(std::max(left, std::chrono::milliseconds(0)));
}

int CMemoryAudioBackend::CaptureOpenCount() const
{
    std::lock_guard lock(m_mutex);
    return m_captureOpenCount;
}

bool CMemoryAudioBackend::CaptureRunning() const
{
    std::shared_ptr<CCaptureQueue> queue;
    {
        std::lock_guard lock(m_mutex);
        queue = m_activeCapture;
    }
    return queue && queue->IsRunning();
}

PcmFormat CMemoryAudioBackend::LastCaptureFormat() const
{
    std::lock_guard lock(m_mutex);
    return m_captureFormat;
}

std::size_t CMemoryAudioBackend::LastCaptureBufferBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_captureBufferBytes;
}

std::size_t CMemoryAudioBackend::PendingCaptureItems() const
{
    std::lock_guard lock(m_mutex);
    return m_captureScript.size();
}

// --- playback

void CMemoryAudioBackend::SetPlaybackOpenFails(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_playbackOpenFails = fails;
}

void CMemoryAudioBackend::SetPlaybackAutoPlay(bool autoPlay)
{
    std::lock_guard lock(m_mutex);
    m_autoPlay = autoPlay;
}

bool CMemoryAudioBackend::AutoPlay() const
{
    std::lock_guard lock(m_mutex);
    return m_autoPlay;
}

void CMemoryAudioBackend::AdvancePlayback(std::uint64_t bytes)
{
    std::vector<AudioPlayback::DrainedCallback> drained;
    {
        std::lock_guard lock(m_mutex);
        for (CMemoryPlayback* playback : m_playbacks) {
            if (auto callback = playback->Advance(bytes)) {
                drained.push_back(std::move(callback));
            }
        }
    }
    for (const auto& callback : drained) {
        callback();
    }
}

void CMemoryAudioBackend::VanishPlayback()
{
    std::lock_guard lock(m_mutex);
    for (CMemoryPlayback* playback : m_playbacks) {
        playback->MarkFailed();
    }
}

bool CMemoryAudioBackend::BeginPlayback(const PcmFormat& format, CMemoryPlayback* playback)
{
    std::lock_guard lock(m_mutex);
    if (!m_reachable || m_playbackOpenFails) {
        return false;
    }
    m_playbackFormat = format;
    if (std::find(m_playbacks.begin(), m_playbacks.end(), playback) == m_playbacks.end()) {
        m_playbacks.push_back(playback);
    }
    return true;
}

void CMemoryAudioBackend::EndPlayback(CMemoryPlayback* playback)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_playbacks, playback);
}

void CMemoryAudioBackend::RecordPlayed(const void* data, std::size_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_playbackData.append(static_cast<const char*>(data), static_cast<qsizetype>(bytes));
}

QByteArray CMemoryAudioBackend::PlaybackData() const
{
    std::lock_guard lock(m_mutex);
    return m_playbackData;
}

void CMemoryAudioBackend::ClearPlaybackData()
{
    std::lock_guard lock(m_mutex);
    m_playbackData.clear();
}

PcmFormat CMemoryAudioBackend::LastPlaybackFormat() const
{
    std::lock_guard lock(m_mutex);
    return m_playbackFormat;
}

// --- mixer

void CMemoryAudioBackend::SetSources(std::vector<Source> sources)
{
    std::lock_guard lock(m_mutex);
    m_sources = std::move(sources);
}

std::vector<CMemoryAudioBackend::Source> CMemoryAudioBackend::Sources() const
{
    std::lock_guard lock(m_mutex);
    return m_sources;
}

void CMemoryAudioBackend::SetDefaultSource(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_defaultSource = name;
}

QString CMemoryAudioBackend::DefaultSource() const
{
    std::lock_guard lock(m_mutex);
    return m_defaultSource;
}

void CMemoryAudioBackend::SetOutput(const Source& output)
{
    std::lock_guard lock(m_mutex);
    m_output = output;
}

CMemoryAudioBackend::Source CMemoryAudioBackend::Output() const
{
    std::lock_guard lock(m_mutex);
    return m_output;
}
