#pragma once

#include "audio/TranscodeOwner.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <cstdint>

// Cuts each MP3 file into splitCount parts of equal playing time, re-encoded with the source's
// channels, sample rate and first-frame bit rate and scaled by volumeScale; the parts are equal
// to within one frame and the last takes the remainder. The parts of "Song.MP3" are
// "Song_1.mp3", "Song_2.mp3" ... beside it.
// Run it on a worker thread; the receiver gets the progress events (file index; 0 = the file
// starts, > 0 = seconds done) and Cancel, from any thread, closes the current part where
// decoding stopped and writes no further parts.
class CSplitJob : public CTranscodeOwner
{
public:
    static constexpr int kMinSplitCount = 2;
    static constexpr int kMaxSplitCount = 100;

    CSplitJob(QStringList files, float volumeScale, std::int32_t splitCount);

    void SetProgressReceiver(QObject* receiver) { m_receiver = receiver; }
    // Whether the user agreed that parts may replace existing files of their names.
    void SetReplaceExisting(bool agreed) { m_replaceExisting = agreed; }
    // The names of the parts of every file that already exist (before anything is written), for
    // a question to the user; each part is checked again when it is written.
    QStringList ExistingParts() const;

    // Splits every file in order; true when every file was split without a problem.
    bool Run();
    // Splits one file; false (with a message) when it could not be split completely.
    bool ProcessFile(const QString& path);
    void Cancel() { m_cancelRequested = true; }

    bool IsCancelRequested() const override { return m_cancelRequested; }
    QObject* ProgressReceiver() const override { return m_receiver; }
    int CurrentFileIndex() const override { return m_currentIndex; }

    // Texts for the user, one per problem met ("Open File %s Error" and the like).
    const QStringList& Messages() const { return m_messages; }
    // Every part written, in order.
    const QStringList& WrittenFiles() const { return m_writtenFiles; }

    // The path the part names start with: the path without ".mp3" (in any case).
    static QString BasePath(const QString& path);

private:
    // Why path may not be split in this batch (one of its parts would replace a file of the
    // batch, or the parts of a file split before it); empty when it may.
    QString BatchClash(const QString& path) const;

    QStringList m_files;
    float m_volumeScale;
    std::int32_t m_splitCount;
    bool m_replaceExisting = false;

    QObject* m_receiver = nullptr; // not owned; outlives the job
    std::atomic<bool> m_cancelRequested{false};
    int m_currentIndex = 0;
    QStringList m_messages;
    QStringList m_writtenFiles;
};
