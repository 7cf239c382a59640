// liblame_enc.so's configuration record and whatever PCM follows it: the record is read field
// by field and must refuse what it cannot honour; a stream it accepts must encode any sample
// count (odd ones included) within the output size it promised, then flush.
#include "platform/lame_enc/LameStream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace
{
// Enough PCM for a few frames; more only slows the search down.
constexpr std::size_t kMaxPcmBytes = 32768;
constexpr std::size_t kGuardBytes = 64;
constexpr std::uint8_t kGuard = 0xA5;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::array<std::uint8_t, kBeConfigSize> record{};
    std::memcpy(record.data(), data, std::min<std::size_t>(size, kBeConfigSize));
    BeError error = kBeOk;
    const std::unique_ptr<CLameStream> stream = CLameStream::Create(record.data(), error);
    if (!stream) {
        return 0;
    }
    const std::size_t pcmBytes = size > kBeConfigSize ? std::min(size - kBeConfigSize, kMaxPcmBytes) : 0;
    std::vector<std::int16_t> pcm(pcmBytes / sizeof(std::int16_t));
    std::memcpy(pcm.data(), data + kBeConfigSize, pcm.size() * sizeof(std::int16_t));

    const auto sampleCount = static_cast<std::uint32_t>(pcm.size());
    const std::size_t capacity =
        std::size_t(stream->OutputBufferSize()) * (sampleCount / stream->SamplesPerChunk() + 1);
    std::vector<std::uint8_t> output(capacity + kGuardBytes, kGuard);
    std::uint32_t produced = 0;
    // Two calls split the samples unevenly, so a stereo frame can straddle them.
    const std::uint32_t first = sampleCount / 3;
    stream->Encode(first, pcm.data(), output.data(), produced);
    stream->Encode(sampleCount - first, pcm.data() + first, output.data(), produced);
    stream->Flush(output.data(), produced);
    for (std::size_t i = capacity; i < output.size(); ++i) {
        if (output[i] != kGuard) {
            __builtin_trap();
        }
    }
    return 0;
}
