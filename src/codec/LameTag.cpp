#include "codec/LameTag.h"

#include <algorithm>

namespace
{
constexpr std::size_t kEncoderNameSize = 9;
// Delay and padding share three bytes, twelve bits each, delay first.
constexpr std::size_t kDelayPaddingOffset = 21;
constexpr int kTwelveBitShift = 4;
constexpr int kLowNibble = 0x0F;
constexpr int kByteBits = 8;
} // namespace

std::optional<CLameTag> CLameTag::Read(const std::uint8_t* p, std::size_t available)
{
    if (p == nullptr || available < kSize || p[0] == 0) {
        return std::nullopt;
    }
    CLameTag tag;
    const auto* name = reinterpret_cast<const char*>(p);
    tag.m_encoder.assign(name, std::find(name, name + kEncoderNameSize, '\0'));
    const std::uint8_t* delayPadding = p + kDelayPaddingOffset;
    tag.m_encoderDelay = delayPadding[0] << kTwelveBitShift | delayPadding[1] >> kTwelveBitShift;
    tag.m_padding = (delayPadding[1] & kLowNibble) << kByteBits | delayPadding[2];
    return tag;
}
