#pragma once

#include "platform/audio/AudioBackend.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CCaptureQueue;
class CMemoryPlayback;

// A sound card in memory for engine tests. Capture delivers exactly the bytes a test scripted,
// in order, cut into the engine's buffer size on a capture thread, as fast as the engine takes
// them: no clock is involved, so results never depend on timing. With nothing scripted the
// device stalls (delivers nothing, like a silent pipe) until more is queued; a scripted vanish
// ends capture with the device-lost notification once everything before it was delivered.
// Playback records what was written; the mixer is a list of sources with levels.
//
// Install it with AudioBackend::Install (or CScopedAudioBackend) and script it from the test.
class CMemoryAudioBackend : public AudioBackend, public std::enable_shared_from_this<CMemoryAudioBackend>
{
public:
    static constexpr std::chrono::milliseconds kIdleWait{10000};

    struct Source
    {
        QString name;
        QString description;
        std::vector<int> channelLevels; // 0..65535 per channel
    };

    // Starts with one stereo source "mic" (selected) and stereo speakers, all at full level.
    CMemoryAudioBackend();
    ~CMemoryAudioBackend() override;

    std::unique_ptr<AudioCapture> CreateCapture() override;
    std::unique_ptr<AudioPlayback> CreatePlayback() override;
    std::unique_ptr<RecordMixer> CreateRecordMixer() override;

    // --- the sound server as a whole
    // An unreachable server: no device for capture or playback, and every mixer call fails.
    void SetServerReachable(bool reachable);

    // --- capture script
    void QueueCapture(const QByteArray& bytes);
    // The card overran here: this much sound never reaches the capture, which stands silence in.
    void QueueCaptureLoss(std::size_t bytes);
    void QueueVanish();
    // The device exists but refuses to open (busy).
    void SetCaptureOpenFails(bool fails);
    // Waits until everything scripted so far was delivered to a running capture and its buffer
    // callback returned, or the capture ended; false on time-out (a hang guard, not a clock).
    bool WaitUntilCaptureIdle(std::chrono::milliseconds timeout = kIdleWait);
    int CaptureOpenCount() const;
    bool CaptureRunning() const;
    PcmFormat LastCaptureFormat() const;
    std::size_t LastCaptureBufferBytes() const;
    std::size_t PendingCaptureItems() const;
    // Scripted sound the capture has not taken yet: what waits with the card for room.
    std::uint64_t HeldCaptureBytes() const;

    // --- playback
    void SetPlaybackOpenFails(bool fails);
    // On (the default): written sound counts as played at once, unless paused. Off: only
    // AdvancePlayback plays it.
    void SetPlaybackAutoPlay(bool autoPlay);
    void AdvancePlayback(std::uint64_t bytes);
    // Every open playback fails: writes fail from now on.
    void VanishPlayback();
    QByteArray PlaybackData() const;
    void ClearPlaybackData();
    PcmFormat LastPlaybackFormat() const;

    // --- mixer
    void SetSources(std::vector<Source> sources);
    std::vector<Source> Sources() const;
    void SetDefaultSource(const QString& name);
    QString DefaultSource() const;
    void SetOutput(const Source& output);
    Source Output() const;

private:
    friend class CMemoryCapture;
    friend class CMemoryPlayback;
    friend class CMemoryRecordMixer;

    struct CaptureItem
    {
        QByteArray bytes;
        std::size_t lostBytes = 0;
        bool vanish = false;
    };

    bool CaptureDeviceAvailable() const;
    bool BeginCapture(const PcmFormat& format, std::size_t bufferBytes);
    void RegisterCapture(const std::shared_ptr<CCaptureQueue>& queue);
    void UnregisterCapture(const std::shared_ptr<CCaptureQueue>& queue);
    // Waits for the next scripted item; false once `stop` is set (checked on WakeCaptureFeeders).
    bool TakeCaptureItem(CaptureItem& item, const std::atomic<bool>& stop);
    void CaptureItemDone();
    void CaptureBytesTaken(std::size_t bytes);
    void WakeCaptureFeeders();

    bool BeginPlayback(const PcmFormat& format, CMemoryPlayback* playback);
    void EndPlayback(CMemoryPlayback* playback);
    void RecordPlayed(const void* data, std::size_t bytes);
    bool AutoPlay() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reachable = true;

    std::deque<CaptureItem> m_captureScript;
    int m_itemsInFlight = 0;
    std::uint64_t m_heldCaptureBytes = 0;
    bool m_captureOpenFails = false;
    int m_captureOpenCount = 0;
    PcmFormat m_captureFormat;
    std::size_t m_captureBufferBytes = 0;
    std::shared_ptr<CCaptureQueue> m_activeCapture; // the started capture, until it stops
    bool m_captureEnded = false;

    bool m_playbackOpenFails = false;
    bool m_autoPlay = true;
    QByteArray m_playbackData;
    PcmFormat m_playbackFormat;
    std::vector<CMemoryPlayback*> m_playbacks;

    std::vector<Source> m_sources;
    QString m_defaultSource;
    Source m_output;
};
