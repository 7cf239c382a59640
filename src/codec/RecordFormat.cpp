#include "codec/RecordFormat.h"

namespace
{
constexpr std::uint32_t kBitsPerByte = 8;
} // namespace

void RecordFormat::RecomputeDerived()
{
    // Widen before multiplying: a damaged header must not overflow a narrow intermediate.
    const std::uint32_t bytesPerFrame = std::uint32_t{channels} * std::uint32_t{bitsPerSample} / kBitsPerByte;
    blockAlign = static_cast<std::uint16_t>(bytesPerFrame);
    avgBytesPerSec = samplesPerSec * std::uint32_t{blockAlign};
}

RecordFormat RecordFormat::Pcm16(std::uint16_t channels, std::uint32_t samplesPerSec)
{
    RecordFormat format;
    format.formatTag = kPcmTag;
    format.channels = channels;
    format.samplesPerSec = samplesPerSec;
    format.bitsPerSample = kBitsPerSample;
    format.extraSize = 0;
    format.RecomputeDerived();
    return format;
}
