#pragma once

#include "record/RecordingController.h"

#include <QEventLoop>
#include <QString>
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

    // Prints the elapsed time as it changes ("00 : 03"), for interactive recording.
    void SetShowElapsed(bool show) { m_showElapsed = show; }
    // Runs the event loop until Quit; false when a failure was reported meanwhile.
    bool Exec();
    void Quit();
    // Quits once the controller is idle after the events now being handled (a continuation
    // file passes through idle without ending the session).
    void QuitWhenIdle();

private:
    bool SelectSource(const std::optional<QString>& sourceName);

    CRecordingController m_controller;
    std::unique_ptr<CStopSignalNotifier> m_signals;
    QEventLoop m_loop;
    bool m_quitRequested = false;
    bool m_failed = false;
    bool m_recoveringOrphans = false;
    bool m_showElapsed = false;
    bool m_elapsedOnTerminal = false;
};
