// Feeds arbitrary bytes to the Btn_Dat skin picture reader. A picture it accepts must have the
// size its header promises and survive a write and read back unchanged.
#include "controls/SkinImage.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CSkinImage image;
    if (!image.LoadFromBytes(bytes)) {
        if (!image.IsNull())
            std::abort();
        return 0;
    }
    const std::size_t pixelCount = static_cast<std::size_t>(image.Width()) * image.Height();
    if (image.Pixels().size() != pixelCount || size != CSkinImage::kHeaderSize + 4 * pixelCount)
        std::abort();
    for (std::uint32_t pixel : image.Pixels()) {
        if ((CSkinImage::BlendPixel(0x00808080, pixel) >> 24) != 0xFF)
            std::abort();
    }
    CSkinImage again;
    if (!again.LoadFromBytes(CSkinImage::Encode(image.Width(), image.Height(), image.Pixels())) ||
        again.Pixels() != image.Pixels())
        std::abort();
    return 0;
}
