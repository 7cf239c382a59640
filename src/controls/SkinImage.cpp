#include "controls/SkinImage.h"

#include <QFile>
#include <QtEndian>

namespace
{
constexpr int kBytesPerPixel = 4;
constexpr int kOpaque = 255;
constexpr int kAlphaShift = 24;
constexpr int kRedShift = 16;
constexpr int kGreenShift = 8;
constexpr std::uint32_t kChannelMask = 0xFF;
constexpr int kBlendShift = 8; // the blend divides by 256, not 255

std::int32_t ReadInt32(const QByteArray& data, int offset)
{
    return qFromLittleEndian<std::int32_t>(data.constData() + offset);
}

int Channel(std::uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & kChannelMask);
}
} // namespace

QString CSkinImage::ResourcePath(int resourceId, int scale)
{
    if (scale > 1)
        return QStringLiteral(":/skin/%1@%2x.btn").arg(resourceId).arg(scale);
    return QStringLiteral(":/skin/%1.btn").arg(resourceId);
}

bool CSkinImage::LoadResource(int resourceId, int scale)
{
    QFile file(ResourcePath(resourceId, scale));
    // Far more than the largest picture's bytes; a damaged resource is refused by size below.
    constexpr qint64 kMaxResourceBytes = kHeaderSize + qint64(kMaxSide) * kMaxSide * kBytesPerPixel;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxResourceBytes) {
        *this = CSkinImage();
        return false;
    }
    return LoadFromBytes(file.readAll());
}

bool CSkinImage::LoadFromBytes(const QByteArray& data)
{
    *this = CSkinImage();
    if (data.size() < kHeaderSize)
        return false;
    const std::int64_t left = ReadInt32(data, 0);
    const std::int64_t top = ReadInt32(data, 4);
    const std::int64_t right = ReadInt32(data, 8);
    const std::int64_t bottom = ReadInt32(data, 12);
    // 64-bit differences: right - left of two extreme 32-bit values overflows 32 bits.
    const std::int64_t width = right - left;
    const std::int64_t height = bottom - top;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const std::int64_t pixelCount = width * height;
    if (data.size() != kHeaderSize + pixelCount * kBytesPerPixel)
        return false;

    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(pixelCount));
    const char* source = data.constData() + kHeaderSize;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = qFromLittleEndian<std::uint32_t>(source + i * kBytesPerPixel);
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_pixels = std::move(pixels);
    return true;
}

QByteArray CSkinImage::Encode(int width, int height, const std::vector<std::uint32_t>& pixels)
{
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        pixels.size() != static_cast<std::size_t>(width) * height)
        return {};
    QByteArray data(kHeaderSize + static_cast<qsizetype>(pixels.size()) * kBytesPerPixel, Qt::Uninitialized);
    char* out = data.data();
    qToLittleEndian<std::int32_t>(0, out);
    qToLittleEndian<std::int32_t>(0, out + 4);
    qToLittleEndian<std::int32_t>(width, out + 8);
    qToLittleEndian<std::int32_t>(height, out + 12);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        qToLittleEndian<std::uint32_t>(pixels[i], out + kHeaderSize + i * kBytesPerPixel);
    return data;
}

int CSkinImage::BlendChannel(int background, int picture, int alpha)
{
    if (alpha <= 0)
        return background;
    if (alpha >= kOpaque)
        return picture;
    // The difference is signed and the shift arithmetic, so a darker picture rounds downwards
    // just as a lighter one does.
    return background + ((alpha * (picture - background)) >> kBlendShift);
}

std::uint32_t CSkinImage::BlendPixel(std::uint32_t background, std::uint32_t picture)
{
    const int alpha = Channel(picture, kAlphaShift);
    const auto blend = [&](int shift) {
        return static_cast<std::uint32_t>(BlendChannel(Channel(background, shift), Channel(picture, shift), alpha))
               << shift;
    };
    return (std::uint32_t(kOpaque) << kAlphaShift) | blend(kRedShift) | blend(kGreenShift) | blend(0);
}
