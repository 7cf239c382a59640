#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// One skin picture of the Btn_Dat format: a little-endian header of four signed 32-bit values
// (left, top, right, bottom) followed by width x height pixels stored top row first, each as
// 0xAARRGGBB with straight (not premultiplied) alpha. Skin pictures ship as Qt resources
// ":/skin/<id>.btn". Loading never trusts the bytes: any size that disagrees with the header
// leaves the image empty and reports failure.
class CSkinImage
{
public:
    static constexpr int kHeaderSize = 16;
    // Far above any skin picture; keeps a hostile header from asking for gigabytes.
    static constexpr int kMaxSide = 4096;

    CSkinImage() = default;

    // Reads ":/skin/<id>.btn", or with `scale` 2 the same picture drawn for high-density
    // screens, ":/skin/<id>@2x.btn" (twice the width and height).
    bool LoadResource(int resourceId, int scale = 1);
    bool LoadFromBytes(const QByteArray& data);
    // The Btn_Dat bytes of a picture (rectangle 0, 0, width, height); empty when the sizes are
    // out of range or the pixel count disagrees. The skin painter writes the resources with it.
    static QByteArray Encode(int width, int height, const std::vector<std::uint32_t>& pixels);

    static QString ResourcePath(int resourceId, int scale = 1);

    bool IsNull() const { return m_pixels.empty(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // 0xAARRGGBB, row by row from the top.
    const std::vector<std::uint32_t>& Pixels() const { return m_pixels; }
    std::uint32_t Pixel(int x, int y) const { return m_pixels[static_cast<std::size_t>(y) * m_width + x]; }

    // The blending rule every skinned control uses: alpha 0 keeps the background, 255 takes the
    // picture, anything between moves the background towards the picture by alpha/256.
    static int BlendChannel(int background, int picture, int alpha);
    // background is 0x??RRGGBB (its top byte is ignored); the result is opaque 0xFFRRGGBB.
    static std::uint32_t BlendPixel(std::uint32_t background, std::uint32_t picture);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_pixels;
};
