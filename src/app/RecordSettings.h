#pragma once

#include "codec/RecordFormat.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <vector>

// One daily recording window; both times are seconds since 1970-01-01 00:00:00 UTC.
struct ScheduleEntry
{
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    bool operator==(const ScheduleEntry&) const = default;
};

// The one settings object of the process, kept in "Record Setup.sys" in the Data folder.
// The silence-detector values are read by the capture and encode threads while the UI thread
// may change them, so each is a lock-free 32-bit atomic.
class CRecordSettings
{
public:
    static constexpr int kDefaultBitrateIndex = 13; // 160 kbps
    static constexpr int kDefaultSensitivity = 500;
    static constexpr int kDefaultSilenceSeconds = 5;
    static constexpr const char* kFileName = "Record Setup.sys";

    CRecordSettings(); // defaults only; nothing is read

    // The process-wide object: created on first call with the defaults, then loaded.
    // SaveInstance() writes it back; the application calls it at exit.
    static CRecordSettings& Instance();
    static bool SaveInstance();

    // Reads "Record Setup.sys" (or another file) over the current values. A missing file
    // leaves everything as it is; a short or damaged one keeps what was read before the damage.
    bool Load(const QString& path);
    bool Load() { return Load(DefaultPath()); }
    // Writes atomically: a temporary file in the same folder renamed over the target.
    bool Save(const QString& path) const;
    bool Save() const { return Save(DefaultPath()); }
    static QString DefaultPath();

    // Decoding of a whole file image; false when it ended early (what was read still applies).
    bool LoadFromBytes(const QByteArray& bytes);
    QByteArray ToBytes() const;

    const RecordFormat& Format() const { return m_format; }
    void SetFormat(const RecordFormat& format);
    void SetChannels(std::uint16_t channels);
    void SetSamplesPerSec(std::uint32_t samplesPerSec);
    int SampleRateIndex() const;

    const QString& SaveDirectory() const { return m_saveDirectory; }
    void SetSaveDirectory(const QString& directory) { m_saveDirectory = directory; }

    const QStringList& Recordings() const { return m_recordings; }
    void SetRecordings(const QStringList& recordings) { m_recordings = recordings; }

    int BitrateIndex() const { return m_bitrateIndex; }
    void SetBitrateIndex(int index) { m_bitrateIndex = index; }
    // kbps from BitrateTable; for a VBR choice the level's typical average.
    int Bitrate() const;
    // The VBR level V0-V9 of the bitrate index, or BitrateChoice::kNoVbr for a constant rate.
    int VbrQuality() const;

    bool SilenceDetectorEnabled() const { return m_silenceDetectorEnabled.load(std::memory_order_relaxed) != 0; }
    void SetSilenceDetectorEnabled(bool on) { m_silenceDetectorEnabled.store(on ? 1 : 0, std::memory_order_relaxed); }
    int Sensitivity() const { return m_sensitivity.load(std::memory_order_relaxed); }
    void SetSensitivity(int value) { m_sensitivity.store(value, std::memory_order_relaxed); }
    bool SkipSilentPassages() const { return m_skipSilentPassages.load(std::memory_order_relaxed) != 0; }
    void SetSkipSilentPassages(bool on) { m_skipSilentPassages.store(on ? 1 : 0, std::memory_order_relaxed); }
    int LongSilenceAction() const { return m_longSilenceAction.load(std::memory_order_relaxed); }
    void SetLongSilenceAction(int action)
    {
        m_longSilenceAction.store(action < 0 ? 0 : action, std::memory_order_relaxed);
    }
    int StopAfterSeconds() const { return m_stopAfterSeconds.load(std::memory_order_relaxed); }
    void SetStopAfterSeconds(int seconds) { m_stopAfterSeconds.store(seconds, std::memory_order_relaxed); }
    int NewFileAfterSeconds() const { return m_newFileAfterSeconds.load(std::memory_order_relaxed); }
    void SetNewFileAfterSeconds(int seconds) { m_newFileAfterSeconds.store(seconds, std::memory_order_relaxed); }

    bool PlayLoop() const { return m_playLoop != 0; }
    void SetPlayLoop(bool on) { m_playLoop = on ? 1 : 0; }

    const std::vector<ScheduleEntry>& Schedule() const { return m_schedule; }
    void SetSchedule(const std::vector<ScheduleEntry>& schedule) { m_schedule = schedule; }

private:
    RecordFormat m_format;
    QString m_saveDirectory;
    QStringList m_recordings;
    int m_bitrateIndex = kDefaultBitrateIndex;
    std::atomic<std::int32_t> m_silenceDetectorEnabled{1};
    std::atomic<std::int32_t> m_sensitivity{kDefaultSensitivity};
    std::atomic<std::int32_t> m_skipSilentPassages{1};
    std::atomic<std::int32_t> m_longSilenceAction{0};
    std::atomic<std::int32_t> m_stopAfterSeconds{kDefaultSilenceSeconds};
    std::atomic<std::int32_t> m_newFileAfterSeconds{kDefaultSilenceSeconds};
    int m_playLoop = 1;
    std::vector<ScheduleEntry> m_schedule;
};
