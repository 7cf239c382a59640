#include "audio/ReencodeJob.h"

#include "audio/Mp3ToEncoderSink.h"
#include "audio/TranscodeContext.h"
#include "audio/TranscodeContextScope.h"
#include "codec/FileByteSource.h"
#include "codec/MediaLength.h"
#include "codec/Mp3Decoding.h"
#include "codec/Mp3TagRegions.h"
#include "platform/FileLock.h"
#include "platform/ReplacementFile.h"

#include <QFile>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Our encoder adds its start delay and completes the last frame, so a faithful re-encoding
// never plays for less. What is allowed is for a length read from the headers that is a
// little off: the larger of these.
constexpr double kShortfallToleranceSeconds = 0.05;
constexpr double kShortfallToleranceShare = 0.01;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr std::uint64_t kCopyPieceBytes = 256 * 1024;

double FrameSeconds(const DecodedPcm& pcm)
{
    return pcm.sampleRate > 0 ? static_cast<double>(pcm.length) / pcm.sampleRate : 0.0;
}

// The playing time of every frame the decoder makes of a file, each at its own rate.
double DecodedSeconds(CByteSource& source)
{
    double seconds = 0;
    auto counter = MakeFrameSink([&seconds](const Mp3FrameHeader&, const DecodedPcm& pcm) {
        seconds += FrameSeconds(pcm);
        return FrameFlow::Continue;
    });
    DecodeMp3AndFinishEncoder(source, counter);
    return seconds;
}

// Passes every frame on to the re-encoding sink and adds up the playing time of all that
// decode, also those the sink leaves out.
class CTimingSink : public FrameSink
{
public:
    explicit CTimingSink(FrameSink& inner)
        : m_inner(inner)
    {}
    FrameFlow OnFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override
    {
        m_seconds += FrameSeconds(pcm);
        return m_inner.OnFrame(header, pcm);
    }
    void OnRunEnd() override { m_inner.OnRunEnd(); }
    double Seconds() const { return m_seconds; }

private:
    FrameSink& m_inner;
    double m_seconds = 0;
};

// A file marked read-only stays as it is, even for a user the system would let write it.
QString WriteProblem(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return QStringLiteral("%1: not a regular file; it was left as it was").arg(path);
    }
    if ((info.st_mode & kAnyWriteBit) == 0 || ::access(native.constData(), W_OK) != 0) {
        return QStringLiteral("%1: the file is read-only; it was left as it was").arg(path);
    }
    return {};
}

// Copies length bytes of the source at offset to the file, a piece at a time.
bool CopyRange(CByteSource& source, std::uint64_t offset, std::uint64_t length, QFile& file)
{
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(length, kCopyPieceBytes));
    while (length > 0) {
        const std::size_t count = std::min<std::uint64_t>(length, piece.size());
        if (!source.ReadExactly(offset, count, piece.data()) ||
            file.write(reinterpret_cast<const char*>(piece.data()), static_cast<qint64>(count)) !=
                static_cast<qint64>(count)) {
            return false;
        }
        offset += count;
        length -= count;
    }
    return true;
}
} // namespace

bool CReencodeJob::ProcessFile(const QString& path)
{
    CTranscodeContextScope scope;
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.bitrateKbps = m_bitrateKbps;
    context.vbrQuality = m_vbrQuality;
    context.volumeScale = m_volumeScale;
    context.inputPath = path;
    context.SetDurationFromFile(path);
    SetFileRange(context.durationSeconds);

    // Held until the new content has taken the source's place: a tag saved meanwhile would be
    // overwritten by what was read before it, and lost.
    CFileLock lock;
    if (lock.Acquire(path, CFileLock::Mode::Exclusive) == CFileLock::Result::Busy) {
        ReportFailure(CFileLock::BusyText(path), true);
        return false;
    }
    CFileByteSource source;
    if (!source.Open(path)) {
        ReportOpenError(path);
        return false;
    }
    if (const QString problem = WriteProblem(path); !problem.isEmpty()) {
        ReportFailure(problem, true);
        return false;
    }
    // The audio alone goes to the encoder's file; the finished file gets the tags around it.
    CReplacementFile audio(path);
    if (!audio.Create()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(path + QStringLiteral(" (temporary)")), true);
        return false;
    }
    context.outputPath = audio.TemporaryPath();

    CMp3ToEncoderSink sink;
    CTimingSink timing(sink);
    DecodeMp3AndFinishEncoder(source, timing);
    if (IsCancelRequested()) {
        // The source stays whole; the part already encoded is thrown away with the temporary file.
        return false;
    }
    if (sink.SetUpFailed()) {
        ReportFailure(QStringLiteral("%1: %2").arg(path, CMp3StreamEncoder::ErrorText(context.encoderError)), true);
        return false;
    }
    if (!context.encoder) {
        ReportFailure(QStringLiteral("%1: no MPEG audio frame decodes; the file is left as it was").arg(path), false);
        return false;
    }
    if (!context.encoder->Finish()) {
        ReportFailure(QStringLiteral("%1: %2").arg(path, CMp3StreamEncoder::ErrorText(context.encoder->LastError())),
                      true);
        return false;
    }

    CFileByteSource encoded;
    if (!encoded.Open(audio.TemporaryPath())) {
        ReportFailure(
            QStringLiteral("%1: the re-encoded audio could not be read back; the file is left as it was").arg(path),
            true);
        return false;
    }
    // Frames the decoder could not fit to the first one (a false sync in junk between frames,
    // a stream that changes its rate) or lost its way in were left out of the new file: then
    // it would play for less than the old one, and the old one is worth more. The old one's
    // time is what decoded or what its frame headers promise, whichever is longer.
    const double sourceSeconds =
        std::max(timing.Seconds(), static_cast<double>(CMediaLength::QueryLength(path)) / kMillisecondsPerSecond);
    const double newSeconds = DecodedSeconds(encoded);
    const double tolerance = std::max(kShortfallToleranceSeconds, sourceSeconds * kShortfallToleranceShare);
    if (newSeconds + tolerance < sourceSeconds) {
        ReportFailure(QStringLiteral("%1: the re-encoded file would play for %2 s instead of %3 s; the file is left "
                                     "as it was")
                          .arg(path)
                          .arg(newSeconds, 0, 'f', 2)
                          .arg(sourceSeconds, 0, 'f', 2),
                      true);
        return false;
    }

    // The new content takes the place of the old in the same file: through a symbolic link,
    // for every hard link, with the owner, group and mode it had.
    const Mp3TagRegions tags = Mp3TagRegions::Find(source);
    CReplacementFile target(path, CReplacementFile::Mode::RewriteInPlace);
    QFile output(target.Create() ? target.TemporaryPath() : QString());
    const bool written = output.open(QIODevice::WriteOnly) && CopyRange(source, 0, tags.leadingBytes, output) &&
                         CopyRange(encoded, 0, encoded.Size(), output) &&
                         CopyRange(source, source.Size() - tags.trailingBytes, tags.trailingBytes, output) &&
                         output.flush();
    output.close();
    if (!written || !target.Commit()) {
        ReportFailure(QStringLiteral("%1: the re-encoded file could not replace it").arg(path), true);
        return false;
    }
    return true;
}
