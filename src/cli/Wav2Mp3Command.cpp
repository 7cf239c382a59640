#include "cli/Wav2Mp3Command.h"

#include "app/RecordSettings.h"
#include "audio/WavToMp3Job.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"

#include <limits>

namespace
{

bool ParseOffset(const QString& text, std::uint32_t* offset)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    *offset = static_cast<std::uint32_t>(value);
    return true;
}
} // namespace

int CWav2Mp3Command::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("bitrate")}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("wav2mp3 takes an input WAV and an output MP3"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);

    int bitrate = CRecordSettings::Instance().Bitrate();
    if (!ReadBitrateOption(args, &bitrate)) {
        return UsageError(BitrateRangeText());
    }
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    const auto startText = args.Value(QStringLiteral("start"));
    const auto endText = args.Value(QStringLiteral("end"));
    if (startText.has_value() != endText.has_value()) {
        return UsageError(QStringLiteral("--start and --end go together"));
    }
    if (startText) {
        if (!ParseOffset(*startText, &start) || !ParseOffset(*endText, &end) || end <= start) {
            return UsageError(QStringLiteral("--start and --end take byte offsets with start below end"));
        }
    }
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    const bool force = args.Has(ForceOption());
    if (const QString problem = CheckOutputFile(output, force, {input}); !problem.isEmpty()) {
        return Fail(problem);
    }

    CWavToMp3Job job;
    job.SetFiles({input});
    job.SetBitrate(bitrate);
    job.SetOutputPath(output);
    job.SetRange(start, end);
    job.SetReplaceExisting(force);
    CJobRunner runner(job);
    const bool completed = runner.Run();
    for (const QString& failure : job.Failures()) {
        Fail(failure);
    }
    if (!completed) {
        return Fail(QStringLiteral("cancelled: nothing was written to %1").arg(output), CJobRunner::kExitCancelled);
    }
    return job.Failures().isEmpty() ? kExitSuccess : kExitFailure;
}
