#include "cli/JoinCommand.h"

#include "app/RecordFormat.h"
#include "app/RecordSettings.h"
#include "audio/BitrateProbe.h"
#include "audio/JoinJob.h"
#include "cli/CliArguments.h"
#include "cli/CliJobRunner.h"

namespace
{
} // namespace

int CJoinCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() < 2) {
        return UsageError(QStringLiteral("join takes an output MP3 and at least one input MP3"));
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

    int bitrate = 0;
    if (!ReadBitrateOption(args, &bitrate)) {
        return UsageError(BitrateRangeText());
    }
    if (bitrate == 0) {
        bitrate = BitrateTable[static_cast<std::size_t>(BitrateIndexForFile(inputs.first()))];
    }

    CJoinJob job(inputs, bitrate, output, CRecordSettings::Instance().Format());
    bool written = false;
    const bool stopped = CCliJobRunner::Run([&] { written = job.Run(); }, [&] { job.Cancel(); });
    for (const QString& message : job.Messages()) {
        Fail(message);
    }
    if (!written) {
        return kExitFailure;
    }
    Print(output);
    if (stopped) {
        return Fail(QStringLiteral("join cancelled; %1 holds what was joined until then").arg(output));
    }
    return kExitSuccess;
}
