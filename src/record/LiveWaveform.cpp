#include "record/LiveWaveform.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
constexpr int kBytesPerSample = 2;
constexpr std::uint32_t kUnsignedOffset = 32767;
constexpr std::uint32_t kSampleValues = 65536;
constexpr int kLargestUnsigned = 65535;

int SampleAt(const std::uint8_t* bytes)
{
    std::int16_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}
} // namespace

namespace LiveWaveform
{
std::vector<QPoint> Polyline(const std::uint8_t* pcm, std::size_t byteCount, int channels, const QRect& area)
{
    std::vector<QPoint> points;
    const int width = area.width();
    const int height = area.height();
    if (pcm == nullptr || channels < 1 || width <= 0 || height <= 0) {
        return points;
    }
    const std::size_t step = std::size_t(channels) * kBytesPerSample;
    const std::size_t samplesPerColumn = byteCount / step / std::size_t(width);
    if (samplesPerColumn == 0 || samplesPerColumn >= std::size_t(kMaxSamplesPerColumn)) {
        return points;
    }
    // A window taller than the value range would divide by zero; one value per pixel is the most.
    const int valuesPerPixel = std::max(kLargestUnsigned / height, 1);

    points.reserve(std::size_t(width) * 2 + 1);
    points.emplace_back(area.left(), area.top() + height / 2);
    const std::uint8_t* sample = pcm;
    for (int column = 0; column < width; ++column) {
        int lowestY = INT_MAX;
        int highestY = INT_MIN;
        for (std::size_t i = 0; i < samplesPerColumn; ++i, sample += step) {
            const std::uint32_t value = (std::uint32_t(SampleAt(sample)) + kUnsignedOffset) % kSampleValues;
            const int y = area.top() + int(value) / valuesPerPixel;
            lowestY = std::min(lowestY, y);
            highestY = std::max(highestY, y);
        }
        const int x = area.left() + column;
        points.emplace_back(x, highestY);
        points.emplace_back(x, lowestY);
    }
    return points;
}
} // namespace LiveWaveform
