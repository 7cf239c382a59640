#include "wave_editor/WaveDataPainter.h"

#include "codec/WaveFile.h"
#include "wave_editor/WaveData.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
constexpr int kBlock = 512;

// Every colour distinct, so a pixel tells which stroke drew it.
WaveStyle DistinctStyle()
{
    WaveStyle style;
    style.waveColour = 0x00C832;
    style.guideColour = 0x969696;
    style.separatorColour = 0xF0F0F0;
    style.rulerBackgroundColour = 0x202020;
    style.rulerLineColour = 0xFF0000;
    style.rulerTextColour = 0x0000FF;
    style.backgroundColour = 0x102030;
    return style;
}

QRgb Rgb(std::uint32_t colour)
{
    return 0xFF000000 | colour;
}

// blocks x 512 bytes of samples, every byte = fill, the entry bytes of block b = entry(b).
bool WriteWav(const QString& path, int channels, int bits, int blocks, char fill, int (*entry)(int) = nullptr)
{
    QByteArray data(blocks * kBlock, fill);
    for (int b = 0; entry != nullptr && b < blocks; ++b) {
        data.replace(b * kBlock + kBlock - 4, 4, QByteArray(4, static_cast<char>(entry(b))));
    }
    CWaveFile wave;
    const WaveFormat format = WaveFormat::Pcm(channels, 44100, bits);
    std::uint32_t written = 0;
    return wave.Open(path, &format, CWaveFile::kModeWrite) == CWaveFile::S_OK &&
           wave.Write(static_cast<std::uint32_t>(data.size()), data.constData(), &written) == CWaveFile::S_OK &&
           wave.Close() == CWaveFile::S_OK;
}

QImage PaintView(CWaveData& data, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    CWaveDataPainter::Paint(painter, data, {0, 4, width, 4 + height});
    return image;
}

bool RowHasColour(const QImage& image, int row, QRgb colour)
{
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, row) == colour) {
            return true;
        }
    }
    return false;
}

class WaveDataPainterTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    WaveStyle style = DistinctStyle();
    CWaveData data;
    void SetUp() override { data.SetStyle(&style); }
};
} // namespace

TEST_F(WaveDataPainterTest, UndrawableFilesGetTheBackgroundOnly)
{
    const QImage empty = PaintView(data, 120, 100);
    const QString deep = dir.filePath("deep.wav");
    ASSERT_TRUE(WriteWav(deep, 2, 24, 30, '\x40'));
    ASSERT_TRUE(data.Load(deep));
    for (const QImage& image : {empty, PaintView(data, 120, 100)}) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                ASSERT_EQ(image.pixel(x, y), Rgb(style.backgroundColour)) << x << "," << y;
            }
        }
    }
}

TEST_F(WaveDataPainterTest, SixteenBitStereoHasRulerGuidesSeparatorAndOutline)
{
    const QString wav = dir.filePath("silence.wav");
    ASSERT_TRUE(WriteWav(wav, 2, 16, 40, '\0'));
    ASSERT_TRUE(data.Load(wav));
    // Lanes of 255 rows: scale 257, silence (0x7FFF after the bias) lies on row 30 + 127.
    const QImage image = PaintView(data, 200, 542);
    EXPECT_EQ(image.pixel(0, 25), Rgb(style.rulerLineColour));  // label line of column 0
    EXPECT_EQ(image.pixel(10, 27), Rgb(style.rulerLineColour)); // minor tick
    EXPECT_EQ(image.pixel(5, 27), Rgb(style.rulerBackgroundColour));
    EXPECT_EQ(image.pixel(150, 30), Rgb(style.rulerLineColour)); // bottom line
    for (int row : {118, 195, 375, 452}) {
        EXPECT_EQ(image.pixel(150, row), Rgb(style.guideColour)) << row;
    }
    EXPECT_EQ(image.pixel(150, 286), Rgb(style.separatorColour));
    EXPECT_EQ(image.pixel(10, 157), Rgb(style.waveColour));
    EXPECT_EQ(image.pixel(10, 287 + 127), Rgb(style.waveColour));
    // Outline ends with the points (39 columns).
    EXPECT_EQ(image.pixel(100, 157), Rgb(style.backgroundColour));
}

TEST_F(WaveDataPainterTest, EightBitStereoHasNoGuideLines)
{
    const QString wav = dir.filePath("eight.wav");
    ASSERT_TRUE(WriteWav(wav, 2, 8, 40, '\x80'));
    ASSERT_TRUE(data.Load(wav));
    const QImage image = PaintView(data, 200, 542);
    for (int row = 31; row < image.height(); ++row) {
        ASSERT_FALSE(RowHasColour(image, row, Rgb(style.guideColour))) << row;
    }
    EXPECT_EQ(image.pixel(150, 286), Rgb(style.separatorColour));
    EXPECT_EQ(image.pixel(10, 30 + 128), Rgb(style.waveColour));
    EXPECT_EQ(image.pixel(10, 287 + 128), Rgb(style.waveColour));
}

TEST_F(WaveDataPainterTest, ScrollingStartsTheOutlineAtTheFirstVisibleColumn)
{
    // 8-bit mono at zoom 128: every entry byte is one column, four columns per block.
    const QString wav = dir.filePath("ramp.wav");
    ASSERT_TRUE(WriteWav(wav, 1, 8, 40, '\0', [](int b) { return 10 + 5 * b; }));
    ASSERT_TRUE(data.Load(wav));
    data.SetScroll(8); // block 2
    const QImage image = PaintView(data, 200, 285);
    EXPECT_EQ(image.pixel(1, 30 + 20), Rgb(style.waveColour));
    EXPECT_EQ(image.pixel(1, 30 + 10), Rgb(style.backgroundColour));
    EXPECT_EQ(image.pixel(5, 30 + 25), Rgb(style.waveColour)); // block 3
}
