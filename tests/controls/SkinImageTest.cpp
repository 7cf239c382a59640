#include "controls/SkinImage.h"

#include "controls/SkinBackground.h"

#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

namespace
{
QByteArray Header(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    QByteArray header(CSkinImage::kHeaderSize, '\0');
    qToLittleEndian(left, header.data());
    qToLittleEndian(top, header.data() + 4);
    qToLittleEndian(right, header.data() + 8);
    qToLittleEndian(bottom, header.data() + 12);
    return header;
}
} // namespace

TEST(SkinImageTest, ReadsPixelsInStoredOrderWhereverTheRectangleLies)
{
    // A 2 x 1 picture cut at (-5, 7): bytes B, G, R, A per pixel.
    QByteArray data = Header(-5, 7, -3, 8);
    data.append("\x01\x02\x03\x04\x11\x22\x33\x44", 8);
    CSkinImage image;
    ASSERT_TRUE(image.LoadFromBytes(data));
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.Height(), 1);
    EXPECT_EQ(image.Pixel(0, 0), 0x04030201u);
    EXPECT_EQ(image.Pixel(1, 0), 0x44332211u);

    CSkinImage again;
    ASSERT_TRUE(again.LoadFromBytes(CSkinImage::Encode(2, 1, image.Pixels())));
    EXPECT_EQ(again.Pixels(), image.Pixels());
}

TEST(SkinImageTest, RefusesEveryHeaderThatDisagreesWithTheBytes)
{
    const QByteArray pixels(4 * 6, '\x7f');
    const QByteArray cases[] = {
        QByteArray("\x00\x00\x00", 3),                       // shorter than the header
        Header(0, 0, 3, 2) + pixels.left(pixels.size() - 1), // truncated pixels
        Header(0, 0, 3, 2) + pixels + QByteArray(1, '\0'),   // trailing byte
        Header(3, 0, 0, 2) + pixels,                         // negative width
        Header(0, 0, 0, 0),                                  // empty picture
        Header(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX),  // sizes overflowing 32 bits
        Header(0, 0, CSkinImage::kMaxSide + 1, 1) + QByteArray(4 * (CSkinImage::kMaxSide + 1), '\0'),
    };
    CSkinImage image;
    ASSERT_TRUE(image.LoadFromBytes(Header(0, 0, 3, 2) + pixels));
    for (const QByteArray& data : cases) {
        EXPECT_FALSE(image.LoadFromBytes(data));
        EXPECT_TRUE(image.IsNull()); // a failed load never keeps an earlier picture
    }
    EXPECT_FALSE(image.LoadResource(99999));
    EXPECT_TRUE(CSkinImage::Encode(2, 2, std::vector<std::uint32_t>(3)).isEmpty());
}

TEST(SkinImageTest, BlendsBySignedDifferenceOver256)
{
    EXPECT_EQ(CSkinImage::BlendChannel(0, 255, 128), 127);
    EXPECT_EQ(CSkinImage::BlendChannel(200, 100, 128), 150);
    // A darker picture rounds down, not towards the background: the shift is arithmetic.
    EXPECT_EQ(CSkinImage::BlendChannel(100, 99, 128), 99);
    EXPECT_EQ(CSkinImage::BlendChannel(37, 250, 0), 37);
    EXPECT_EQ(CSkinImage::BlendChannel(37, 250, 255), 250);
    EXPECT_EQ(CSkinImage::BlendPixel(0xFF000000u, 0x80FFFFFFu), 0xFF7F7F7Fu);
    EXPECT_EQ(CSkinImage::BlendPixel(0x00123456u, 0x00FFFFFFu), 0xFF123456u);

    QImage surface(4, 4, QImage::Format_RGB32);
    surface.fill(Qt::black);
    CSkinImage picture;
    ASSERT_TRUE(picture.LoadFromBytes(CSkinImage::Encode(2, 2, {0x80FF0000u, 0xFF00FF00u, 0x00FFFFFFu, 0x80FFFFFFu})));
    SkinBackground::Composite(surface, picture, QPoint(3, 3)); // only its top-left pixel lands
    EXPECT_EQ(surface.pixel(3, 3), qRgb(127, 0, 0));
    EXPECT_EQ(surface.pixel(2, 2), qRgb(0, 0, 0));
}

TEST(SkinImageTest, EveryShippedPictureHasItsSize)
{
    struct Expected
    {
        int first;
        int last;
        int width;
        int height;
    };
    const Expected table[] = {{137, 142, 124, 44}, {152, 155, 124, 44}, {143, 151, 36, 35}, {156, 156, 36, 35},
                              {157, 164, 84, 38},  {165, 165, 140, 21}, {166, 167, 16, 21}, {174, 174, 24, 80},
                              {175, 176, 20, 16},  {178, 179, 48, 45}};
    for (const Expected& row : table) {
        for (int id = row.first; id <= row.last; ++id) {
            CSkinImage image;
            ASSERT_TRUE(image.LoadResource(id)) << id;
            EXPECT_EQ(image.Width(), row.width) << id;
            EXPECT_EQ(image.Height(), row.height) << id;
            // The high-density picture: the same at twice the pixels.
            CSkinImage doubled;
            ASSERT_TRUE(doubled.LoadResource(id, 2)) << id;
            EXPECT_EQ(doubled.Width(), 2 * row.width) << id;
            EXPECT_EQ(doubled.Height(), 2 * row.height) << id;
        }
    }
    for (const char* name : {":/bitmap/135", ":/bitmap/185", ":/bitmap/187", ":/icon/128", ":/bitmap/177"}) {
        const QImage normal(QString::fromLatin1(name) + QStringLiteral(".png"));
        const QImage doubled(QString::fromLatin1(name) + QStringLiteral("@2x.png"));
        EXPECT_FALSE(normal.isNull()) << name;
        EXPECT_EQ(doubled.size(), normal.size() * 2) << name;
    }
    EXPECT_EQ(QImage(QStringLiteral(":/bitmap/177.png")).height(), 31);
}
