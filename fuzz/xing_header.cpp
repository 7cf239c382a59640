// Reads arbitrary bytes as the first frame of an MP3 file: the tag frame reader may not read
// outside the bytes nor past the frame's own length, and what it reports must hold together.
#include "codec/XingHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto xing = CXingHeader::Read(bytes.data(), bytes.size());
    if (!xing) {
        return 0;
    }
    if (xing->Frame().layer != 3 || xing->Frame().length > CMpegFrameHeader::kLargestFrameLength ||
        xing->Frame().length < CMpegFrameHeader::kSize) {
        std::abort();
    }
    if (const auto& lame = xing->LameTag()) {
        constexpr int kLargestTwelveBitValue = 0xFFF;
        if (lame->EncoderDelay() < 0 || lame->EncoderDelay() > kLargestTwelveBitValue || lame->Padding() < 0 ||
            lame->Padding() > kLargestTwelveBitValue || lame->Encoder().empty()) {
            std::abort();
        }
    }
    // The same bytes cut to the frame's length read the same: nothing past the frame was used.
    const auto cut = CXingHeader::Read(bytes.data(), std::min(bytes.size(), xing->Frame().length));
    if (!cut || cut->FrameCount() != xing->FrameCount() || cut->ByteCount() != xing->ByteCount() ||
        cut->LameTag().has_value() != xing->LameTag().has_value()) {
        std::abort();
    }
    return 0;
}
