#include "audio/WavToMp3Job.h"

#include "app/OutputTarget.h"
#include "audio/TranscodeContext.h"
#include "audio/TranscodeContextScope.h"
#include "codec/WaveFile.h"
#include "platform/ReplacementFile.h"
#include "tags/Mp3TagFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
constexpr std::uint16_t kEightBits = 8;
constexpr std::uint16_t kSixteenBits = 16;
constexpr int kBitsPerByte = 8;
// An unsigned 8-bit sample b becomes b * 256 - 32767, which never leaves the 16-bit range.
constexpr int kWideningFactor = 256;
constexpr int kWideningOffset = 32767;

bool IsSupportedInput(const WaveFormat& format)
{
    return format.formatTag == WaveFormat::kPcmTag &&
           (format.bitsPerSample == kEightBits || format.bitsPerSample == kSixteenBits) &&
           (format.channels == 1 || format.channels == 2) && format.samplesPerSec > 0;
}

// Offsets inside a sample frame would shift every sample by a byte or a channel.
std::uint32_t AlignDown(std::uint32_t offset, std::uint32_t blockAlign)
{
    return blockAlign > 1 ? offset - offset % blockAlign : offset;
}
} // namespace

void CWavToMp3Job::SetRange(std::uint32_t startOffset, std::uint32_t endOffset)
{
    m_startOffset = startOffset;
    m_endOffset = endOffset;
}

bool CWavToMp3Job::ProcessFile(const QString& path)
{
    const CTranscodeContextScope scope;
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.bitrateKbps = m_bitrateKbps;
    context.vbrQuality = m_vbrQuality;
    context.inputPath = path;

    CWaveFile wave;
    if (wave.Open(path, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK) {
        ReportOpenError(path);
        return false;
    }
    const WaveFormat& input = *wave.Format();
    if (!IsSupportedInput(input)) {
        ReportFailure(
            QStringLiteral("%1: only 8- or 16-bit PCM WAV files with one or two channels can be converted").arg(path),
            true);
        return false;
    }
    const bool widening = input.bitsPerSample == kEightBits;
    const std::uint32_t rate = input.samplesPerSec;
    context.format = RecordFormat::Pcm16(input.channels, rate);
    context.format.avgBytesPerSec = input.channels * kSixteenBits * rate / kBitsPerByte;
    context.format.blockAlign = static_cast<std::uint16_t>(context.format.avgBytesPerSec / rate);
    SetFileRange(static_cast<int>(wave.GetSize() / rate));

    const bool ranged = m_startOffset != m_endOffset;
    const std::uint32_t startOffset = ranged ? AlignDown(m_startOffset, input.blockAlign) : 0;
    const std::uint32_t endOffset = ranged ? AlignDown(m_endOffset, input.blockAlign) : 0;
    // An MP3 without a single chunk of sound is no MP3 anyone can play.
    if (wave.GetSize() == 0 || (ranged && (startOffset >= wave.GetSize() || endOffset <= startOffset))) {
        ReportFailure(QStringLiteral("%1: no sound to encode in %2; nothing was written").arg(m_outputPath, path),
                      true);
        return false;
    }
    if (const QString refusal = COutputTarget::Refusal(m_outputPath, m_replaceExisting, {path}); !refusal.isEmpty()) {
        ReportFailure(refusal, true);
        return false;
    }

    // The MP3 is built beside its target and takes the name only when complete, so a failure
    // or a cancel never leaves a broken file or destroys one the user had.
    CReplacementFile target(m_outputPath,
                            m_replaceExisting ? CReplacementFile::Mode::Replace : CReplacementFile::Mode::CreateNew);
    if (m_outputPath.isEmpty() || !target.Create()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(m_outputPath), true);
        return false;
    }
    context.outputPath = target.TemporaryPath();
    if (!context.EnsureEncoder(0)) {
        ReportFailure(QStringLiteral("%1: %2").arg(m_outputPath, CMp3StreamEncoder::ErrorText(context.encoderError)),
                      true);
        return false;
    }
    CMp3StreamEncoder& encoder = *context.encoder;
    const auto chunk = static_cast<std::uint32_t>(encoder.ChunkBytes());
    const std::uint32_t readBytes = widening ? chunk / 2 : chunk;
    std::vector<std::uint8_t> readBuffer(readBytes);
    std::vector<std::int16_t> pcm(chunk / sizeof(std::int16_t));

    std::uint32_t position = 0;
    if (ranged) {
        std::uint32_t skipped = 0;
        wave.Read(nullptr, startOffset, &skipped);
        position = startOffset;
    }

    bool failed = false;
    int chunksEncoded = 0;
    for (;;) {
        std::uint32_t wanted = readBytes;
        // A range ends at its end offset, not at the end of the chunk that reaches it.
        if (ranged) {
            wanted = endOffset > position ? std::min(wanted, endOffset - position) : 0;
        }
        std::uint32_t got = 0;
        if (wanted == 0 || wave.Read(readBuffer.data(), wanted, &got) != CWaveFile::S_OK || got == 0) {
            break;
        }
        if (widening) {
            for (std::uint32_t i = 0; i < got; ++i) {
                pcm[i] = static_cast<std::int16_t>(readBuffer[i] * kWideningFactor - kWideningOffset);
            }
            std::fill(pcm.begin() + got, pcm.end(), std::int16_t(0));
        } else {
            auto* bytes = reinterpret_cast<std::uint8_t*>(pcm.data());
            std::copy_n(readBuffer.data(), got, bytes);
            std::fill(bytes + got, bytes + chunk, std::uint8_t(0));
        }
        if (m_volumeScale != 1.0 && std::isfinite(m_volumeScale)) {
            for (std::int16_t& sample : pcm) {
                const double scaled = std::round(sample * m_volumeScale);
                sample = static_cast<std::int16_t>(std::clamp(scaled, double(INT16_MIN), double(INT16_MAX)));
            }
        }
        const std::uint32_t pcmBytes = widening ? got * sizeof(std::int16_t) : got;
        if (pcmBytes < chunk) {
            // The end of the input: the file's tag then counts exactly the samples it holds.
            encoder.EncodeLastChunk(pcm.data(), static_cast<int>(pcmBytes));
        } else {
            encoder.EncodeChunk(pcm.data());
        }
        if (encoder.LastError() != CMp3StreamEncoder::Error::None) {
            failed = true;
            break;
        }
        ++chunksEncoded;
        if (ranged && position + got >= endOffset) {
            break;
        }
        context.frameCount += 1;
        PostFileProgress(static_cast<int>((position + got - startOffset) / rate));
        if (IsCancelRequested()) {
            break;
        }
        position += got;
    }

    // A cancelled conversion leaves nothing under the output's name: a shorter MP3 there would
    // pass for the whole one.
    if (IsCancelRequested()) {
        return false;
    }
    if (!failed && chunksEncoded == 0) {
        ReportFailure(QStringLiteral("%1: no sound to encode in %2; nothing was written").arg(m_outputPath, path),
                      true);
        return false;
    }
    if (failed || !encoder.Finish()) {
        ReportFailure(QStringLiteral("%1: %2").arg(m_outputPath, CMp3StreamEncoder::ErrorText(encoder.LastError())),
                      true);
        return false;
    }
    // What the WAV says of itself in its INFO list goes into the MP3's tags.
    if (!wave.Info().IsEmpty() && !CMp3TagFile::WriteInto(target.TemporaryPath(), CMp3TagFile::FieldsOf(wave.Info()))) {
        ReportFailure(QStringLiteral("%1: its tags cannot be written").arg(m_outputPath), true);
        return false;
    }
    if (!target.Commit()) {
        ReportFailure(QStringLiteral("Create File %1 Error").arg(m_outputPath), true);
        return false;
    }
    return true;
}
