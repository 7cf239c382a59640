// Measures arbitrary bytes as MP3 and as WAV. Neither may read outside the bytes, and a length
// can never be negative. The frame scanner must also give the same answer whether it sees the
// bytes whole or in windows, as it does when a file is read block by block.
#include "codec/MediaLength.h"
#include "codec/MpegFrameScanner.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
std::int64_t ScanInWindows(const std::vector<std::uint8_t>& bytes, std::size_t windowSize)
{
    CMpegFrameScanner scanner(0, bytes.size());
    while (!scanner.Finished()) {
        const auto offset = static_cast<std::size_t>(scanner.NextOffset());
        // An exact-size copy of each window, so a read past it is caught.
        const std::vector<std::uint8_t> window(
            bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), offset + windowSize)));
        scanner.Scan(window.data(), window.size());
        if (!scanner.Finished() && scanner.NextOffset() == offset) {
            std::abort(); // no progress
        }
    }
    return scanner.Milliseconds();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    if (CMediaLength::Mp3LengthMs(bytes.data(), bytes.size()) < 0 ||
        CMediaLength::WavLengthMs(bytes.data(), bytes.size()) < 0) {
        std::abort();
    }

    // Small inputs are repeated until they span several windows, so frames cross window edges.
    std::vector<std::uint8_t> stream = bytes;
    while (size > 0 && stream.size() < 3 * CMpegFrameScanner::kLookahead) {
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    CMpegFrameScanner whole(0, stream.size());
    whole.Scan(stream.data(), stream.size());
    const std::size_t windowSize = CMpegFrameScanner::kLookahead + 256 + (size > 0 ? data[0] * 29u : 0u);
    if (ScanInWindows(stream, windowSize) != whole.Milliseconds()) {
        std::abort();
    }
    return 0;
}
