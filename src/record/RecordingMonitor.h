#pragma once

#include "codec/RecordFormat.h"
#include "record/CaptureMonitor.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

class CPeakMeter;
class CWaveRecorder;
class QObject;

// Watches one recorded file from the capture thread: times silences for the silence detector
// and keeps the elapsed time and the live waveform moving. It never changes the recording
// itself; everything it decides reaches the controller as a posted event.
class CRecordingMonitor : public CCaptureMonitor
{
public:
    static constexpr int kStopCommandId = 1005;
    // Posted when the elapsed seconds changed or the live waveform is due for a repaint;
    // wParam 1 asks for the repaint.
    static constexpr int kDisplayEvent = 0x5A0;

    // `recorder` may be null (no elapsed time then); both it and `receiver` must outlive the
    // monitor's time on the engine.
    CRecordingMonitor(QObject* receiver, const RecordFormat& format, const CWaveRecorder* recorder);

    void OnBuffer(const std::int16_t* samples, std::size_t byteCount, bool repaint) override;

    // Ends the recording once the engine has captured `bytes`: `reached` runs once on the
    // capture thread, right after the buffer that got there (it should keep later buffers out
    // of the file), then the Stop command is posted. Set before the monitor goes on the engine.
    void SetCaptureLimit(std::uint64_t bytes, std::function<void()> reached);

    // Every buffer also goes to this level meter (null: none). Set before the monitor goes on
    // the engine; the meter must outlive the monitor's time there.
    void SetPeakMeter(CPeakMeter* meter) { m_peakMeter = meter; }

    bool SoundHeard() const { return m_soundHeard.load(std::memory_order_relaxed); }

private:
    void TimeSilence(const std::int16_t* samples, std::size_t byteCount);
    void FireLongSilenceAction();
    void ResetRun();
    void UpdateDisplay(bool repaint);
    void CheckCaptureLimit();

    QObject* m_receiver;
    RecordFormat m_format;
    const CWaveRecorder* m_recorder;
    CPeakMeter* m_peakMeter = nullptr;
    // 64 bits: a recording that starts in silence may run for many hours before sound comes.
    std::uint64_t m_silenceRunBytes = 0;
    std::int64_t m_silenceRunLevelSum = 0;
    std::atomic<bool> m_soundHeard{false};
    std::uint64_t m_lastPostedSeconds = 0;
    bool m_displayPosted = false;
    std::uint64_t m_captureLimitBytes = 0; // 0: none
    std::function<void()> m_captureLimitReached;
    bool m_captureLimitPassed = false;
};
