// Loads arbitrary bytes as an MP3 file for listening (tag skipping, format probe) and plays
// them from the start and from a position reached by reading frame headers. Complaints about
// damaged frames go to stderr; that is expected.
#include "tags/Mp3ClipSource.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
constexpr std::int64_t kSeekMs = 150;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMp3ClipSource source;
    if (!source.LoadBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)))) {
        return 0;
    }
    const std::size_t blockAlign = source.Format().BlockAlign();
    for (const std::int64_t start : {std::int64_t(0), kSeekMs}) {
        unsigned checksum = 0;
        source.Run(start, [&](const std::uint8_t* pcm, std::size_t bytes) {
            // Whole samples only, and every byte touched so a write past the buffer shows.
            if (bytes % blockAlign != 0) {
                std::abort();
            }
            for (std::size_t i = 0; i < bytes; ++i) {
                checksum += pcm[i];
            }
            return true;
        });
    }
    return 0;
}
