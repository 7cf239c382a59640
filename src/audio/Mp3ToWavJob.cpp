#include "audio/Mp3ToWavJob.h"

#include "app/OutputTarget.h"
#include "audio/Mp3ToWavSink.h"
#include "audio/TranscodeContext.h"
#include "audio/TranscodeContextScope.h"
#include "codec/FileByteSource.h"
#include "codec/Mp3Decoding.h"
#include "platform/ReplacementFile.h"

namespace
{
constexpr float kUnchangedVolume = 1.0f;
const QLatin1Char kSeparator('/');
const QLatin1String kWavExtension(".Wav");

} // namespace

QString CMp3ToWavJob::OutputPathFor(const QString& outputFolder, const QString& inputPath)
{
    QString name = inputPath.mid(inputPath.lastIndexOf(kSeparator) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    QString folder = outputFolder;
    if (!folder.isEmpty() && !folder.endsWith(kSeparator)) {
        folder += kSeparator;
    }
    return folder + name.toLower() + kWavExtension;
}

QString CMp3ToWavJob::OutputPathOf(const QString& inputPath) const
{
    return m_outputPath.isEmpty() ? OutputPathFor(m_outputFolder, inputPath) : m_outputPath;
}

bool CMp3ToWavJob::ProcessFile(const QString& path)
{
    const CTranscodeContextScope scope;
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.volumeScale = kUnchangedVolume;
    context.inputPath = path;
    context.SetDurationFromFile(path);

    // A file of the output's name is left alone when the input cannot be read: it may be a
    // conversion made earlier, or nothing to do with this job at all.
    CFileByteSource mp3;
    if (!mp3.Open(path)) {
        ReportOpenError(path);
        return false;
    }
    const QString outputPath = OutputPathOf(path);
    if (const QString refusal = COutputTarget::Refusal(outputPath, m_replaceExisting, {path}); !refusal.isEmpty()) {
        ReportFailure(refusal, true);
        return false;
    }
    CReplacementFile target(outputPath,
                            m_replaceExisting ? CReplacementFile::Mode::Replace : CReplacementFile::Mode::CreateNew);
    if (!target.Create()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(outputPath), true);
        return false;
    }
    context.outputPath = outputPath;
    SetFileRange(context.durationSeconds);

    CMp3ToWavSink sink(target.TemporaryPath());
    DecodeMp3AndFinishEncoder(mp3, sink);
    if (sink.WriteFailed()) {
        sink.Close();
        ReportFailure(QStringLiteral("Create File %1 Error").arg(outputPath), true);
        return false;
    }
    if (!sink.Started()) {
        ReportFailure(QStringLiteral("%1: no MPEG audio frame decodes").arg(path), false);
        return false;
    }
    // A cancelled file leaves nothing under its name: a shorter WAV there would pass for the
    // whole one.
    if (IsCancelRequested()) {
        return false;
    }
    if (!sink.Close() || !target.Commit()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(outputPath), true);
        return false;
    }
    return true;
}
