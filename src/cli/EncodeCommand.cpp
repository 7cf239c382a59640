#include "cli/EncodeCommand.h"

#include "app/RecordSettings.h"
#include "app/ReplacementFile.h"
#include "audio/WaveFile.h"
#include "cli/CliArguments.h"
#include "record/Mp3StreamEncoder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace
{
constexpr int kMinBitrateKbps = 8;
constexpr int kMaxBitrateKbps = 320;
constexpr std::uint16_t kEightBits = 8;
constexpr std::uint16_t kSixteenBits = 16;
constexpr int kEightBitMidpoint = 128;
constexpr int kEightToSixteenShift = 8;
// Sample rates an MP3 stream can carry (MPEG-1, MPEG-2 and MPEG-2.5).
constexpr std::array<std::uint32_t, 9> kMp3SampleRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Reads one chunk of 16-bit PCM from the WAV, widening 8-bit samples; the last chunk is padded
// with silence. Returns the bytes of real audio in the chunk, 0 at the end, -1 on a read error.
qint64 ReadChunk(CWaveFile& wave, bool eightBit, std::vector<std::uint8_t>& raw, std::vector<std::int16_t>& chunk)
{
    std::fill(chunk.begin(), chunk.end(), 0);
    const auto wanted = static_cast<std::uint32_t>(eightBit ? chunk.size() : chunk.size() * sizeof(std::int16_t));
    std::uint32_t got = 0;
    void* target = eightBit ? static_cast<void*>(raw.data()) : static_cast<void*>(chunk.data());
    if (wave.Read(target, wanted, &got) != CWaveFile::S_OK) {
        return -1;
    }
    if (eightBit) {
        for (std::uint32_t i = 0; i < got; ++i) {
            chunk[i] = static_cast<std::int16_t>((int(raw[i]) - kEightBitMidpoint) << kEightToSixteenShift);
        }
    }
    return got;
}
} // namespace

int CEncodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("bitrate")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("encode takes an input WAV and an output MP3"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);

    int bitrate = CRecordSettings::Instance().Bitrate();
    if (const auto value = args.Value(QStringLiteral("bitrate"))) {
        bool ok = false;
        bitrate = value->toInt(&ok);
        if (!ok || bitrate < kMinBitrateKbps || bitrate > kMaxBitrateKbps) {
            return UsageError(
                QStringLiteral("--bitrate takes kbps from %1 to %2").arg(kMinBitrateKbps).arg(kMaxBitrateKbps));
        }
    }
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    if (SameFile(input, output)) {
        return Fail(QStringLiteral("%1: the output would overwrite the input").arg(output));
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

    CReplacementFile target(output);
    if (!target.Create()) {
        return Fail(QStringLiteral("%1: cannot be created").arg(output));
    }
    CMp3StreamEncoder encoder;
    encoder.SetFormat(RecordFormat::Pcm16(format.channels, format.samplesPerSec));
    encoder.SetOutputPath(target.TemporaryPath());
    encoder.SetBitrate(bitrate);
    if (!encoder.Open(0)) {
        return Fail(QStringLiteral("%1: %2").arg(output, CMp3StreamEncoder::ErrorText(encoder.LastError())));
    }

    const bool eightBit = format.bitsPerSample == kEightBits;
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(encoder.ChunkBytes()) / sizeof(std::int16_t));
    std::vector<std::uint8_t> raw(eightBit ? chunk.size() : 0);
    for (;;) {
        const qint64 got = ReadChunk(wave, eightBit, raw, chunk);
        if (got < 0) {
            return Fail(QStringLiteral("%1: read error").arg(input));
        }
        if (got == 0) {
            break;
        }
        encoder.EncodeChunk(chunk.data());
        if (encoder.LastError() != CMp3StreamEncoder::Error::None) {
            return Fail(QStringLiteral("%1: %2").arg(output, CMp3StreamEncoder::ErrorText(encoder.LastError())));
        }
    }
    if (!encoder.Finish()) {
        return Fail(QStringLiteral("%1: %2").arg(output, CMp3StreamEncoder::ErrorText(encoder.LastError())));
    }
    if (!target.Commit()) {
        return Fail(QStringLiteral("%1: cannot be written").arg(output));
    }
    return kExitSuccess;
}
