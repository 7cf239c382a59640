#include "codec/Mp3AudioSpan.h"

#include <array>
#include <cstring>

namespace
{
constexpr std::size_t kMarkerSize = 3;
constexpr std::size_t kVersionOffset = 3;
constexpr std::size_t kRevisionOffset = 4;
constexpr std::size_t kFlagsOffset = 5;
constexpr std::size_t kSizeOffset = 6;
constexpr std::uint8_t kNoVersion = 0xFF;
constexpr std::uint8_t kFooterFlag = 0x10;
constexpr std::uint8_t kSyncsafeHighBit = 0x80;
constexpr int kSyncsafeBits = 7;

constexpr std::uint64_t kId3v1TagSize = 128;
constexpr std::size_t kApeFooterSize = 32;
constexpr std::size_t kApeTagSizeOffset = 12;
constexpr std::size_t kApeFlagsOffset = 20;
constexpr std::uint32_t kApeHasHeaderFlag = 0x80000000u;

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// An ID3v2 header ("ID3") or footer ("3DI"): marker, version, revision, flags, then the body's
// size in four bytes of seven bits each. Gives the whole tag's size.
std::uint64_t TagSize(const std::uint8_t* p, const char* marker)
{
    if (std::memcmp(p, marker, kMarkerSize) != 0 || p[kVersionOffset] == kNoVersion ||
        p[kRevisionOffset] == kNoVersion) {
        return 0;
    }
    std::uint64_t bodySize = 0;
    for (std::size_t i = kSizeOffset; i < CMp3AudioSpan::kId3v2HeaderSize; ++i) {
        if ((p[i] & kSyncsafeHighBit) != 0) {
            return 0;
        }
        bodySize = bodySize << kSyncsafeBits | p[i];
    }
    const bool hasFooter = (p[kFlagsOffset] & kFooterFlag) != 0;
    return CMp3AudioSpan::kId3v2HeaderSize + bodySize + (hasFooter ? CMp3AudioSpan::kId3v2HeaderSize : 0);
}
} // namespace

std::uint64_t CMp3AudioSpan::Id3v2TagSize(const std::uint8_t* p, std::size_t available)
{
    return p != nullptr && available >= kId3v2HeaderSize ? TagSize(p, "ID3") : 0;
}

CMp3AudioSpan CMp3AudioSpan::Find(std::uint64_t size, const ByteReader& read)
{
    std::array<std::uint8_t, kApeFooterSize> bytes{};

    // A tag that claims to run past the end of the file is broken; the audio is then looked for
    // right after its header, so nothing that may be sound is thrown away.
    std::uint64_t start = 0;
    while (read(start, kId3v2HeaderSize, bytes.data())) {
        const std::uint64_t tagSize = TagSize(bytes.data(), "ID3");
        if (tagSize == 0) {
            break;
        }
        if (tagSize > size - start) {
            start += kId3v2HeaderSize;
            break;
        }
        start += tagSize;
    }

    std::uint64_t end = size;
    for (;;) {
        const std::uint64_t audio = end - start;
        if (audio >= kId3v1TagSize && read(end - kId3v1TagSize, kMarkerSize, bytes.data()) &&
            std::memcmp(bytes.data(), "TAG", kMarkerSize) == 0) {
            end -= kId3v1TagSize;
            continue;
        }
        if (audio >= kApeFooterSize && read(end - kApeFooterSize, kApeFooterSize, bytes.data()) &&
            std::memcmp(bytes.data(), "APETAGEX", 8) == 0) {
            const bool hasHeader = (ReadLe32(bytes.data() + kApeFlagsOffset) & kApeHasHeaderFlag) != 0;
            const std::uint64_t tagSize =
                std::uint64_t(ReadLe32(bytes.data() + kApeTagSizeOffset)) + (hasHeader ? kApeFooterSize : 0);
            if (tagSize >= kApeFooterSize && tagSize <= audio) {
                end -= tagSize;
                continue;
            }
        }
        if (audio >= kId3v2HeaderSize && read(end - kId3v2HeaderSize, kId3v2HeaderSize, bytes.data())) {
            const std::uint64_t tagSize = TagSize(bytes.data(), "3DI");
            if (tagSize != 0 && tagSize <= audio) {
                end -= tagSize;
                continue;
            }
        }
        return CMp3AudioSpan(start, end);
    }
}

CMp3AudioSpan CMp3AudioSpan::InBuffer(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr) {
        return CMp3AudioSpan(0, 0);
    }
    return Find(size, [data, size](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
        if (offset > size || length > size - offset) {
            return false;
        }
        std::memcpy(out, data + offset, length);
        return true;
    });
}
