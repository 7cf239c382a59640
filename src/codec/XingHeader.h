#pragma once

#include "codec/LameTag.h"
#include "codec/MpegFrameHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// The frame many encoders put first in an MP3 file to describe the stream instead of carrying
// sound: a Xing frame (VBR), an Info frame (the same for CBR) or a Fraunhofer VBRI frame. It
// tells how many audio frames and bytes follow, and a Xing/Info frame may carry a LAME tag with
// the encoder delay and padding. Such a frame is never sound, and its counts are the encoder's
// word only: the caller checks them against the file before trusting them.
class CXingHeader
{
public:
    enum class Kind
    {
        Xing,
        Info,
        Vbri
    };

    // Reads the frame that starts at frame (size bytes available from there); none when it is
    // not a layer III frame carrying one of the three tags inside its own length.
    static std::optional<CXingHeader> Read(const std::uint8_t* frame, std::size_t size);

    Kind GetKind() const { return m_kind; }
    // The tag frame's own header: its length, sample rate and samples per frame.
    const CMpegFrameHeader& Frame() const { return m_frame; }
    // Audio frames after this one, when the writer recorded them.
    std::optional<std::uint32_t> FrameCount() const { return m_frameCount; }
    // Bytes of the stream, this frame included, when the writer recorded them.
    std::optional<std::uint32_t> ByteCount() const { return m_byteCount; }
    const std::optional<CLameTag>& LameTag() const { return m_lameTag; }

private:
    static std::optional<CXingHeader> ReadXing(const std::uint8_t* frame, std::size_t size,
                                               const CMpegFrameHeader& header);
    static std::optional<CXingHeader> ReadVbri(const std::uint8_t* frame, std::size_t size,
                                               const CMpegFrameHeader& header);

    Kind m_kind = Kind::Xing;
    CMpegFrameHeader m_frame;
    std::optional<std::uint32_t> m_frameCount;
    std::optional<std::uint32_t> m_byteCount;
    std::optional<CLameTag> m_lameTag;
};
