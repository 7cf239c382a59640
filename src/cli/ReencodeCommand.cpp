#include "cli/ReencodeCommand.h"

#include "audio/ReencodeJob.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"

#include <cstdio>

namespace
{
// The range of the "Volume Scale " box.
constexpr double kMinVolume = 0.1;
constexpr double kMaxVolume = 10.0;
} // namespace

int CReencodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate"), QStringLiteral("volume")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().isEmpty()) {
        return UsageError(QStringLiteral("reencode takes one or more MP3 files"));
    }
    if (!args.Value(QStringLiteral("bitrate"))) {
        return UsageError(QStringLiteral("reencode needs --bitrate"));
    }
    int bitrate = 0;
    if (!ReadBitrateOption(args, &bitrate)) {
        return UsageError(BitrateRangeText());
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
    }

    CReencodeJob job;
    job.SetFiles(args.Positional());
    job.SetBitrate(bitrate);
    job.SetVolumeScale(static_cast<float>(volume));
    CJobRunner runner(job);
    const bool completed = runner.Run();
    for (const QString& failure : job.Failures()) {
        Fail(failure);
    }
    if (!completed) {
        const int stoppedAt = job.FilesPosition();
        return Fail(QStringLiteral("cancelled: %1 and the files after it were left as they were")
                        .arg(job.Files().value(stoppedAt > 0 ? stoppedAt - 1 : 0)),
                    CJobRunner::kExitCancelled);
    }
    return job.Failures().isEmpty() ? kExitSuccess : kExitFailure;
}
