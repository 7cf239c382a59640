#include "cli/DecodeCommand.h"

#include "audio/Mp3ToWavJob.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"

int CDecodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("decode takes an input MP3 and an output WAV"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    const bool force = args.Has(ForceOption());
    if (const QString problem = CheckOutputFile(output, force, {input}); !problem.isEmpty()) {
        return Fail(problem);
    }
    if (!IsMp3File(input)) {
        return Fail(QStringLiteral("%1: not an MP3 file").arg(input));
    }

    // The WAV is built beside its target and takes the name only when complete.
    CMp3ToWavJob job;
    job.SetFiles({input});
    job.SetOutputPath(output);
    job.SetReplaceExisting(force);
    CJobRunner runner(job);
    return RunFileJob(job, runner, [&] { return QStringLiteral("cancelled: nothing was written to %1").arg(output); });
}
