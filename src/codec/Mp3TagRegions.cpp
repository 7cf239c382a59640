#include "codec/Mp3TagRegions.h"

#include "codec/ByteSource.h"

#include <array>
#include <cstring>

namespace
{
constexpr std::size_t kId3v2HeaderBytes = 10;
constexpr std::size_t kId3v2FooterBytes = 10;
constexpr std::uint8_t kId3v2FooterFlag = 0x10;
constexpr std::size_t kSizeFieldOffset = 6;
constexpr int kSyncsafeBits = 7;
constexpr std::uint8_t kSyncsafeLimit = 0x80;
constexpr std::uint8_t kUnusedVersion = 0xFF;
constexpr std::size_t kId3v1Bytes = 128;
constexpr char kId3v2Marker[] = "ID3";
constexpr char kId3v1Marker[] = "TAG";
constexpr std::size_t kMarkerBytes = 3;
// An APE tag ends in a 32-byte footer: "APETAGEX", version, the size of the items and the
// footer, the item count and flags, of which the highest says a header of 32 bytes leads.
constexpr char kApeMarker[] = "APETAGEX";
constexpr std::size_t kApeMarkerBytes = 8;
constexpr std::size_t kApeFooterBytes = 32;
constexpr std::size_t kApeSizeOffset = 12;
constexpr std::size_t kApeFlagsOffset = 20;
constexpr std::uint32_t kApeHasHeaderFlag = 0x80000000u;

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The size of the APE tag whose footer this is (header included), or 0 when it is none or the
// tag would be larger than room.
std::size_t ApeFooterSize(const std::uint8_t* footer, std::size_t room)
{
    if (std::memcmp(footer, kApeMarker, kApeMarkerBytes) != 0) {
        return 0;
    }
    const std::uint64_t size = Le32(footer + kApeSizeOffset) +
                               ((Le32(footer + kApeFlagsOffset) & kApeHasHeaderFlag) != 0 ? kApeFooterBytes : 0);
    return size >= kApeFooterBytes && size <= room ? static_cast<std::size_t>(size) : 0;
}

// The size of the APE tag that ends at end (header included), or 0 when none ends there.
std::size_t ApeBytes(const std::uint8_t* data, std::size_t end, std::size_t earliest)
{
    if (end < earliest + kApeFooterBytes) {
        return 0;
    }
    return ApeFooterSize(data + end - kApeFooterBytes, end - earliest);
}

// The size of the ID3v2 tag at p (header and footer included), or 0 when none starts there.
std::size_t Id3v2Bytes(const std::uint8_t* p, std::size_t available)
{
    if (available < kId3v2HeaderBytes || std::memcmp(p, kId3v2Marker, kMarkerBytes) != 0 || p[3] == kUnusedVersion ||
        p[4] == kUnusedVersion) {
        return 0;
    }
    std::size_t body = 0;
    for (std::size_t i = kSizeFieldOffset; i < kId3v2HeaderBytes; ++i) {
        if (p[i] >= kSyncsafeLimit) {
            return 0;
        }
        body = (body << kSyncsafeBits) | p[i];
    }
    const std::size_t total = kId3v2HeaderBytes + body + ((p[5] & kId3v2FooterFlag) != 0 ? kId3v2FooterBytes : 0);
    return total <= available ? total : 0;
}
} // namespace

Mp3TagRegions Mp3TagRegions::Find(const std::uint8_t* data, std::size_t size)
{
    Mp3TagRegions regions;
    if (data == nullptr) {
        return regions;
    }
    for (std::size_t tag = Id3v2Bytes(data, size); tag != 0;
         tag = Id3v2Bytes(data + regions.leadingBytes, size - regions.leadingBytes)) {
        regions.leadingBytes += tag;
    }
    if (size - regions.leadingBytes >= kId3v1Bytes &&
        std::memcmp(data + size - kId3v1Bytes, kId3v1Marker, kMarkerBytes) == 0) {
        regions.trailingBytes = kId3v1Bytes;
    }
    regions.trailingBytes += ApeBytes(data, size - regions.trailingBytes, regions.leadingBytes);
    return regions;
}

Mp3TagRegions Mp3TagRegions::Find(CByteSource& source)
{
    Mp3TagRegions regions;
    const std::uint64_t size = source.Size();
    std::array<std::uint8_t, kId3v2HeaderBytes> header{};
    // A tag's header says its size; the whole tag need not be read to step over it. Only the
    // header is looked at, and the size is checked against what is left of the file.
    while (source.ReadExactly(regions.leadingBytes, header.size(), header.data())) {
        const std::size_t tag = Id3v2Bytes(header.data(), std::size_t(size - regions.leadingBytes));
        if (tag == 0) {
            break;
        }
        regions.leadingBytes += tag;
    }
    std::array<std::uint8_t, kMarkerBytes> marker{};
    if (size - regions.leadingBytes >= kId3v1Bytes &&
        source.ReadExactly(size - kId3v1Bytes, marker.size(), marker.data()) &&
        std::memcmp(marker.data(), kId3v1Marker, kMarkerBytes) == 0) {
        regions.trailingBytes = kId3v1Bytes;
    }
    // An APE tag before the ID3v1 tag is known by its footer alone.
    std::array<std::uint8_t, kApeFooterBytes> footer{};
    const std::uint64_t apeEnd = size - regions.trailingBytes;
    if (apeEnd >= regions.leadingBytes + kApeFooterBytes &&
        source.ReadExactly(apeEnd - kApeFooterBytes, footer.size(), footer.data())) {
        const std::size_t room = std::size_t(apeEnd - regions.leadingBytes);
        regions.trailingBytes += ApeFooterSize(footer.data(), room);
    }
    return regions;
}
