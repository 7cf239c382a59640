#include "cli/JoinCommand.h"

#include "app/RecordSettings.h"
#include "audio/BitrateProbe.h"
#include "audio/JoinJob.h"
#include "cli/CliArguments.h"
#include "cli/CliJobRunner.h"
#include "cli/CliOutput.h"
#include "cli/JobProgress.h"
#include "codec/RecordFormat.h"

int CJoinCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate")}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() < 2) {
        return UsageError(QStringLiteral("join takes an output MP3 and at least one input MP3"));
    }
    int bitrate = 0;
    if (!ReadBitrateOption(args, &bitrate)) {
        return UsageError(BitrateRangeText());
    }
    const QString output = args.Positional().first();
    const QStringList inputs = args.Positional().mid(1);
    for (const QString& file : inputs) {
        if (const QString problem = CheckInputFile(file); !problem.isEmpty()) {
            return Fail(problem);
        }
        if (!IsMp3File(file)) {
            return Fail(QStringLiteral("%1: not an MP3 file").arg(file));
        }
    }

    const bool force = args.Has(ForceOption());
    if (const QString problem = CheckOutputFile(output, force, inputs); !problem.isEmpty()) {
        return Fail(problem);
    }

    if (bitrate == 0) {
        bitrate = BitrateTable[static_cast<std::size_t>(BitrateIndexForFile(inputs.first()))];
    }

    CJoinJob job(inputs, bitrate, output, CRecordSettings::Instance().Format());
    job.SetReplaceExisting(force);
    bool written = false;
    CJobProgress progress(inputs, [&job] { return job.CurrentFileRange(); });
    job.SetProgressReceiver(&progress);
    const bool stopped = CCliJobRunner::Run([&] { written = job.Run(); }, [&] { job.Cancel(); }, &progress);
    job.SetProgressReceiver(nullptr);
    progress.Finish();
    for (const QString& message : job.Messages()) {
        Fail(message);
    }
    if (stopped && !written) {
        return Fail(QStringLiteral("join cancelled; nothing was written to %1").arg(output), kExitInterrupted);
    }
    if (!written) {
        return kExitFailure;
    }
    std::uint64_t clipped = 0;
    for (int i = 0; i < inputs.size(); ++i) {
        clipped += job.ClippedSamples(i);
    }
    ReportClipping(output, clipped);
    CCliOutput::Notice(output);
    return kExitSuccess;
}
