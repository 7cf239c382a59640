#include "cli/CliRecordingSession.h"

#include "cli/CliOutput.h"
#include "cli/StopSignalNotifier.h"
#include "platform/audio/AudioBackend.h"
#include "record/MixerState.h"

#include <QFileInfo>
#include <QTimer>
#include <unistd.h>

namespace
{
constexpr double kMsPerSecond = 1000.0;

void PrintLine(const QString& text)
{
    CCliOutput::Notice(text);
}

void PrintError(const QString& text)
{
    CCliOutput::Error(text);
}
} // namespace

CCliRecordingSession::CCliRecordingSession()
    : m_elapsedAsLines(::isatty(STDOUT_FILENO) == 0)
{
    // Ctrl+C, SIGTERM and SIGHUP end the session as the Stop command would: the recording under
    // way is finished and filed first.
    m_signals = std::make_unique<CStopSignalNotifier>([this](int) {
        m_stoppedBySignal = true;
        m_controller.SetScheduleActive(false);
        m_controller.Stop();
        Quit();
    });

    CRecordingController* controller = &m_controller;
    QObject::connect(controller, &CRecordingController::recordingStarted, controller, [this](const QString& path) {
        m_progress.End(); // a continuation file starts while the last one's line is open
        PrintLine(QStringLiteral("recording: %1 (written to %2)").arg(m_controller.RecordFileText(), path));
    });
    QObject::connect(controller, &CRecordingController::recordingFiled, controller, [this](const QString& path) {
        // Filing is told before the stop: the progress line ends first so the two share no line.
        m_progress.End();
        PrintLine(QStringLiteral("filed: %1").arg(path));
    });
    QObject::connect(controller, &CRecordingController::messageToShow, controller, [this](const QString& text) {
        // A recording an earlier run left unfiled is worth a word, but it is not this run's failure.
        if (!m_recoveringOrphans) {
            m_failed = true;
        }
        m_progress.End();
        PrintError(text);
    });
    // The recording was kept whole, silence standing in for what was lost: a warning, not a failure.
    QObject::connect(controller, &CRecordingController::soundLost, controller, [this](const QString& text) {
        m_progress.End();
        PrintError(text);
    });
    QObject::connect(controller, &CRecordingController::elapsedTextChanged, controller, [this](const QString& text) {
        if (!m_showElapsed) {
            return;
        }
        if (m_progress.IsShown()) {
            const double seconds = double(m_controller.CapturedMilliseconds()) / kMsPerSecond;
            const double limitSeconds = m_limitMs ? double(*m_limitMs) / kMsPerSecond : 0.0;
            m_progress.Update(QStringLiteral("recording %1").arg(QFileInfo(m_controller.RecordFileText()).fileName()),
                              CProgressLine::Percent(seconds, limitSeconds), seconds);
        }
        // A log of the session keeps a line per second recorded.
        if (m_elapsedAsLines) {
            PrintLine(text);
        }
    });
    QObject::connect(controller, &CRecordingController::recordingStopped, controller, [this] { m_progress.End(); });
}

CCliRecordingSession::~CCliRecordingSession() = default;

bool CCliRecordingSession::Prepare(const std::optional<QString>& sourceName)
{
    if (!m_signals->IsInstalled()) {
        PrintError(QStringLiteral("cannot watch for Ctrl+C and SIGTERM"));
        return false;
    }
    if (!SelectSource(sourceName)) {
        return false;
    }
    m_recoveringOrphans = true;
    m_controller.RecoverOrphanedRecordings();
    m_recoveringOrphans = false;
    return true;
}

bool CCliRecordingSession::SelectSource(const std::optional<QString>& sourceName)
{
    auto mixer = AudioBackend::Current()->CreateRecordMixer();
    std::vector<RecordSource> sources;
    if (!mixer || !mixer->EnumerateSources(sources) || sources.empty()) {
        if (sourceName) {
            PrintError(QStringLiteral("cannot select the capture source \"%1\": no sound server or no capture source")
                           .arg(*sourceName));
            return false;
        }
        // Recording itself reports the missing device.
        return true;
    }
    int index = mixer->SelectedSource();
    if (sourceName) {
        index = -1;
        QStringList known;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (sources[i].name == *sourceName || sources[i].description == *sourceName) {
                index = int(i);
                break;
            }
            known << QStringLiteral("%1 (%2)").arg(sources[i].name, sources[i].description);
        }
        if (index < 0) {
            PrintError(QStringLiteral("no capture source \"%1\"; there are: %2").arg(*sourceName, known.join(", ")));
            return false;
        }
        // Only this session records from it: the desktop's choice of source stays as it is.
        m_controller.SetCaptureSourceName(sources[std::size_t(index)].name);
    }
    if (index < 0 || std::size_t(index) >= sources.size()) {
        index = 0;
    }
    // The silence threshold follows the level of the source that is recorded.
    MixerState::selectedSourceIndex = index;
    MixerState::selectedLevel = sources[std::size_t(index)].level;
    return true;
}

bool CCliRecordingSession::Exec()
{
    if (!m_quitRequested) {
        m_loop.exec();
    }
    return !m_failed;
}

void CCliRecordingSession::Quit()
{
    m_quitRequested = true;
    m_loop.quit();
}

void CCliRecordingSession::QuitWhenIdle()
{
    QTimer::singleShot(0, &m_controller, [this] {
        if (!m_controller.IsRecording()) {
            Quit();
        }
    });
}
