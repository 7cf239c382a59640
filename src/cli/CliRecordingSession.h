#pragma once

#include "cli/ProgressLine.h"
#include "record/RecordingController.h"

#include <QEventLoop>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class CStopSignalNotifier;

// What `record` and `schedule` share: one recording controller on the main thread, the capture
// source choice, the filing of orphaned recordings at start, Ctrl+C and SIGTERM, and the lines
// printed about each recording.
class CCliRecordingSession
{
public:
    CCliRecordingSession();
    ~CCliRecordingSession();
    CCliRecordingSession(const CCliRecordingSession&) = delete;
    CCliRecordingSession& operator=(const CCliRecordingSession&) = delete;

    CRecordingController& Controller() { return m_controller; }

    // Records from the capture source named (sound-system name or description) when one is
    // given, without changing the selected one; takes the recorded source's level for the
    // silence detector, and files the recordings a killed run left behind. False, with a
    // message printed, when the source cannot be used.
    bool Prepare(const std::optional<QString>& sourceName);

    // Shows the time recorded as it changes: on the progress line (with the percent of limitMs,
    // when given) and, when stdout is no terminal, as lines ("00 : 03") for a log.
    void SetShowElapsed(bool show, std::optional<std::uint64_t> limitMs = std::nullopt)
    {
        m_showElapsed = show;
        m_limitMs = limitMs;
    }
    // True once a stop signal ended the session.
    bool StoppedBySignal() const { return m_stoppedBySignal; }
    // Runs the event loop until Quit; false when a failure was reported meanwhile.
    bool Exec();
    void Quit();
    // Quits once the controller is idle after the events now being handled (a continuation
    // file passes through idle without ending the session).
    void QuitWhenIdle();

private:
    bool SelectSource(const std::optional<QString>& sourceName);

    // Before the controller, which may still report a stop while it is destroyed.
    CProgressLine m_progress;
    CRecordingController m_controller;
    std::unique_ptr<CStopSignalNotifier> m_signals;
    QEventLoop m_loop;
    bool m_quitRequested = false;
    bool m_failed = false;
    bool m_recoveringOrphans = false;
    bool m_showElapsed = false;
    bool m_elapsedAsLines = false;
    bool m_stoppedBySignal = false;
    std::optional<std::uint64_t> m_limitMs;
};
