#include "record/RecordingMonitor.h"

#include "app/RecordSettings.h"
#include "platform/AppEvent.h"
#include "record/MixerState.h"
#include "record/PeakMeter.h"
#include "record/SilenceDetector.h"
#include "record/WaveRecorder.h"

#include <algorithm>
#include <limits>

namespace
{
constexpr int kNewFileAction = 1;
constexpr std::intptr_t kRepaintRequested = 1;
constexpr std::uint64_t kBytesPerSample16 = 2;

std::uint64_t CapturedSeconds(std::uint64_t capturedBytes, const RecordFormat& format)
{
    if (format.samplesPerSec == 0 || format.channels == 0) {
        return 0;
    }
    std::uint64_t seconds = capturedBytes / format.samplesPerSec / format.channels;
    if (format.bitsPerSample == RecordFormat::kBitsPerSample) {
        seconds /= kBytesPerSample16;
    }
    return seconds;
}
} // namespace

CRecordingMonitor::CRecordingMonitor(QObject* receiver, const RecordFormat& format, const CWaveRecorder* recorder)
    : m_receiver(receiver)
    , m_format(format)
    , m_recorder(recorder)
{}

void CRecordingMonitor::OnBuffer(const std::int16_t* samples, std::size_t byteCount, bool repaint)
{
    if (samples != nullptr && byteCount >= sizeof(std::int16_t)) {
        TimeSilence(samples, byteCount);
        if (m_peakMeter != nullptr) {
            m_peakMeter->Feed(samples, byteCount, m_format.channels);
        }
    }
    UpdateDisplay(repaint);
    CheckCaptureLimit();
}

void CRecordingMonitor::SetCaptureLimit(std::uint64_t bytes, std::function<void()> reached)
{
    m_captureLimitBytes = bytes;
    m_captureLimitReached = std::move(reached);
    m_captureLimitPassed = false;
}

void CRecordingMonitor::CheckCaptureLimit()
{
    if (m_captureLimitBytes == 0 || m_captureLimitPassed || m_recorder == nullptr ||
        m_recorder->CapturedBytes() < m_captureLimitBytes) {
        return;
    }
    m_captureLimitPassed = true;
    if (m_captureLimitReached) {
        m_captureLimitReached();
    }
    CAppEvent::Post(m_receiver, AppEventType::kCommand, kStopCommandId, 0);
}

void CRecordingMonitor::TimeSilence(const std::int16_t* samples, std::size_t byteCount)
{
    const int level = SilenceDetector::MeanAbsoluteLevel(samples, byteCount);
    m_silenceRunBytes += byteCount;
    m_silenceRunLevelSum += level;
    // The mean of the per-buffer levels since the run began: one loud click inside a long
    // quiet stretch does not end the run.
    const std::uint64_t buffersInRun = std::max<std::uint64_t>(m_silenceRunBytes / byteCount, 1);
    const auto average = static_cast<int>(m_silenceRunLevelSum / static_cast<std::int64_t>(buffersInRun));
    const int recordLevel = MixerState::selectedLevel.load(std::memory_order_relaxed);
    if (!SilenceDetector::IsSilent(average, recordLevel)) {
        ResetRun();
        m_soundHeard.store(true, std::memory_order_relaxed);
        return;
    }

    const CRecordSettings& settings = CRecordSettings::Instance();
    const int action = settings.LongSilenceAction();
    const int limitSeconds = action == kNewFileAction ? settings.NewFileAfterSeconds() : settings.StopAfterSeconds();
    const std::uint32_t runBytes = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(m_silenceRunBytes, std::numeric_limits<std::uint32_t>::max()));
    // Whole seconds against the limit with a strict comparison: a limit of 5 fires at 6.
    const bool longEnough = static_cast<std::int64_t>(SilenceDetector::BytesToSeconds(m_format, runBytes)) >
                            static_cast<std::int64_t>(limitSeconds);
    if (longEnough && settings.SilenceDetectorEnabled() && m_soundHeard.load(std::memory_order_relaxed)) {
        FireLongSilenceAction();
        ResetRun();
    }
}

void CRecordingMonitor::FireLongSilenceAction()
{
    if (CRecordSettings::Instance().LongSilenceAction() == kNewFileAction) {
        CAppEvent::Post(m_receiver, AppEventType::kSilenceNewFile, 0, 0);
    } else {
        CAppEvent::Post(m_receiver, AppEventType::kCommand, kStopCommandId, 0);
    }
}

void CRecordingMonitor::ResetRun()
{
    m_silenceRunBytes = 0;
    m_silenceRunLevelSum = 0;
}

void CRecordingMonitor::UpdateDisplay(bool repaint)
{
    // One event per second of elapsed time and per repaint, not one per buffer.
    const std::uint64_t seconds = m_recorder ? CapturedSeconds(m_recorder->RecordedBytes(), m_format) : 0;
    const bool secondsChanged = !m_displayPosted || seconds != m_lastPostedSeconds;
    if (!repaint && !secondsChanged) {
        return;
    }
    m_lastPostedSeconds = seconds;
    m_displayPosted = true;
    CAppEvent::Post(m_receiver, kDisplayEvent, repaint ? kRepaintRequested : 0, 0);
}
