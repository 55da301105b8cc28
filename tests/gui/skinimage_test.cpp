#include "gui/skin/appicons.h"
#include "gui/skin/skinimage.h"
#include "testname.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace sonavell {
namespace {

struct BlendCase
{
    int background;
    int image;
    int alpha;
    int expected;
};

class BlendChannelTest : public ::testing::TestWithParam<BlendCase>
{
};

TEST_P(BlendChannelTest, MovesTheBackgroundTowardTheImage)
{
    const BlendCase c = GetParam();
    EXPECT_EQ(blendChannel(c.background, c.image, c.alpha), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlendChannelTest,
    ::testing::Values(BlendCase{77, 200, 0, 77},    // transparent keeps the background
                      BlendCase{77, 200, 255, 200}, // opaque takes the image
                      BlendCase{0, 200, 128, 100},  // half over black
                      BlendCase{200, 0, 128, 100},  // a negative product: -25600 >> 8
                      BlendCase{1, 0, 1, 0},        // -1 >> 8 is -1: rounds toward minus infinity
                      BlendCase{11, 10, 200, 10},   // likewise for a small step down
                      BlendCase{10, 11, 200, 10},   // a small step up rounds down to nothing
                      BlendCase{255, 0, 254, 1}, BlendCase{0, 255, 254, 253}),
    [](const auto &info) {
        const BlendCase &c = info.param;
        return "background" + std::to_string(c.background) + "_image" + std::to_string(c.image) + "_alpha" +
               std::to_string(c.alpha);
    });

struct DarkenCase
{
    int background;
    int alpha;
    int expected;
};

class DarkenChannelTest : public ::testing::TestWithParam<DarkenCase>
{
};

TEST_P(DarkenChannelTest, MovesTowardBlack)
{
    EXPECT_EQ(darkenChannel(GetParam().background, GetParam().alpha), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DarkenChannelTest,
                         ::testing::Values(DarkenCase{200, 0, 200}, DarkenCase{200, 128, 100},
                                           DarkenCase{200, 255, 0}, DarkenCase{1, 1, 0},
                                           DarkenCase{255, 64, 191}),
                         [](const auto &info) {
                             return "background" + std::to_string(info.param.background) + "_alpha" +
                                    std::to_string(info.param.alpha);
                         });

SkinImage image2x1(std::uint32_t left, std::uint32_t right)
{
    SkinImage image;
    image.width = 2;
    image.height = 1;
    image.pixels = {left, right};
    return image;
}

TEST(BlendOnto, MakesCoveredPixelsOfAThirtyTwoBitPictureOpaque)
{
    QImage target(3, 1, QImage::Format_ARGB32);
    target.fill(qRgba(0, 0, 0, 0));
    blendOnto(target, image2x1(0x00FFFFFF, 0x80C80000), QPoint(1, 0));
    EXPECT_EQ(target.pixel(0, 0), qRgba(0, 0, 0, 0));   // not covered
    EXPECT_EQ(target.pixel(1, 0), qRgba(0, 0, 0, 255)); // alpha 0: colour kept, made opaque
    EXPECT_EQ(target.pixel(2, 0), qRgba(100, 0, 0, 255));
}

TEST(BlendOnto, HandlesTwentyFourBitPicturesAndClipsAtTheEdges)
{
    QImage target(2, 2, QImage::Format_RGB888);
    target.fill(QColor(0, 0, 0));
    blendOnto(target, image2x1(0xFF102030, 0x80C864FF), QPoint(-1, 1));
    EXPECT_EQ(target.pixelColor(0, 1), QColor(100, 50, 127)); // 128 * 255 >> 8
    EXPECT_EQ(target.pixelColor(1, 1), QColor(0, 0, 0));
    EXPECT_EQ(target.pixelColor(0, 0), QColor(0, 0, 0));
}

QByteArray block(qint32 left, qint32 top, qint32 right, qint32 bottom, int pixelBytes)
{
    QByteArray data(16 + pixelBytes, '\0');
    auto *bytes = reinterpret_cast<uchar *>(data.data());
    qToLittleEndian<qint32>(left, bytes);
    qToLittleEndian<qint32>(top, bytes + 4);
    qToLittleEndian<qint32>(right, bytes + 8);
    qToLittleEndian<qint32>(bottom, bytes + 12);
    for (int i = 0; i < pixelBytes; ++i)
        bytes[16 + i] = static_cast<uchar>(i + 1);
    return data;
}

TEST(ParseSkinImage, TakesOnlyTheSizeFromTheRectangle)
{
    const SkinImage image = parseSkinImage(block(5, 7, 7, 8, 8 + 3)); // trailing bytes are ignored
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.pixel(0, 0), 0x04030201u); // blue first, alpha last
    EXPECT_EQ(image.pixel(1, 0), 0x08070605u);
}

struct BadBlock
{
    const char *what;
    QByteArray data;
};

class ParseSkinImageRejects : public ::testing::TestWithParam<BadBlock>
{
};

TEST_P(ParseSkinImageRejects, Damage)
{
    EXPECT_TRUE(parseSkinImage(GetParam().data).isNull()) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseSkinImageRejects,
    ::testing::Values(BadBlock{"empty", QByteArray()}, BadBlock{"short header", QByteArray(15, '\0')},
                      BadBlock{"pixels cut short", block(0, 0, 2, 2, 15)},
                      BadBlock{"empty rectangle", block(3, 3, 3, 9, 64)},
                      BadBlock{"reversed rectangle", block(9, 0, 3, 2, 64)},
                      BadBlock{"overflowing rectangle", block(-2147483647 - 1, 0, 2147483647, 1, 64)},
                      BadBlock{"absurd size", block(0, 0, 100000, 100000, 64)}),
    [](const auto &info) { return test::testName(info.param.what); });

struct ImageSize
{
    int id;
    int width;
    int height;
};

std::string imageName(const ::testing::TestParamInfo<ImageSize> &info)
{
    return "id" + std::to_string(info.param.id) + '_' + std::to_string(info.param.width) + 'x' +
           std::to_string(info.param.height);
}

class GeneratedButtonImage : public ::testing::TestWithParam<ImageSize>
{
};

TEST_P(GeneratedButtonImage, HasItsSizeAtBothScales)
{
    const ImageSize s = GetParam();
    const SkinImage one = loadSkinImage(s.id, 1);
    ASSERT_FALSE(one.isNull()) << s.id;
    EXPECT_EQ(one.width, s.width);
    EXPECT_EQ(one.height, s.height);
    const SkinImage two = loadSkinImage(s.id, 2);
    EXPECT_EQ(two.width, 2 * s.width);
    EXPECT_EQ(two.height, 2 * s.height);
    // Something is drawn, and the corners of every picture are see-through.
    EXPECT_EQ(one.pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(one.pixel(s.width - 1, s.height - 1) >> 24, 0u);
    EXPECT_TRUE(
        std::any_of(one.pixels.begin(), one.pixels.end(), [](std::uint32_t p) { return (p >> 24) >= 128; }));
}

INSTANTIATE_TEST_SUITE_P(
    Faces, GeneratedButtonImage,
    ::testing::Values(ImageSize{137, 124, 44}, ImageSize{138, 124, 44}, ImageSize{139, 124, 44},
                      ImageSize{140, 124, 44}, ImageSize{141, 124, 44}, ImageSize{142, 124, 44},
                      ImageSize{152, 124, 44}, ImageSize{153, 124, 44}, ImageSize{154, 124, 44},
                      ImageSize{155, 124, 44}, ImageSize{143, 36, 35}, ImageSize{144, 36, 35},
                      ImageSize{145, 36, 35}, ImageSize{146, 36, 35}, ImageSize{147, 36, 35},
                      ImageSize{148, 36, 35}, ImageSize{149, 36, 35}, ImageSize{150, 36, 35},
                      ImageSize{151, 36, 35}, ImageSize{156, 36, 35}, ImageSize{157, 84, 38},
                      ImageSize{158, 84, 38}, ImageSize{159, 84, 38}, ImageSize{160, 84, 38},
                      ImageSize{178, 48, 45}, ImageSize{179, 48, 45}),
    imageName);

INSTANTIATE_TEST_SUITE_P(SliderParts, GeneratedButtonImage,
                         ::testing::Values(ImageSize{165, 140, 21}, ImageSize{166, 16, 21},
                                           ImageSize{167, 16, 21}, ImageSize{174, 24, 80},
                                           ImageSize{175, 20, 16}, ImageSize{176, 20, 16}),
                         imageName);

class GeneratedBitmap : public ::testing::TestWithParam<ImageSize>
{
};

TEST_P(GeneratedBitmap, HasItsSize)
{
    const ImageSize s = GetParam();
    const QImage one = loadSkinBitmap(s.id, 1);
    ASSERT_FALSE(one.isNull()) << s.id;
    EXPECT_EQ(one.size(), QSize(s.width, s.height));
    const QImage two = loadSkinBitmap(s.id, 2);
    EXPECT_EQ(two.size(), QSize(2 * s.width, 2 * s.height));
    EXPECT_EQ(two.deviceIndependentSize(), QSizeF(s.width, s.height));
}

INSTANTIATE_TEST_SUITE_P(Table, GeneratedBitmap,
                         ::testing::Values(ImageSize{177, 185, 31}, ImageSize{185, 8, 8},
                                           ImageSize{129, 16, 16}, ImageSize{3119, 18, 18},
                                           ImageSize{3120, 18, 18}, ImageSize{3121, 18, 18},
                                           ImageSize{3122, 18, 18}, ImageSize{3123, 18, 18},
                                           ImageSize{3124, 18, 18}, ImageSize{3125, 18, 18},
                                           ImageSize{131, 17 * 19, 16}),
                         imageName);

TEST(GeneratedBitmap, FolderStripIsOpaqueOnWhite)
{
    const QImage strip = loadSkinBitmap(131);
    EXPECT_FALSE(strip.hasAlphaChannel());
    for (int i = 0; i < strip.width() / 17; ++i)
        EXPECT_EQ(strip.pixel(i * 17, 0), qRgb(255, 255, 255)) << "cell " << i;
}

TEST(GeneratedBitmap, BandBitmapIsOpaque)
{
    const QImage band = loadSkinBitmap(177).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < band.height(); ++y)
        for (int x = 0; x < band.width(); ++x)
            ASSERT_EQ(qAlpha(band.pixel(x, y)), 255) << x << "," << y;
}

TEST(ApplicationIcon, EveryThemeSize)
{
    const QIcon icon = applicationIcon();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    EXPECT_EQ(trayIconImage().size(), QSize(16, 16));
}

} // namespace
} // namespace sonavell
