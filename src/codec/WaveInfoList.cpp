#include "codec/WaveInfoList.h"

#include <cstring>

namespace
{
constexpr qsizetype kIdBytes = 4;
constexpr qsizetype kEntryHeaderBytes = 8; // id, size
constexpr char kInfoType[] = "INFO";

std::uint32_t Le32(const char* bytes)
{
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Up to the first zero byte: writers count the terminator in the size, and some pad further.
QByteArray Text(const char* start, qsizetype size)
{
    const auto* end = static_cast<const char*>(std::memchr(start, '\0', static_cast<std::size_t>(size)));
    return {start, end != nullptr ? end - start : size};
}
} // namespace

bool WaveInfoList::IsEmpty() const
{
    return title.isEmpty() && artist.isEmpty() && album.isEmpty() && comment.isEmpty() && date.isEmpty() &&
           genre.isEmpty() && track.isEmpty();
}

std::optional<WaveInfoList> WaveInfoList::Parse(const QByteArray& listBody)
{
    if (listBody.size() < kIdBytes || std::memcmp(listBody.constData(), kInfoType, kIdBytes) != 0) {
        return std::nullopt;
    }
    const struct
    {
        const char* id;
        QByteArray WaveInfoList::*field;
    } kFields[] = {
        {"INAM", &WaveInfoList::title},   {"IART", &WaveInfoList::artist}, {"IPRD", &WaveInfoList::album},
        {"ICMT", &WaveInfoList::comment}, {"ICRD", &WaveInfoList::date},   {"IGNR", &WaveInfoList::genre},
        {"ITRK", &WaveInfoList::track},
    };
    WaveInfoList info;
    QByteArray partNumber;
    qsizetype offset = kIdBytes;
    while (listBody.size() - offset >= kEntryHeaderBytes) {
        const char* entry = listBody.constData() + offset;
        const std::uint32_t size = Le32(entry + kIdBytes);
        if (size > static_cast<std::uint64_t>(listBody.size() - offset - kEntryHeaderBytes)) {
            break;
        }
        const QByteArray text = Text(entry + kEntryHeaderBytes, static_cast<qsizetype>(size));
        for (const auto& known : kFields) {
            if (std::memcmp(entry, known.id, kIdBytes) == 0) {
                info.*known.field = text;
            }
        }
        if (std::memcmp(entry, "IPRT", kIdBytes) == 0) {
            partNumber = text;
        }
        // Entries of odd size are followed by one pad byte.
        offset += kEntryHeaderBytes + static_cast<qsizetype>(size) + static_cast<qsizetype>(size & 1);
    }
    if (info.track.isEmpty()) {
        info.track = partNumber;
    }
    return info;
}
