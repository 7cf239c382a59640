#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Marks a recording in progress: a small file beside the engine's output path that names the
// "Record File" text the recording is to be filed under, locked for as long as its recording
// runs. A marker whose lock is free belongs to a recording that never finished (the program
// was killed or lost power); the next start files such orphans under their proper names.
// The lock dies with the process, so a recording still running in another Sorvane (a headless
// scheduler beside the desktop program) is never taken for an orphan.
class CRecordingSidecar
{
public:
    static constexpr const char* kSuffix = ".sorvane-recording";

    CRecordingSidecar(const CRecordingSidecar&) = delete;
    CRecordingSidecar& operator=(const CRecordingSidecar&) = delete;
    // Lets go of the lock; the marker stays until Remove.
    ~CRecordingSidecar();

    static QString PathFor(const QString& recordedPath);

    // A new marker for a recording about to be written at recordedPath, held locked. Null when
    // a marker of that name already exists or none can be written there.
    static std::unique_ptr<CRecordingSidecar> Create(const QString& recordedPath, const QString& recordFileText,
                                                     std::uint32_t samplesPerSec);
    // The marker of recordedPath, when its recording is not running anywhere; then held locked.
    static std::unique_ptr<CRecordingSidecar> ClaimOrphan(const QString& recordedPath);
    // Every orphaned marker in folder, each held locked.
    static std::vector<std::unique_ptr<CRecordingSidecar>> ClaimOrphans(const QString& folder);

    // The user changed the "Record File" text while recording.
    bool UpdateRecordFileText(const QString& recordFileText);
    // The recording was filed or is gone: the marker goes with it.
    void Remove();

    struct Contents
    {
        QString recordFileText;
        std::uint32_t samplesPerSec = 0;
    };
    // The marker's bytes; false when they are not a marker (the fields then stay empty).
    static QByteArray Encode(const Contents& contents);
    static bool Decode(const QByteArray& bytes, Contents& contents);

    const QString& RecordedPath() const { return m_recordedPath; }
    const QString& RecordFileText() const { return m_contents.recordFileText; }
    std::uint32_t SamplesPerSec() const { return m_contents.samplesPerSec; }

private:
    // Only the factories above make markers.
    struct ConstructionKey
    {
        explicit ConstructionKey() = default;
    };

public:
    CRecordingSidecar(ConstructionKey, int fd, QString recordedPath);

private:
    bool Write();
    bool Read();

    int m_fd = -1;
    QString m_recordedPath;
    Contents m_contents;
};
