#include "cli/Wav2Mp3Command.h"

#include "app/RecordSettings.h"
#include "audio/WavToMp3Job.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"
#include "codec/WaveFile.h"

#include <cmath>
#include <limits>

namespace
{
const QString kStart = QStringLiteral("start");
const QString kEnd = QStringLiteral("end");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");

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

bool ParseSeconds(const QString& text, double* seconds)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0) {
        return false;
    }
    *seconds = value;
    return true;
}

// The data offset of a time, on a whole sample frame; held to the data's size.
std::uint32_t OffsetOfSeconds(double seconds, const WaveFormat& format, std::uint32_t dataBytes)
{
    const double frames = std::floor(seconds * format.samplesPerSec);
    const double bytes = frames * format.blockAlign;
    return bytes >= dataBytes ? dataBytes : static_cast<std::uint32_t>(bytes);
}
} // namespace

QString CWav2Mp3Command::Details() const
{
    return QStringLiteral("  --start B --end B  convert only the sample data from byte B to byte B (offsets into\n"
                          "                     the data chunk, rounded down to whole sample frames)\n"
                          "  --from S --to S    convert only the sound from second S to second S (decimals\n"
                          "                     allowed); either may be left out: from the start, to the end\n"
                          "  --bitrate K        MP3 bit rate in kbps (default from the settings)\n"
                          "  --vbr N            variable bit rate at LAME's level N, 0 (best) to 9 (smallest)\n"
                          "  --force            replace OUT.mp3 when it exists\n");
}

int CWav2Mp3Command::Run(const QStringList& arguments)
{
    CCliArguments args({kStart, kEnd, kFrom, kTo, QStringLiteral("bitrate"), VbrOption()}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("wav2mp3 takes an input WAV and an output MP3"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);

    int bitrate = CRecordSettings::Instance().Bitrate();
    int vbrQuality = CRecordSettings::Instance().VbrQuality();
    if (const QString problem = ReadRateChoice(args, &bitrate, &vbrQuality); !problem.isEmpty()) {
        return UsageError(problem);
    }
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    const auto startText = args.Value(kStart);
    const auto endText = args.Value(kEnd);
    const auto fromText = args.Value(kFrom);
    const auto toText = args.Value(kTo);
    if (startText.has_value() != endText.has_value()) {
        return UsageError(QStringLiteral("--start and --end go together"));
    }
    if (startText && (fromText || toText)) {
        return UsageError(
            QStringLiteral("give the range in bytes (--start/--end) or in seconds (--from/--to), not both"));
    }
    if (startText) {
        if (!ParseOffset(*startText, &start) || !ParseOffset(*endText, &end) || end <= start) {
            return UsageError(QStringLiteral("--start and --end take byte offsets with start below end"));
        }
    }
    double fromSeconds = 0;
    double toSeconds = std::numeric_limits<double>::infinity();
    if ((fromText && !ParseSeconds(*fromText, &fromSeconds)) || (toText && !ParseSeconds(*toText, &toSeconds)) ||
        toSeconds <= fromSeconds) {
        return UsageError(QStringLiteral("--from and --to take seconds with from below to"));
    }
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    const bool force = args.Has(ForceOption());
    if (const QString problem = CheckOutputFile(output, force, {input}); !problem.isEmpty()) {
        return Fail(problem);
    }

    CWaveFile wave;
    if (wave.Open(input, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK || wave.Format()->blockAlign == 0 ||
        wave.Format()->samplesPerSec == 0) {
        return Fail(QStringLiteral("%1: not a WAV file").arg(input));
    }
    const WaveFormat format = *wave.Format();
    const std::uint32_t dataBytes = wave.GetSize();
    wave.Close();
    if (fromText || toText) {
        start = OffsetOfSeconds(fromSeconds, format, dataBytes);
        end = OffsetOfSeconds(toSeconds, format, dataBytes);
        if (start >= end) {
            return Fail(QStringLiteral("%1: no sound from %2 s on; it lasts %3 s")
                            .arg(input)
                            .arg(fromSeconds)
                            .arg(double(dataBytes) / format.blockAlign / format.samplesPerSec, 0, 'f', 3));
        }
    }

    CWavToMp3Job job;
    job.SetFiles({input});
    job.SetBitrate(bitrate);
    job.SetVbrQuality(vbrQuality);
    job.SetOutputPath(output);
    job.SetRange(start, end);
    job.SetReplaceExisting(force);
    CJobRunner runner(job);
    // The job counts data bytes per sample rate, from the range's start.
    runner.SetProgressUnits(format.blockAlign);
    if (start != end) {
        const int rangeUnits = static_cast<int>((end - start) / format.samplesPerSec);
        runner.SetProgressRange([rangeUnits] { return rangeUnits; });
    }
    return RunFileJob(job, runner, [&] { return QStringLiteral("cancelled: nothing was written to %1").arg(output); });
}
