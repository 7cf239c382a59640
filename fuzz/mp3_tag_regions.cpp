// Finds the tag regions of arbitrary bytes. They must lie inside the bytes and never overlap.
#include "codec/Mp3TagRegions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const Mp3TagRegions regions = Mp3TagRegions::Find(bytes.data(), bytes.size());
    if (regions.leadingBytes + regions.trailingBytes > size) {
        std::abort();
    }
    return 0;
}
