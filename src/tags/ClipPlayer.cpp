#include "tags/ClipPlayer.h"

#include "codec/MediaLength.h"
#include "platform/AppEvent.h"
#include "platform/audio/AudioBackend.h"
#include "tags/Mp3ClipSource.h"
#include "tags/WaveClipSource.h"

#include <QFile>
#include <QTimerEvent>
#include <algorithm>
#include <array>
#include <cstring>

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr qint64 kRiffHeaderSize = 12;
constexpr int kRiffTypeOffset = 8;

std::atomic<std::intptr_t> g_nextWindowId{1};

// WAV files are known by their RIFF header, whatever their name says; anything else is tried
// as MP3.
bool LooksLikeWave(const QString& path)
{
    QFile file(path);
    std::array<char, kRiffHeaderSize> header{};
    return file.open(QIODevice::ReadOnly) && file.read(header.data(), kRiffHeaderSize) == kRiffHeaderSize &&
           std::memcmp(header.data(), "RIFF", 4) == 0 && std::memcmp(header.data() + kRiffTypeOffset, "WAVE", 4) == 0;
}
} // namespace

CClipPlayer::CClipPlayer(const QString& fileName, QObject* parentWindow)
    : m_fileName(fileName)
    , m_parentWindow(parentWindow)
{}

CClipPlayer::~CClipPlayer()
{
    Close();
}

std::int64_t CClipPlayer::QueryLength(const QString& fileName)
{
    return CMediaLength::QueryLength(fileName);
}

std::unique_ptr<CClipSource> CClipPlayer::OpenSource() const
{
    if (m_fileName.isEmpty()) {
        return nullptr;
    }
    if (LooksLikeWave(m_fileName)) {
        auto wave = std::make_unique<CWaveClipSource>();
        return wave->Load(m_fileName) ? std::move(wave) : nullptr;
    }
    auto mp3 = std::make_unique<CMp3ClipSource>();
    return mp3->Load(m_fileName) ? std::move(mp3) : nullptr;
}

bool CClipPlayer::Open()
{
    Close();
    auto source = OpenSource();
    if (!source) {
        return false;
    }
    auto playback = AudioBackend::Current()->CreatePlayback();
    if (!playback || !playback->Open(source->Format())) {
        return false;
    }
    m_source = std::move(source);
    m_playback = std::move(playback);
    m_lengthMs = CMediaLength::QueryLength(m_fileName);
    m_basePositionMs = 0;
    m_lastPostedPosition = -1;
    m_paused = 0;
    // Opening is no change of mode a parent waits for: a stop report here would look like the
    // end of the media.
    m_mode = kModeStopped;
    m_windowId = g_nextWindowId++;
    m_positionTimer = startTimer(kPositionInterval);
    return true;
}

bool CClipPlayer::Play()
{
    if (!IsOpen() && !Open()) {
        return false;
    }
    m_paused = 0;
    if (m_mode == kModePaused) {
        m_playback->Resume();
        SetMode(kModePlaying);
    } else if (m_mode == kModeStopped) {
        StartFeeding(m_basePositionMs >= m_lengthMs ? 0 : m_basePositionMs);
    }
    return true;
}

void CClipPlayer::PlayFrom(std::int64_t positionMs)
{
    if (!IsOpen()) {
        return;
    }
    m_paused = 0;
    StartFeeding(std::clamp<std::int64_t>(positionMs, 0, m_lengthMs));
}

void CClipPlayer::SeekStart()
{
    Seek(0);
}

void CClipPlayer::SeekEnd()
{
    Seek(m_lengthMs);
}

void CClipPlayer::Seek(std::int64_t positionMs)
{
    if (!IsOpen()) {
        return;
    }
    StopFeeding();
    m_basePositionMs = std::clamp<std::int64_t>(positionMs, 0, m_lengthMs);
    SetMode(kModeStopped);
}

void CClipPlayer::TogglePause()
{
    if (!IsOpen()) {
        return;
    }
    if (m_paused != 0) {
        if (m_mode == kModePaused) {
            m_playback->Resume();
            SetMode(kModePlaying);
        }
        m_paused = 0;
    } else {
        if (m_mode == kModePlaying) {
            m_playback->Pause();
            SetMode(kModePaused);
        }
        m_paused = 1;
    }
}

void CClipPlayer::Close()
{
    if (!IsOpen()) {
        return;
    }
    if (m_feeder.joinable()) {
        m_stopFeeding = true;
        // Closing the output releases a writer blocked on it.
        m_playback->Close();
        m_feeder.join();
        m_stopFeeding = false;
    }
    m_playback->Close();
    m_playback.reset();
    m_source.reset();
    killTimer(m_positionTimer);
    m_positionTimer = 0;
    ++m_generation;
    m_mode = kModeNotReady;
    m_paused = 0;
    m_windowId = 0;
    m_lengthMs = 0;
    m_basePositionMs = 0;
}

std::int64_t CClipPlayer::GetPosition() const
{
    if (!IsOpen()) {
        return 0;
    }
    if (m_mode != kModePlaying && m_mode != kModePaused) {
        return m_basePositionMs;
    }
    const auto bytesPerSecond = static_cast<std::int64_t>(m_source->Format().BytesPerSecond());
    const auto played = static_cast<std::int64_t>(m_playback->PlayedBytes());
    return m_basePositionMs + played * kMillisecondsPerSecond / bytesPerSecond;
}

void CClipPlayer::StartFeeding(std::int64_t startMs)
{
    StopFeeding();
    if (m_playback->IsPaused()) {
        m_playback->Resume();
    }
    m_basePositionMs = startMs;
    const unsigned generation = m_generation;
    CClipSource* source = m_source.get();
    AudioPlayback* playback = m_playback.get();
    m_feeder = std::thread([this, source, playback, startMs, generation] {
        source->Run(startMs, [this, playback](const std::uint8_t* pcm, std::size_t bytes) {
            return !m_stopFeeding && playback->Write(pcm, bytes);
        });
        if (!m_stopFeeding) {
            QMetaObject::invokeMethod(
                this, [this, generation] { OnFeedEnded(generation); }, Qt::QueuedConnection);
        }
    });
    SetMode(kModePlaying);
}

void CClipPlayer::StopFeeding()
{
    if (m_feeder.joinable()) {
        m_stopFeeding = true;
        // Flushing releases a writer blocked on a full or paused output.
        m_playback->Flush();
        m_feeder.join();
        m_stopFeeding = false;
    }
    // Also what a writer slipped in after the flush above, or what an ended run left counted.
    if (m_playback->WrittenBytes() > 0) {
        m_playback->Flush();
    }
    ++m_generation;
}

void CClipPlayer::OnFeedEnded(unsigned generation)
{
    if (generation != m_generation || !IsOpen()) {
        return;
    }
    // The drained callback runs on a sound-system thread; it only hands the news over.
    const bool draining = !m_playback->HasFailed() && m_playback->Drain([this, generation] {
        QMetaObject::invokeMethod(
            this, [this, generation] { OnDrained(generation); }, Qt::QueuedConnection);
    });
    if (!draining) {
        OnDrained(generation);
    }
}

void CClipPlayer::OnDrained(unsigned generation)
{
    if (generation != m_generation || !IsOpen()) {
        return;
    }
    if (m_feeder.joinable()) {
        m_feeder.join(); // it has finished already
    }
    // A device that failed stops where it was; otherwise the whole file was heard.
    m_basePositionMs = m_playback->HasFailed() ? GetPosition() : m_lengthMs;
    PostPosition(m_basePositionMs);
    SetMode(kModeStopped);
}

void CClipPlayer::SetMode(int mode)
{
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    CAppEvent::Post(m_parentWindow.data(), AppEventType::kClipMode, m_windowId, mode);
}

void CClipPlayer::PostPosition(std::int64_t positionMs)
{
    m_lastPostedPosition = positionMs;
    CAppEvent::Post(m_parentWindow.data(), AppEventType::kClipPosition, m_windowId,
                    static_cast<std::intptr_t>(positionMs));
}

void CClipPlayer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_positionTimer) {
        QObject::timerEvent(event);
        return;
    }
    const std::int64_t position = GetPosition();
    if (position != m_lastPostedPosition) {
        PostPosition(position);
    }
}
