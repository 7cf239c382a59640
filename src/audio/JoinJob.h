#pragma once

#include "audio/JoinState.h"
#include "audio/TranscodeOwner.h"
#include "codec/RecordFormat.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <cstdint>

// Decodes MP3 files in order and encodes all of them into one new MP3 file in one format (the
// settings' record format in the program), at one bit rate. Run it on a worker thread; the
// receiver gets the progress events (file index; 0 = the file starts, > 0 = seconds done) and
// Cancel, from any thread, stops it after the current frame and writes nothing.
// The output is built beside its target and only takes its name when complete, so a failure
// never leaves a broken file; an output that is one of the inputs is refused.
class CJoinJob : public CTranscodeOwner
{
public:
    CJoinJob(QStringList files, std::int32_t bitrateKbps, QString outputPath, const RecordFormat& target);

    void SetProgressReceiver(QObject* receiver) { m_receiver = receiver; }
    // Whether the user agreed that the output may replace an existing file of its name.
    void SetReplaceExisting(bool agreed) { m_replaceExisting = agreed; }

    // Joins every file; true when the output was written. Inputs that cannot be opened are
    // left out with a message; a join in which no frame decodes writes nothing.
    bool Run();
    void Cancel() { m_cancelRequested = true; }

    bool IsCancelRequested() const override { return m_cancelRequested; }
    QObject* ProgressReceiver() const override { return m_receiver; }
    int CurrentFileIndex() const override { return m_currentIndex; }

    // Texts for the user, one per problem met ("Open File %s Error" and the like).
    const QStringList& Messages() const { return m_messages; }
    const QStringList& Files() const { return m_files; }
    const QString& OutputPath() const { return m_outputPath; }

private:
    // Decodes one file into the open join; false when the join cannot go on.
    bool ProcessFile(const QString& path);
    // Encodes what waits in the carry buffer and closes the output; false when nothing or
    // not all of it could be written.
    bool FinishOutput();

    QStringList m_files;
    std::int32_t m_bitrateKbps;
    QString m_outputPath;
    bool m_replaceExisting = false;
    RecordFormat m_target;

    QObject* m_receiver = nullptr; // not owned; outlives the job
    std::atomic<bool> m_cancelRequested{false};
    int m_currentIndex = 0;
    bool m_outputFailed = false; // the encoder could not be set up or took no more PCM
    QStringList m_messages;
    CJoinState m_state;
};
