#include "codec/XingHeader.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::size_t kTagIdSize = 4;
constexpr std::size_t kFieldSize = 4;
constexpr std::uint32_t kFramesFlag = 0x1;
constexpr std::uint32_t kBytesFlag = 0x2;
constexpr std::uint32_t kTableOfContentsFlag = 0x4;
constexpr std::uint32_t kQualityFlag = 0x8;
constexpr std::size_t kTableOfContentsSize = 100;

// A VBRI tag stands at a fixed place, behind 32 bytes of side information whatever the stream:
// id, version, delay, quality (two bytes each after the id), then bytes and frames.
constexpr std::size_t kVbriOffset = CMpegFrameHeader::kSize + 32;
constexpr std::size_t kVbriBytesOffset = kTagIdSize + 2 + 2 + 2;
constexpr std::size_t kVbriFramesOffset = kVbriBytesOffset + kFieldSize;
constexpr std::size_t kVbriMinimumSize = kVbriFramesOffset + kFieldSize;

std::uint32_t ReadBe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}
} // namespace

std::optional<CXingHeader> CXingHeader::Read(const std::uint8_t* frame, std::size_t size)
{
    CMpegFrameHeader header;
    if (frame == nullptr || size < CMpegFrameHeader::kSize || !CMpegFrameHeader::Parse(frame, header) ||
        header.layer != 3) {
        return std::nullopt;
    }
    // Nothing of the tag may be read from beyond the frame: the next frame is sound.
    size = std::min(size, header.length);
    if (auto xing = ReadXing(frame, size, header)) {
        return xing;
    }
    return ReadVbri(frame, size, header);
}

std::optional<CXingHeader> CXingHeader::ReadXing(const std::uint8_t* frame, std::size_t size,
                                                 const CMpegFrameHeader& header)
{
    std::size_t position = CMpegFrameHeader::kSize + header.SideInfoSize();
    if (size < position + kTagIdSize + kFieldSize) {
        return std::nullopt;
    }
    CXingHeader xing;
    if (std::memcmp(frame + position, "Xing", kTagIdSize) == 0) {
        xing.m_kind = Kind::Xing;
    } else if (std::memcmp(frame + position, "Info", kTagIdSize) == 0) {
        xing.m_kind = Kind::Info;
    } else {
        return std::nullopt;
    }
    xing.m_frame = header;
    const std::uint32_t flags = ReadBe32(frame + position + kTagIdSize);
    position += kTagIdSize + kFieldSize;

    // The fields stand in a fixed order, each only when its flag is set; a frame too short for
    // a field it announces keeps what came before it.
    auto takeField = [&](std::uint32_t flag, std::size_t fieldSize) {
        if ((flags & flag) == 0) {
            return std::optional<std::size_t>();
        }
        if (size - position < fieldSize) {
            position = size;
            return std::optional<std::size_t>();
        }
        const std::size_t at = position;
        position += fieldSize;
        return std::optional<std::size_t>(at);
    };
    if (const auto at = takeField(kFramesFlag, kFieldSize)) {
        xing.m_frameCount = ReadBe32(frame + *at);
    }
    if (const auto at = takeField(kBytesFlag, kFieldSize)) {
        xing.m_byteCount = ReadBe32(frame + *at);
    }
    takeField(kTableOfContentsFlag, kTableOfContentsSize);
    takeField(kQualityFlag, kFieldSize);
    xing.m_lameTag = CLameTag::Read(frame + position, size - position);
    return xing;
}

std::optional<CXingHeader> CXingHeader::ReadVbri(const std::uint8_t* frame, std::size_t size,
                                                 const CMpegFrameHeader& header)
{
    if (size < kVbriOffset + kVbriMinimumSize || std::memcmp(frame + kVbriOffset, "VBRI", kTagIdSize) != 0) {
        return std::nullopt;
    }
    CXingHeader vbri;
    vbri.m_kind = Kind::Vbri;
    vbri.m_frame = header;
    vbri.m_byteCount = ReadBe32(frame + kVbriOffset + kVbriBytesOffset);
    vbri.m_frameCount = ReadBe32(frame + kVbriOffset + kVbriFramesOffset);
    return vbri;
}
