#include "record/RecordingController.h"

#include "app/RecordSettings.h"
#include "codec/InfoTagRepair.h"
#include "platform/AppEvent.h"
#include "record/LiveWaveform.h"
#include "record/RecordingMonitor.h"
#include "record/RecordingNames.h"
#include "record/RecordingSidecar.h"
#include "record/ScheduleCheck.h"
#include "record/WaveRecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace
{
constexpr int kMaxOutputPathAttempts = 100;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;
constexpr std::uint64_t kBytesPerSample16 = 2;
constexpr const char* kSameNameSeparator = "-";
// An end time seen this close after a recording began belongs to the window that just closed,
// not to the recording that took over from it.
constexpr qint64 kEndGraceSeconds = ScheduleCheck::kMatchBandSeconds - 1;

bool IsTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString CaptureFailedText(const QString& reason)
{
    return QStringLiteral("The recording stopped: %1.").arg(reason);
}

QString KeptText(const QString& recordedPath, const QString& reason)
{
    return QStringLiteral("The recording could not be filed and was kept as \"%1\". %2").arg(recordedPath, reason);
}
} // namespace

CRecordingController::CRecordingController(QObject* parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_scheduleTimer.setInterval(kScheduleTickMs);
    connect(&m_scheduleTimer, &QTimer::timeout, this, [this] { CheckSchedule(m_clock()); });
}

CRecordingController::~CRecordingController()
{
    m_scheduleTimer.stop();
    StopRecording(false, false);
}

void CRecordingController::SetFiledCallback(FiledCallback callback)
{
    m_filedCallback = std::move(callback);
}

void CRecordingController::SetClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

QString CRecordingController::OutputFolder() const
{
    // The output path is the save directory followed directly by the time, so it lands in the
    // folder the save directory's text ends in.
    const QString folder = RecordingNames::DirectoryPart(
        RecordingNames::OutputPath(CRecordSettings::Instance().SaveDirectory(), m_clock()));
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

RecordingFiler::FilingRules CRecordingController::Rules() const
{
    RecordingFiler::FilingRules rules;
    rules.trashShortRecordings = CRecordSettings::Instance().SilenceDetectorEnabled();
    return rules;
}

int CRecordingController::RecoverOrphanedRecordings()
{
    auto orphans = CRecordingSidecar::ClaimOrphans(OutputFolder());
    const int count = int(orphans.size());
    for (auto& orphan : orphans) {
        FileOrphan(std::move(orphan));
    }
    return count;
}

void CRecordingController::FileOrphan(std::unique_ptr<CRecordingSidecar> orphan)
{
    const QString recordedPath = orphan->RecordedPath();
    // The recording never reached Stop, where its tag frame would have been filled.
    CInfoTagRepair::FillFromFrames(recordedPath);
    const QString destination = RecordingNames::DestinationPath(recordedPath, orphan->RecordFileText());
    const auto result = RecordingFiler::FileRecording(recordedPath, destination, Rules());
    HandleFilingResult(result, orphan.get(), recordedPath, true);
}

void CRecordingController::HandleFilingResult(const RecordingFiler::FilingResult& result, CRecordingSidecar* sidecar,
                                              const QString& recordedPath, bool notify)
{
    using RecordingFiler::FilingOutcome;
    if (result.outcome == FilingOutcome::KeptUnderTemporaryName) {
        // The marker stays, so a later start tries again to file it.
        if (notify) {
            emit messageToShow(KeptText(recordedPath, result.reason));
        }
        return;
    }
    if (sidecar) {
        sidecar->Remove();
    }
    if (!notify) {
        return;
    }
    if (result.outcome == FilingOutcome::Filed) {
        if (m_filedCallback) {
            m_filedCallback(result.path);
        }
        emit recordingFiled(result.path);
    } else if (result.outcome == FilingOutcome::TrashedAsTooShort) {
        emit messageToShow(result.reason);
    }
}

// --- commands

void CRecordingController::Record()
{
    m_newFileCounter = 0;
    m_sessionCapturedMs = 0;
    m_startedByEntry = -1;
    const QString problem = RecordingNames::RecordFileTextProblem(m_recordFileText);
    if (!m_recorder && !problem.isEmpty()) {
        // Refused before anything records: the name could only fail at Stop or land outside
        // the save directory.
        emit messageToShow(QStringLiteral("The recording could not start: %1.").arg(problem));
        return;
    }
    if (!m_recorder) {
        // A new session: an old clip must not be taken for one of this recording. Continuation
        // files keep the meter as it is.
        m_peakMeter.Reset();
    }
    StartRecording();
}

QString CRecordingController::FreeOutputPath(const QString& wanted, std::unique_ptr<CRecordingSidecar>& sidecar)
{
    for (int attempt = 0; attempt < kMaxOutputPathAttempts; ++attempt) {
        const QString candidate =
            attempt == 0 ? wanted : wanted + QLatin1String(kSameNameSeparator) + QString::number(attempt + 1);
        const QString marker = CRecordingSidecar::PathFor(candidate);
        if (IsTaken(marker)) {
            // What an earlier run left unfinished under this minute's name is filed first.
            if (auto orphan = CRecordingSidecar::ClaimOrphan(candidate)) {
                FileOrphan(std::move(orphan));
            }
        }
        // Whatever still holds the name (a recording kept there, another Sorvane recording in
        // the same minute, a file of the user's) must not be overwritten by the engine.
        if (IsTaken(candidate) || IsTaken(marker)) {
            continue;
        }
        sidecar = CRecordingSidecar::Create(
            candidate, RecordingNames::RecordFileTextAtStart(m_recordFileText, candidate), m_format.samplesPerSec);
        if (sidecar || !IsTaken(marker)) {
            // Without a marker (a folder that takes no files) the engine finds out for itself.
            return candidate;
        }
    }
    return {};
}

void CRecordingController::StartRecording()
{
    if (m_recorder) {
        return;
    }
    emit recordingStarting();
    const CRecordSettings& settings = CRecordSettings::Instance();
    m_format = settings.Format();
    const QDateTime now = m_clock();
    const QString wanted = RecordingNames::OutputPath(settings.SaveDirectory(), now);
    std::unique_ptr<CRecordingSidecar> sidecar;
    const QString outputPath = FreeOutputPath(wanted, sidecar);
    if (outputPath.isEmpty()) {
        m_startFailureText = QStringLiteral("no free name for a recording at \"%1\"").arg(wanted);
        emit messageToShow(QStringLiteral("The recording could not start: %1.").arg(m_startFailureText));
        return;
    }

    m_outputPath = outputPath;
    m_sidecar = std::move(sidecar);
    m_recorder = std::make_unique<CWaveRecorder>();
    m_recorder->SetSourceName(m_captureSourceName);
    m_monitor = std::make_unique<CRecordingMonitor>(this, m_format, m_recorder.get());
    m_monitor->SetPeakMeter(&m_peakMeter);
    ApplyCaptureLimit();
    m_recorder->SetMonitor(m_monitor.get());
    m_recorder->SetFailureCallback([this] { CAppEvent::Post(this, kCaptureFailedEvent); });
    m_paused = false;
    m_lastCapturedMs = 0;
    m_recordingStartedAt = now;

    // As the window always did, a failed start still shows as a recording; Stop then files
    // whatever the encoder wrote. The reason is kept for those who want to tell.
    const bool started = m_recorder->Open(m_outputPath) && m_recorder->Start();
    m_startFailureText.clear();
    if (!started) {
        m_startFailureText = m_recorder->FailureText();
        if (m_startFailureText.isEmpty()) {
            m_startFailureText = QStringLiteral("the recording could not start");
        }
    }

    const QString text = RecordingNames::RecordFileTextAtStart(m_recordFileText, m_outputPath);
    if (text != m_recordFileText) {
        m_recordFileText = text;
        m_recordFileTextGenerated = true;
        emit recordFileTextChanged(m_recordFileText);
    }
    if (m_sidecar) {
        m_sidecar->UpdateRecordFileText(m_recordFileText);
    }
    m_elapsedText = QLatin1String(kIdleElapsedText);
    emit recordingStarted(m_outputPath);
    emit elapsedTextChanged(m_elapsedText);
}

void CRecordingController::ApplyCaptureLimit()
{
    if (m_captureLimitMs == 0) {
        return;
    }
    const std::uint64_t remainingMs =
        m_captureLimitMs > m_sessionCapturedMs ? m_captureLimitMs - m_sessionCapturedMs : 0;
    const std::uint64_t bytesPerSecond =
        std::uint64_t(m_format.samplesPerSec) * std::max<std::uint64_t>(m_format.channels, 1) * kBytesPerSample16;
    // At least one byte, so a session already over its limit stops at its first buffer.
    const std::uint64_t limitBytes = std::max<std::uint64_t>(remainingMs * bytesPerSecond / kMillisecondsPerSecond, 1);
    CWaveRecorder* recorder = m_recorder.get();
    m_monitor->SetCaptureLimit(limitBytes, [recorder] {
        // On the capture thread: from the next buffer on the encoder drops what arrives until
        // the Stop the monitor posts takes effect.
        if (!recorder->IsPaused()) {
            recorder->TogglePause();
        }
    });
}

void CRecordingController::TogglePause()
{
    if (!m_recorder) {
        return;
    }
    m_paused = m_recorder->TogglePause();
    emit pausedChanged(m_paused);
}

QString CRecordingController::PauseCaption() const
{
    return QLatin1String(m_paused ? kResumeCaption : kPauseCaption);
}

void CRecordingController::Stop()
{
    StopRecording(true, false);
}

void CRecordingController::StopRecording(bool notify, bool continuing)
{
    if (!m_recorder) {
        return;
    }
    // Detached first: no monitor call begins once stopping has started.
    m_recorder->SetMonitor(nullptr);
    m_recorder->Stop();
    QString recordedPath = m_recorder->OutputPath();
    if (recordedPath.isEmpty()) {
        recordedPath = m_outputPath;
    }
    m_lastCapturedMs = CapturedMilliseconds();
    m_sessionCapturedMs += m_lastCapturedMs;
    const bool capturedNothing = m_recorder->CapturedBytes() == 0;
    const QString lossText = m_recorder->LossText();
    // A failure after a good start ended the recording early (the device went, the disk
    // filled), even when the user's Stop came before the news of it.
    const QString failureText =
        m_startFailureText.isEmpty() && m_recorder->HasFailed() ? m_recorder->FailureText() : QString();
    m_recorder->Close();
    m_recorder->DestroyHandshake();
    m_recorder.reset();
    m_monitor.reset();
    // What the monitor posted about this recording is out of date now.
    DropMonitorEvents();

    const bool wasPaused = m_paused;
    m_paused = false;
    m_outputPath.clear();
    m_startedByEntry = -1;
    if (capturedNothing) {
        // No sound ever arrived (no device, a start that failed): the file holds only what the
        // encoder makes of nothing, and filing it could only push an earlier file out of its name.
        DiscardEmptyRecording(recordedPath);
    } else {
        FileFinishedRecording(recordedPath, notify);
    }

    if (m_recordFileTextGenerated && !continuing) {
        // The name was made for that recording alone; the next one gets a name of its own time.
        m_recordFileTextGenerated = false;
        m_recordFileText.clear();
        if (notify) {
            emit recordFileTextChanged(m_recordFileText);
        }
    }

    if (notify) {
        if (!failureText.isEmpty()) {
            emit messageToShow(CaptureFailedText(failureText));
        }
        if (!capturedNothing && !lossText.isEmpty()) {
            emit soundLost(lossText);
        }
        if (wasPaused) {
            emit pausedChanged(false);
        }
        emit recordingStopped();
        emit waveformChanged();
    }
}

void CRecordingController::DiscardEmptyRecording(const QString& recordedPath)
{
    const std::unique_ptr<CRecordingSidecar> sidecar = std::move(m_sidecar);
    QFile::remove(recordedPath);
    if (sidecar) {
        sidecar->Remove();
    }
}

void CRecordingController::FileFinishedRecording(const QString& recordedPath, bool notify)
{
    const std::unique_ptr<CRecordingSidecar> sidecar = std::move(m_sidecar);
    const QString destination = RecordingNames::DestinationPath(recordedPath, m_recordFileText);
    const auto result = RecordingFiler::FileRecording(recordedPath, destination, Rules());
    HandleFilingResult(result, sidecar.get(), recordedPath, notify);
}

void CRecordingController::ContinueInNewFile()
{
    // Only a running recording continues; a request that arrives after a Stop is stale.
    if (!m_recorder) {
        return;
    }
    StopRecording(true, true);
    m_recordFileText = RecordingNames::ContinuationText(m_recordFileText, m_newFileCounter);
    emit recordFileTextChanged(m_recordFileText);
    ++m_newFileCounter;
    StartRecording();
}

void CRecordingController::SetRecordFileText(const QString& text)
{
    if (text == m_recordFileText) {
        return;
    }
    m_recordFileText = text;
    m_recordFileTextGenerated = false;
    if (m_sidecar) {
        m_sidecar->UpdateRecordFileText(text);
    }
    emit recordFileTextChanged(m_recordFileText);
}

// --- display

std::uint64_t CRecordingController::CapturedMilliseconds() const
{
    if (!m_recorder) {
        return m_lastCapturedMs;
    }
    const std::uint64_t bytesPerSecond =
        std::uint64_t(m_format.samplesPerSec) * std::max<std::uint64_t>(m_format.channels, 1) * kBytesPerSample16;
    return bytesPerSecond == 0 ? 0
                               : std::uint64_t(m_recorder->CapturedBytes()) * kMillisecondsPerSecond / bytesPerSecond;
}

std::vector<QPoint> CRecordingController::WaveformPolyline(const QRect& area) const
{
    if (!m_recorder) {
        return {};
    }
    std::vector<std::uint8_t> window;
    m_recorder->CopyRecentWindow(window);
    // The part not captured yet shows as silence, as in the zeroed window of a new engine.
    window.resize(std::size_t(CWaveRecorder::RecentCapacity()), 0);
    return LiveWaveform::Polyline(window.data(), window.size(), m_format.channels, area);
}

void CRecordingController::UpdateDisplay(bool repaint)
{
    if (!m_recorder) {
        return;
    }
    const QString text = m_recorder->ElapsedText();
    if (text != m_elapsedText) {
        m_elapsedText = text;
        emit elapsedTextChanged(m_elapsedText);
    }
    if (repaint) {
        emit waveformChanged();
    }
}

void CRecordingController::OnCaptureFailed()
{
    if (!m_recorder) {
        return;
    }
    StopRecording(true, false);
}

void CRecordingController::DropMonitorEvents()
{
    QCoreApplication::removePostedEvents(this, AppEventType::kSilenceNewFile);
    QCoreApplication::removePostedEvents(this, AppEventType::kCommand);
    QCoreApplication::removePostedEvents(this, CRecordingMonitor::kDisplayEvent);
    QCoreApplication::removePostedEvents(this, kCaptureFailedEvent);
}

bool CRecordingController::event(QEvent* event)
{
    const int type = int(event->type());
    const auto* appEvent = dynamic_cast<const CAppEvent*>(event);
    if (type == AppEventType::kSilenceNewFile) {
        ContinueInNewFile();
        return true;
    }
    if (type == AppEventType::kCommand && appEvent) {
        if (appEvent->WParam() == kStopCommandId) {
            Stop();
        }
        return true;
    }
    if (type == CRecordingMonitor::kDisplayEvent) {
        UpdateDisplay(appEvent && appEvent->WParam() != 0);
        return true;
    }
    if (type == kCaptureFailedEvent) {
        OnCaptureFailed();
        return true;
    }
    return QObject::event(event);
}

// --- schedule

void CRecordingController::SetScheduleActive(bool active)
{
    if (active) {
        if (!m_scheduleTimer.isActive()) {
            m_scheduleCatchUpPending = true;
        }
        m_scheduleTimer.start();
    } else {
        m_scheduleCatchUpPending = false;
        m_scheduleTimer.stop();
    }
}

int CRecordingController::StartingEntry(const QDateTime& now) const
{
    const std::vector<ScheduleEntry>& entries = CRecordSettings::Instance().Schedule();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QTime nowTime = now.toTimeZone(zone).time();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (std::abs(ScheduleCheck::Distance(entries[i].start, nowTime, zone)) < ScheduleCheck::kMatchBandSeconds) {
            return int(i);
        }
    }
    return -1;
}

bool CRecordingController::ScheduledEndDue(const QDateTime& now) const
{
    if (!m_recorder) {
        return false;
    }
    const std::vector<ScheduleEntry>& entries = CRecordSettings::Instance().Schedule();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QTime nowTime = now.toTimeZone(zone).time();
    const qint64 startedAt = m_recordingStartedAt.toSecsSinceEpoch();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int distance = ScheduleCheck::Distance(entries[i].end, nowTime, zone);
        if (std::abs(distance) >= ScheduleCheck::kMatchBandSeconds) {
            continue;
        }
        // When one window ends as the next begins, the old window's end is still in sight for
        // a tick or two after the new recording began; it must not stop that recording.
        const qint64 endsAt = now.toSecsSinceEpoch() + distance;
        if (int(i) == m_startedByEntry || endsAt > startedAt + kEndGraceSeconds) {
            return true;
        }
    }
    return false;
}

void CRecordingController::StartScheduled(int entry, const QDateTime& now)
{
    emit scheduledStartDue();
    Record();
    if (m_recorder) {
        m_startedByEntry = entry;
        m_recordingStartedAt = now;
    }
}

void CRecordingController::CheckSchedule(const QDateTime& now)
{
    const bool catchUp = std::exchange(m_scheduleCatchUpPending, false);
    int startingEntry = StartingEntry(now);
    if (startingEntry < 0 && catchUp && !m_recorder) {
        // Only on the first check: a recording the user stops inside a window stays stopped.
        startingEntry =
            ScheduleCheck::RunningWindow(CRecordSettings::Instance().Schedule(), now, QTimeZone::systemTimeZone());
    }
    if (ScheduledEndDue(now)) {
        emit scheduledStopDue();
        Stop();
        // A window that begins as another ends gets a fresh recording of its own.
        if (startingEntry >= 0) {
            StartScheduled(startingEntry, now);
        }
    } else if (startingEntry >= 0 && !m_recorder) {
        StartScheduled(startingEntry, now);
    } else {
        return;
    }
    // A window whose end meets its own start stops at once, as it always did.
    if (ScheduledEndDue(now)) {
        emit scheduledStopDue();
        Stop();
    }
}
