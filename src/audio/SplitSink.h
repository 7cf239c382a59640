#pragma once

#include "audio/Mp3ToEncoderSink.h"
#include "tags/TagFields.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

class CReplacementFile;

// Splitting: the re-encoding sink with part boundaries. Part k (k < count) ends with the first
// frame that brings the samples written to k / count of the source's samples or more, so parts
// are equal to within one frame; the last part takes the rest. Each part is built beside its
// name and takes the name once complete.
class CSplitSink : public CMp3ToEncoderSink
{
public:
    // Parts are named basePath + "_1.mp3", basePath + "_2.mp3" and so on. sourceSamples: the
    // samples per channel of the whole source; with none known, everything goes to one part.
    CSplitSink(QString basePath, int partCount, std::uint64_t sourceSamples);
    ~CSplitSink() override;

    // Whether the user agreed that parts may replace existing files of their names.
    void SetReplaceExisting(bool agreed) { m_replaceExisting = agreed; }
    // The source's tags, which every part gets with its part number as the track.
    void SetPartTags(const TagFields& tags)
    {
        m_partTags = tags;
        m_tagParts = true;
    }

    // After the run (which finishes the encoder): gives the last part its name. False when
    // that part could not be completed.
    bool CompleteLastPart();

    // Parts that took their names, in order.
    const QStringList& WrittenParts() const { return m_writtenParts; }
    // Why the split stopped early; empty when it did not.
    const QString& ErrorText() const { return m_errorText; }
    int PartIndex() const { return m_partIndex; }

    static QString PartPath(const QString& basePath, int partIndex);

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override;
    FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes) override;

private:
    bool BoundaryReached() const;
    // Completes the current part and opens the encoder on the next one.
    bool StartNextPart();
    // A new part file under a temporary name; its path goes to the encoder.
    bool CreatePartFile();
    bool CommitCurrentPart();

    QString m_basePath;
    int m_partIndex = 1;
    int m_partCount;
    std::uint64_t m_sourceSamples;
    std::uint64_t m_samplesWritten = 0; // per channel, all parts so far
    int m_chunkBytes = 0;
    bool m_replaceExisting = false;
    TagFields m_partTags;
    bool m_tagParts = false;
    bool m_firstFrameDelivered = false;
    std::unique_ptr<CReplacementFile> m_part;
    QStringList m_writtenParts;
    QString m_errorText;
};
