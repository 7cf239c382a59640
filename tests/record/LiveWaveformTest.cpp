// The live waveform's line, checked against values worked out by hand.
#include "record/LiveWaveform.h"

#include <gtest/gtest.h>

namespace
{
constexpr int kWindowBytes = 11520;

// A window of 16-bit frames whose first channel is set per column: the first half of each
// column holds `first[c]`, the second half `second[c]`; the other channel holds full scale
// noise that must not show.
std::vector<std::uint8_t> Window(int channels, int width, const std::vector<int>& first, const std::vector<int>& second)
{
    const int frames = kWindowBytes / (2 * channels);
    const int framesPerColumn = frames / width;
    std::vector<std::int16_t> samples(std::size_t(frames) * std::size_t(channels), 0);
    for (int frame = 0; frame < frames; ++frame) {
        const int column = std::min(frame / framesPerColumn, width - 1);
        const bool firstHalf = frame % framesPerColumn < framesPerColumn / 2;
        const std::size_t c = std::size_t(column);
        const int value = c < first.size() ? (firstHalf ? first[c] : second[c]) : 0;
        samples[std::size_t(frame) * std::size_t(channels)] = std::int16_t(value);
        if (channels == 2) {
            samples[std::size_t(frame) * 2 + 1] = std::int16_t(frame % 2 == 0 ? 32767 : -32768);
        }
    }
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}
} // namespace

TEST(LiveWaveformTest, EachColumnAddsItsLowestThenItsHighestPoint)
{
    // 10 columns of 100 pixels from y = 31: 2880 stereo frames give 288 samples a column, and
    // one pixel spans 65535 / 100 = 655 values of (sample + 32767) mod 65536.
    const QRect area(5, 31, 10, 100);
    const auto window = Window(2, 10, {0, -32767, -32768, 1000}, {32767, 1000, -1000, 1000});
    const std::vector<QPoint> line = LiveWaveform::Polyline(window.data(), window.size(), 2, area);
    ASSERT_EQ(line.size(), 21u);
    EXPECT_EQ(line[0], QPoint(5, 81)); // the left edge at mid-height
    // Column 0: 0 -> 32767 / 655 = 50, 32767 -> 65534 / 655 = 100.
    EXPECT_EQ(line[1], QPoint(5, 131));
    EXPECT_EQ(line[2], QPoint(5, 81));
    // Column 1: -32767 -> 0, 1000 -> 33767 / 655 = 51.
    EXPECT_EQ(line[3], QPoint(6, 82));
    EXPECT_EQ(line[4], QPoint(6, 31));
    // Column 2: -32768 wraps round to 65535 -> 100; -1000 -> 31767 / 655 = 48.
    EXPECT_EQ(line[5], QPoint(7, 131));
    EXPECT_EQ(line[6], QPoint(7, 79));
    // Column 3: a steady 1000.
    EXPECT_EQ(line[7], QPoint(8, 82));
    EXPECT_EQ(line[8], QPoint(8, 82));
    // The last column is the last point: the line stops at the right edge.
    EXPECT_EQ(line[20], QPoint(14, 81));
}

TEST(LiveWaveformTest, MonoStepsOneSampleAtATime)
{
    // 5760 mono samples over 8 columns: 720 a column.
    const QRect area(0, 0, 8, 655);
    const auto window = Window(1, 8, {-32767, 0}, {32767, 0});
    const std::vector<QPoint> line = LiveWaveform::Polyline(window.data(), window.size(), 1, area);
    ASSERT_EQ(line.size(), 17u);
    // 655 rows: 100 values a pixel.
    EXPECT_EQ(line[1], QPoint(0, 655));
    EXPECT_EQ(line[2], QPoint(0, 0));
    EXPECT_EQ(line[3], QPoint(1, 327));
    EXPECT_EQ(line[4], QPoint(1, 327));
}

TEST(LiveWaveformTest, DrawsNothingWhenAColumnWouldCoverTooManySamplesOrNone)
{
    const auto window = Window(2, 3, {}, {});
    // 2880 frames over 3 columns: 960 a column, drawn; over 2 columns: 1440, not drawn.
    EXPECT_EQ(LiveWaveform::Polyline(window.data(), window.size(), 2, QRect(0, 0, 3, 50)).size(), 7u);
    EXPECT_TRUE(LiveWaveform::Polyline(window.data(), window.size(), 2, QRect(0, 0, 2, 50)).empty());
    // Wider than there are samples.
    EXPECT_TRUE(LiveWaveform::Polyline(window.data(), window.size(), 2, QRect(0, 0, 4000, 50)).empty());
    EXPECT_TRUE(LiveWaveform::Polyline(window.data(), window.size(), 2, QRect(0, 0, 0, 50)).empty());
    EXPECT_TRUE(LiveWaveform::Polyline(window.data(), window.size(), 2, QRect(0, 0, 100, 0)).empty());
}
