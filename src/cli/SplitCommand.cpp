#include "cli/SplitCommand.h"

#include "audio/SplitJob.h"
#include "cli/CliArguments.h"
#include "cli/CliJobRunner.h"
#include "cli/CliOutput.h"
#include "cli/JobProgress.h"

namespace
{
constexpr double kMinVolume = 0.1;
constexpr double kMaxVolume = 10.0;
constexpr double kDefaultVolume = 1.0;
} // namespace

QString CSplitCommand::Details() const
{
    return QStringLiteral("  --parts N   how many parts each file is cut into\n"
                          "  --volume V  scale every sample by V; samples pushed past full scale are clipped,\n"
                          "              and how many is reported\n"
                          "  --force     replace parts that exist already\n"
                          "The parts of Song.mp3 are Song_1.mp3, Song_2.mp3 ... beside it; their names are\n"
                          "printed once the split ends.\n");
}

int CSplitCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("parts"), QStringLiteral("volume")}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().isEmpty()) {
        return UsageError(QStringLiteral("split takes at least one MP3 file"));
    }
    const auto partsValue = args.Value(QStringLiteral("parts"));
    if (!partsValue) {
        return UsageError(QStringLiteral("--parts is required"));
    }
    bool ok = false;
    const int parts = partsValue->toInt(&ok);
    if (!ok || parts < CSplitJob::kMinSplitCount || parts > CSplitJob::kMaxSplitCount) {
        return UsageError(QStringLiteral("--parts takes a count from %1 to %2")
                              .arg(CSplitJob::kMinSplitCount)
                              .arg(CSplitJob::kMaxSplitCount));
    }
    double volume = kDefaultVolume;
    if (const auto value = args.Value(QStringLiteral("volume"))) {
        volume = value->toDouble(&ok);
        if (!ok || volume < kMinVolume || volume > kMaxVolume) {
            return UsageError(QStringLiteral("--volume takes a scale from %1 to %2").arg(kMinVolume).arg(kMaxVolume));
        }
    }
    // Every input is checked before any is split, so a typo does not leave half a batch done.
    for (const QString& file : args.Positional()) {
        if (const QString problem = CheckInputFile(file); !problem.isEmpty()) {
            return Fail(problem);
        }
        if (!IsMp3File(file)) {
            return Fail(QStringLiteral("%1: not an MP3 file").arg(file));
        }
        if (const QString problem = CreateProblem(CSplitJob::BasePath(file) + QStringLiteral("_1.mp3"));
            !problem.isEmpty()) {
            return Fail(problem);
        }
    }

    CSplitJob job(args.Positional(), static_cast<float>(volume), parts);
    const bool force = args.Has(ForceOption());
    job.SetReplaceExisting(force);
    // Checked before any part is written, so a refusal leaves no half-split batch behind.
    for (const QString& part : job.ExistingParts()) {
        if (const QString problem = CheckOutputFile(part, force, args.Positional()); !problem.isEmpty()) {
            return Fail(problem);
        }
    }
    bool allSplit = false;
    CJobProgress progress(args.Positional(), [&job] { return job.CurrentFileRange(); });
    job.SetProgressReceiver(&progress);
    const bool stopped = CCliJobRunner::Run([&] { allSplit = job.Run(); }, [&] { job.Cancel(); }, &progress);
    job.SetProgressReceiver(nullptr);
    progress.Finish();
    for (const QString& part : job.WrittenFiles()) {
        CCliOutput::Notice(part);
    }
    for (const QString& message : job.Messages()) {
        Fail(message);
    }
    if (!stopped) {
        for (int i = 0; i < args.Positional().size(); ++i) {
            ReportClipping(args.Positional().at(i), job.ClippedSamples(i));
        }
    }
    if (stopped && !allSplit) {
        const QStringList& kept = job.WrittenFiles();
        return Fail(kept.isEmpty() ? QStringLiteral("split cancelled; no part was written")
                                   : QStringLiteral("split cancelled; the part being written was dropped, the "
                                                    "complete parts stay: %1")
                                         .arg(kept.join(QStringLiteral(", "))),
                    kExitInterrupted);
    }
    return allSplit ? kExitSuccess : kExitFailure;
}
