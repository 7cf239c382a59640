#include "cli/ReencodeCommand.h"

#include "audio/ReencodeJob.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"
#include "codec/BitrateChoice.h"

namespace
{
// The range of the "Volume Scale " box.
constexpr double kMinVolume = 0.1;
constexpr double kMaxVolume = 10.0;
} // namespace

QString CReencodeCommand::Details() const
{
    return QStringLiteral("  --bitrate K  the new bit rate in kbps\n"
                          "  --vbr N      variable bit rate at LAME's level N, 0 (best) to 9 (smallest)\n"
                          "  --volume V   scale every sample by V; samples pushed past full scale are clipped,\n"
                          "               and how many is reported\n"
                          "Each file keeps its sample rate, channels and tags; it is replaced only once its new\n"
                          "version is complete.\n");
}

int CReencodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate"), VbrOption(), QStringLiteral("volume")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().isEmpty()) {
        return UsageError(QStringLiteral("reencode takes one or more MP3 files"));
    }
    if (!args.Has(QStringLiteral("bitrate")) && !args.Has(VbrOption())) {
        return UsageError(QStringLiteral("reencode needs --bitrate or --vbr"));
    }
    int bitrate = 0;
    int vbrQuality = BitrateChoice::kNoVbr;
    if (const QString problem = ReadRateChoice(args, &bitrate, &vbrQuality); !problem.isEmpty()) {
        return UsageError(problem);
    }
    bool ok = false;
    double volume = CReencodeJob::kDefaultVolumeScale;
    if (const auto volumeText = args.Value(QStringLiteral("volume"))) {
        volume = volumeText->toDouble(&ok);
        if (!ok || volume < kMinVolume || volume > kMaxVolume) {
            return UsageError(QStringLiteral("--volume takes a scale from %1 to %2").arg(kMinVolume).arg(kMaxVolume));
        }
    }
    // Every file is checked before any is touched: a WAV or a text given by mistake must not
    // be re-encoded from whatever false frame headers it happens to contain.
    for (const QString& file : args.Positional()) {
        if (const QString problem = CheckInputFile(file); !problem.isEmpty()) {
            return Fail(problem + QStringLiteral("; nothing was changed"));
        }
        if (!IsMp3File(file)) {
            return Fail(QStringLiteral("%1: not an MP3 file; nothing was changed").arg(file));
        }
        // The new version is built beside the file before it takes its place.
        if (const QString problem = CreateProblem(file, QStringLiteral("re-encode")); !problem.isEmpty()) {
            return Fail(problem + QStringLiteral("; nothing was changed"));
        }
    }

    CReencodeJob job;
    job.SetFiles(args.Positional());
    job.SetBitrate(bitrate);
    job.SetVbrQuality(vbrQuality);
    job.SetVolumeScale(static_cast<float>(volume));
    CJobRunner runner(job);
    const int exitCode = RunFileJob(job, runner, [&job] {
        const int stoppedAt = job.FilesPosition();
        return QStringLiteral("cancelled: %1 and the files after it were left as they were")
            .arg(job.Files().value(stoppedAt > 0 ? stoppedAt - 1 : 0));
    });
    for (int i = 0; i < job.FilesPosition() && exitCode != kExitInterrupted; ++i) {
        ReportClipping(job.Files().at(i), job.ClippedSamples(i));
    }
    return exitCode;
}
