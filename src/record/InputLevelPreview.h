#pragma once

#include "codec/RecordFormat.h"

#include <QString>
#include <atomic>
#include <memory>

class AudioCapture;
class CPeakMeter;

// Listens to the capture source while nothing records, only to feed the level meter, so the
// user sees whether the source picks anything up (and clips) before pressing Record. Nothing
// is kept or written. Buffers of a twentieth of a second, the meter's own pace.
class CInputLevelPreview
{
public:
    static constexpr int kBuffersPerSecond = 20;

    // `meter` must outlive the preview.
    explicit CInputLevelPreview(CPeakMeter& meter);
    ~CInputLevelPreview();
    CInputLevelPreview(const CInputLevelPreview&) = delete;
    CInputLevelPreview& operator=(const CInputLevelPreview&) = delete;

    // Listens to the selected source (or the source of this sound system name) in `format`;
    // false when there is nothing to listen to. A running preview is stopped first.
    bool Start(const RecordFormat& format, const QString& sourceName = {});
    // Returns once no buffer reaches the meter any more; safe when not running.
    void Stop();
    // Running and the device still there.
    bool IsRunning() const;

private:
    CPeakMeter& m_meter;
    std::unique_ptr<AudioCapture> m_capture;
    int m_channels = 0;
    std::atomic<bool> m_deviceLost{false};
};
