#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

class AudioPlayback;
class CClipSource;

// Plays, pauses, seeks and measures one media file (MP3 or WAV) on the default output. A
// feeding thread of its own decodes the file and writes it to the output, which paces it; the
// position comes from what the output has played. Mode changes and positions are posted to the
// parent window as CAppEvents kClipMode (lParam = new mode) and kClipPosition (lParam = ms);
// wParam is the player's WindowId(), so a parent can tell the current player's reports from
// those of one it has already closed.
//
// All calls come from the thread the player lives on (the window thread), whose event loop
// also carries the player's own timer and the feeding thread's reports back to it.
class CClipPlayer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kModeNotReady = 524; // closed
    static constexpr int kModeStopped = 525;
    static constexpr int kModePlaying = 526;
    static constexpr int kModePaused = 529;
    // How often the position is reported while it moves.
    static constexpr std::chrono::milliseconds kPositionInterval{200};

    explicit CClipPlayer(const QString& fileName = QString(), QObject* parentWindow = nullptr);
    ~CClipPlayer() override;
    CClipPlayer(const CClipPlayer&) = delete;
    CClipPlayer& operator=(const CClipPlayer&) = delete;

    // Takes effect at the next Open.
    void SetFile(const QString& fileName) { m_fileName = fileName; }
    void SetParentWindow(QObject* parentWindow) { m_parentWindow = parentWindow; }

    // Closes, then opens the file and the output, stopped at the start. False when the file
    // cannot be read or played, or no output is there; the player then stays closed.
    bool Open();
    // Opens when closed; then plays on from the position (from the start when stopped at the
    // end) and clears the paused flag.
    bool Play();
    // The rest do nothing while closed.
    void PlayFrom(std::int64_t positionMs);
    // Stops and moves to the start or the end.
    void SeekStart();
    void SeekEnd();
    void TogglePause();
    void Close();

    // Exact length of the open file in ms; 0 when closed.
    std::int64_t GetLength() const { return IsOpen() ? m_lengthMs : 0; }
    std::int64_t GetPosition() const;
    int Mode() const { return m_mode; }
    bool IsOpen() const { return m_source != nullptr; }
    bool IsPaused() const { return m_paused; }
    // Names the open session in the reports; 0 when closed. Never reused within a process.
    std::intptr_t WindowId() const { return m_windowId; }

    // A file's exact playing time in ms without playing it; 0 when it cannot be read.
    static std::int64_t QueryLength(const QString& fileName);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::unique_ptr<CClipSource> OpenSource() const;
    void StartFeeding(std::int64_t startMs);
    // Stops the feeding thread and throws away whatever it queued; the position stays.
    void StopFeeding();
    void Seek(std::int64_t positionMs);
    void OnFeedEnded(unsigned generation);
    void OnDrained(unsigned generation);
    void SetMode(int mode);
    void PostPosition(std::int64_t positionMs);

    QString m_fileName;
    QPointer<QObject> m_parentWindow;
    std::unique_ptr<CClipSource> m_source;
    std::unique_ptr<AudioPlayback> m_playback;
    std::thread m_feeder;
    std::atomic<bool> m_stopFeeding{false};
    // Moves on whenever a feeding run starts or is stopped, so late reports of an earlier run
    // are recognised and dropped.
    unsigned m_generation = 0;
    std::int64_t m_lengthMs = 0;
    // Where the current run started, or where the player rests when not playing.
    std::int64_t m_basePositionMs = 0;
    std::int64_t m_lastPostedPosition = -1;
    int m_mode = kModeNotReady;
    int m_paused = 0;
    int m_positionTimer = 0;
    std::intptr_t m_windowId = 0;
};
