#include "audio/ReencodeJob.h"

#include "app/ReplacementFile.h"
#include "audio/Mp3Decoding.h"
#include "audio/Mp3ToEncoderSink.h"
#include "audio/TranscodeContext.h"
#include "audio/TranscodeContextScope.h"
#include "audio/WholeFile.h"
#include "tags/Id3v1Tag.h"

#include <QFile>
#include <cstring>

namespace
{
constexpr char kId3v1Marker[] = "TAG";
constexpr std::size_t kId3v1MarkerBytes = sizeof(kId3v1Marker) - 1;

// Carries the source's ID3v1 tag (its last 128 bytes, when they are one) over to the new file.
bool AppendId3v1Tag(const CWholeFile& source, const QString& path)
{
    const auto tagBytes = static_cast<std::size_t>(CId3v1Tag::kTagSize);
    if (source.Size() < tagBytes) {
        return true;
    }
    const std::uint8_t* tag = source.Data() + source.Size() - tagBytes;
    if (std::memcmp(tag, kId3v1Marker, kId3v1MarkerBytes) != 0) {
        return true;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) &&
           file.write(reinterpret_cast<const char*>(tag), CId3v1Tag::kTagSize) == CId3v1Tag::kTagSize;
}
} // namespace

bool CReencodeJob::ProcessFile(const QString& path)
{
    CTranscodeContextScope scope;
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.bitrateKbps = m_bitrateKbps;
    context.volumeScale = m_volumeScale;
    context.inputPath = path;
    context.SetDurationFromFile(path);
    SetFileRange(context.durationSeconds);

    CWholeFile source;
    if (!source.Load(path)) {
        ReportOpenError(path);
        return false;
    }
    CReplacementFile target(path);
    if (!target.Create()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(target.TargetPath() + QStringLiteral(" (temporary)")),
                      true);
        return false;
    }
    context.outputPath = target.TemporaryPath();

    CMp3ToEncoderSink sink;
    DecodeMp3Buffer(source.Data(), source.Size(), sink);
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
    if (!AppendId3v1Tag(source, target.TemporaryPath())) {
        ReportFailure(QStringLiteral("%1: the tag could not be carried over; the file is left as it was").arg(path),
                      true);
        return false;
    }
    // The new file takes the place of the source with the source's permissions.
    QFile::setPermissions(target.TemporaryPath(), QFile::permissions(path));
    if (!target.Commit()) {
        ReportFailure(QStringLiteral("%1: the re-encoded file could not replace it").arg(path), true);
        return false;
    }
    return true;
}
