#pragma once

#include "codec/RecordFormat.h"
#include "record/PeakMeter.h"
#include "record/RecordingFiler.h"

#include <QDateTime>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CRecordingMonitor;
class CRecordingSidecar;
class CWaveRecorder;

// Record, Pause, Stop and the continuation files of long silences, as engine code: names the
// files, files each finished one under the "Record File" text, and keeps what the window shows
// (state, Pause caption, elapsed time, live waveform) and the daily schedule.
//
// It lives on the thread that created it (the UI thread, or the CLI's main thread) and needs
// that thread's event loop: the capture thread reaches it only through posted events (0x500
// for a new file, the Stop command 1005, display updates and capture failures).
//
// Owners connect their signals and set the filing callback, then call
// RecoverOrphanedRecordings once, so recordings a crash left behind reach the list too.
class CRecordingController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStopCommandId = 1005;
    static constexpr int kScheduleTickMs = 1000;
    // Posted by the capture thread when the recording cannot go on (device lost, disk full).
    static constexpr int kCaptureFailedEvent = 0x5A1;
    static constexpr const char* kPauseCaption = "Pause";
    static constexpr const char* kResumeCaption = "Resume";
    static constexpr const char* kIdleElapsedText = "00 : 00";

    // Gets each filed recording's path, for the recordings list.
    using FiledCallback = std::function<void(const QString& path)>;
    using Clock = std::function<QDateTime()>;

    explicit CRecordingController(QObject* parent = nullptr);
    // Stops and files a running recording without telling anyone: owners that want the file
    // listed call Stop first.
    ~CRecordingController() override;

    void SetFiledCallback(FiledCallback callback);
    // Local time for names and the schedule; tests fix it.
    void SetClock(Clock clock);

    // Files every orphaned recording of the save directory (see CRecordingSidecar); returns
    // how many were found.
    int RecoverOrphanedRecordings();

    // --- commands
    // NewFileCounter = 0, then start; refused with a message when the "Record File" text has a
    // folder part or is too long for a file name.
    void Record();
    void TogglePause();
    void Stop();
    void ContinueInNewFile();

    // --- what the window shows
    bool IsRecording() const { return m_recorder != nullptr; }
    bool IsPaused() const { return m_paused; }
    QString PauseCaption() const;
    QString ElapsedText() const { return m_elapsedText; }
    // Captured time of the running recording, or of the last one once it stopped; paused time
    // included, as in the elapsed text.
    std::uint64_t CapturedMilliseconds() const;
    // The live waveform over `area`; empty when idle (the view is then plain black).
    std::vector<QPoint> WaveformPolyline(const QRect& area) const;
    // The input level of the running recording, fed from the capture thread; poll it from
    // this object's thread.
    CPeakMeter& PeakMeter() { return m_peakMeter; }
    QString RecordFileText() const { return m_recordFileText; }
    // The user edited the "Record File" box; a running recording will be filed under it.
    void SetRecordFileText(const QString& text);
    int NewFileCounter() const { return m_newFileCounter; }
    // Where the engine writes the running recording (no extension); empty when idle.
    QString RecordingPath() const { return m_outputPath; }
    // Why the running recording could not start (no sound device, no encoder, file not
    // created); empty when it started. The recording still shows as running until Stop.
    QString StartFailureText() const { return m_startFailureText; }

    // Ends the recording once this much sound was captured since Record, continuation files
    // included (paused time counts, as in the elapsed time); the files hold nothing past it.
    // 0 lifts the limit. Takes effect from the next Record.
    void SetCaptureLimit(std::uint64_t milliseconds) { m_captureLimitMs = milliseconds; }
    // Records from the capture source of this name (the sound system's name) rather than the
    // selected one, which stays selected; empty for the selected one. From the next Record on.
    void SetCaptureSourceName(const QString& name) { m_captureSourceName = name; }

    // --- schedule
    // Runs the schedule check once a second while on. The first check after it is turned on
    // also starts a window already under way (the program started, or restarted after a crash,
    // inside it), which then records for the rest of that window.
    void SetScheduleActive(bool active);
    bool IsScheduleActive() const { return m_scheduleTimer.isActive(); }
    // One tick of the schedule check at `now`.
    void CheckSchedule(const QDateTime& now);

signals:
    // A recording is about to start: by Record, the schedule or a continuation file.
    void recordingStarting();
    void recordingStarted(const QString& recordingPath);
    void recordingStopped();
    void pausedChanged(bool paused);
    void elapsedTextChanged(const QString& text);
    void waveformChanged();
    void recordFileTextChanged(const QString& text);
    void recordingFiled(const QString& path);
    // A message the user must see (a recording stopped by a failure, one kept under its
    // temporary name).
    void messageToShow(const QString& text);
    // The recording just stopped lost sound on its way from the device and holds silence in its
    // place: "2.5 s of sound were lost at 01:07". The file itself was filed as usual.
    void soundLost(const QString& text);
    // The schedule is about to start a recording.
    void scheduledStartDue();
    // The schedule is about to stop the running recording.
    void scheduledStopDue();

protected:
    bool event(QEvent* event) override;

private:
    void StartRecording();
    void ApplyCaptureLimit();
    QString FreeOutputPath(const QString& wanted, std::unique_ptr<CRecordingSidecar>& sidecar);
    // notify: report the outcome through the callback and the signals. continuing: a
    // continuation file follows under a name made from this one.
    void StopRecording(bool notify, bool continuing);
    void DiscardEmptyRecording(const QString& recordedPath);
    void FileFinishedRecording(const QString& recordedPath, bool notify);
    void HandleFilingResult(const RecordingFiler::FilingResult& result, CRecordingSidecar* sidecar,
                            const QString& recordedPath, bool notify);
    RecordingFiler::FilingRules Rules() const;
    void DropMonitorEvents();
    void UpdateDisplay(bool repaint);
    void OnCaptureFailed();
    void FileOrphan(std::unique_ptr<CRecordingSidecar> orphan);
    QString OutputFolder() const;
    int StartingEntry(const QDateTime& now) const;
    bool ScheduledEndDue(const QDateTime& now) const;
    void StartScheduled(int entry, const QDateTime& now);

    // Before the recorder: the engine's monitor feeds it until the recorder is gone.
    CPeakMeter m_peakMeter;
    std::unique_ptr<CWaveRecorder> m_recorder;
    std::unique_ptr<CRecordingMonitor> m_monitor;
    std::unique_ptr<CRecordingSidecar> m_sidecar;
    RecordFormat m_format;
    QString m_outputPath;
    QString m_recordFileText;
    // The text is the name Sorvane made for the running recording, not one the user gave.
    bool m_recordFileTextGenerated = false;
    int m_newFileCounter = 0;
    bool m_paused = false;
    QString m_elapsedText = QLatin1String(kIdleElapsedText);
    std::uint64_t m_lastCapturedMs = 0;
    std::uint64_t m_captureLimitMs = 0;
    QString m_captureSourceName;
    // Captured time of the finished files since Record, for the capture limit.
    std::uint64_t m_sessionCapturedMs = 0;
    QString m_startFailureText;
    // When the running recording began, to the second; the schedule needs it.
    QDateTime m_recordingStartedAt;
    // The schedule entry whose start began the running recording; -1 when started otherwise.
    int m_startedByEntry = -1;
    // The next schedule check is the first since the check was turned on.
    bool m_scheduleCatchUpPending = false;

    FiledCallback m_filedCallback;
    Clock m_clock;
    QTimer m_scheduleTimer;
};
