// Fills the tag frame of arbitrary bytes as if they were a recording cut off mid-way. Nothing may
// be read outside the bytes, and a frame handed back must fit where it goes and read back as a
// filled tag.
#include "codec/InfoTagRepair.h"
#include "platform/lame_enc/InfoTagFrame.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::size_t offset = 0;
    const std::vector<std::uint8_t> frame = CInfoTagRepair::FilledFrame(bytes.data(), bytes.size(), offset);
    if (frame.empty()) {
        return 0;
    }
    InfoTagFacts facts;
    if (offset + frame.size() > bytes.size() || !InfoTagFrame::Parse(frame.data(), frame.size(), facts) ||
        facts.placeholder) {
        std::abort();
    }
    return 0;
}
