#include "codec/ByteSource.h"

bool CByteSource::ReadExactly(std::uint64_t offset, std::size_t length, std::uint8_t* out)
{
    while (length > 0) {
        const std::size_t got = ReadAt(offset, length, out);
        if (got == 0) {
            return false;
        }
        offset += got;
        out += got;
        length -= got;
    }
    return true;
}
