// The join's rate and channel conversion fed arbitrary pieces: every MP3 input decides the
// source rate and channel count of its frames, so a hostile file can pick any pair. The first
// bytes choose the target format and each piece's source format; the rest are the samples.
#include "audio/JoinState.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
// Every rate an MPEG audio frame can carry, and a few a record format might hold.
constexpr std::array<std::uint32_t, 10> kRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
constexpr std::array<std::size_t, 3> kFrameLengths = {384, 576, 1152};
constexpr std::size_t kHeaderBytes = 3;
constexpr std::size_t kPieceHeaderBytes = 2;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kHeaderBytes) {
        return 0;
    }
    const std::uint32_t targetRate = kRates[data[0] % kRates.size()];
    const std::uint16_t targetChannels = data[1] % 2 + 1;
    const std::size_t chunkBytes = kFrameLengths[data[2] % kFrameLengths.size()] * targetChannels * 2;
    data += kHeaderBytes;
    size -= kHeaderBytes;

    CJoinState state;
    state.Reset(chunkBytes, targetRate, targetChannels);
    const auto encode = [chunkBytes](const std::int16_t* chunk) {
        // Touch the whole chunk, so one handed over short of a chunk shows.
        volatile std::int16_t sink = 0;
        for (std::size_t i = 0; i < chunkBytes / 2; ++i) {
            sink = static_cast<std::int16_t>(sink ^ chunk[i]);
        }
        return true;
    };
    std::vector<std::int16_t> piece;
    while (size >= kPieceHeaderBytes) {
        const std::uint32_t sourceRate = kRates[data[0] % kRates.size()];
        const std::uint16_t channels = data[1] % 2 + 1;
        data += kPieceHeaderBytes;
        size -= kPieceHeaderBytes;
        // At most one chunk of whole sample frames, as the sink cuts them.
        std::size_t count = std::min(size / 2, chunkBytes / 2) / channels * channels;
        if (count == 0) {
            break;
        }
        piece.resize(count);
        std::memcpy(piece.data(), data, count * 2);
        data += count * 2;
        size -= count * 2;
        if (!state.AddPiece(piece.data(), piece.size(), sourceRate, channels, encode)) {
            std::abort();
        }
    }
    const auto encodeLast = [chunkBytes](const std::int16_t* chunk, std::size_t sampleCount) {
        if (sampleCount > chunkBytes / 2) {
            std::abort();
        }
        volatile std::int16_t sink = 0;
        for (std::size_t i = 0; i < sampleCount; ++i) {
            sink = static_cast<std::int16_t>(sink ^ chunk[i]);
        }
        return true;
    };
    if (!state.FlushCarry(encodeLast)) {
        std::abort();
    }
    return 0;
}
