#include "cli/EncodeCommand.h"

#include "app/RecordSettings.h"
#include "audio/WavToMp3Job.h"
#include "cli/CliArguments.h"
#include "cli/JobRunner.h"
#include "codec/WaveFile.h"

#include <algorithm>
#include <array>

namespace
{
constexpr std::uint16_t kEightBits = 8;
constexpr std::uint16_t kSixteenBits = 16;
// Sample rates an MP3 stream can carry (MPEG-1, MPEG-2 and MPEG-2.5).
constexpr std::array<std::uint32_t, 9> kMp3SampleRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

} // namespace

int CEncodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate"), VbrOption()}, {ForceOption()});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("encode takes an input WAV and an output MP3"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);

    int bitrate = CRecordSettings::Instance().Bitrate();
    int vbrQuality = CRecordSettings::Instance().VbrQuality();
    if (const QString problem = ReadRateChoice(args, &bitrate, &vbrQuality); !problem.isEmpty()) {
        return UsageError(problem);
    }
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    const bool force = args.Has(ForceOption());
    if (const QString problem = CheckOutputFile(output, force, {input}); !problem.isEmpty()) {
        return Fail(problem);
    }

    CWaveFile wave;
    if (wave.Open(input, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK) {
        return Fail(QStringLiteral("%1: not a WAV file").arg(input));
    }
    const WaveFormat& format = *wave.Format();
    if (format.formatTag != WaveFormat::kPcmTag ||
        (format.bitsPerSample != kEightBits && format.bitsPerSample != kSixteenBits) ||
        (format.channels != 1 && format.channels != 2)) {
        return Fail(
            QStringLiteral("%1: only 8- or 16-bit PCM WAV files with one or two channels can be encoded").arg(input));
    }
    if (std::find(kMp3SampleRates.begin(), kMp3SampleRates.end(), format.samplesPerSec) == kMp3SampleRates.end()) {
        return Fail(
            QStringLiteral("%1: %2 Hz is not a sample rate MP3 can carry").arg(input).arg(format.samplesPerSec));
    }

    const double bytesPerFrame = format.blockAlign;
    wave.Close();

    // The conversion job builds the MP3 beside its target and renames it only when complete.
    CWavToMp3Job job;
    job.SetFiles({input});
    job.SetBitrate(bitrate);
    job.SetVbrQuality(vbrQuality);
    job.SetOutputPath(output);
    job.SetReplaceExisting(force);
    CJobRunner runner(job);
    // The job counts data bytes per sample rate: a frame's bytes to the second.
    runner.SetProgressUnits(bytesPerFrame);
    return RunFileJob(job, runner, [&] { return QStringLiteral("cancelled: nothing was written to %1").arg(output); });
}
