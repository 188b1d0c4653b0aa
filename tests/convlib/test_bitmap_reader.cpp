// Reading every bitmap form through the library: texture in, Targa out, pixels compared.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"

#include <gtest/gtest.h>

namespace {

using kovar::BitmapLayout;
using kovartest::BitmapOptions;
using kovartest::Mips;

struct FormatCase
{
    const char *name;
    BitmapOptions options;
    std::uint32_t width;
    std::uint32_t height;
};

void PrintTo(const FormatCase &c, std::ostream *out)
{
    *out << c.name;
}

bool isDxt(BitmapLayout layout)
{
    return layout == BitmapLayout::Dxt1 || layout == BitmapLayout::Dxt3 ||
           layout == BitmapLayout::Dxt5;
}

class ReadFormat : public testing::TestWithParam<FormatCase>
{};

// Lossless forms must come back bit for bit; DXT forms as libsquish decodes the same blocks
// (to rounding) and close to the source image, which also proves the orientation.
TEST_P(ReadFormat, TextureBecomesTheSameTarga)
{
    const FormatCase &c = GetParam();
    const bool dxt = isDxt(c.options.layout);
    const kovar::Image source = dxt ? kovartest::patternImage(c.width, c.height, true)
                                    : kovartest::noiseImage(c.width, c.height, c.width);
    const auto built = kovartest::buildBitmap(source, c.options);
    kovartest::TempFolder folder;
    const std::string texture = folder.file("texture.bin");
    const std::string tga = folder.file("targa.tga");
    kovartest::writeBytes(texture, built.bytes);

    char message[KOVAR_MESSAGE_SIZE] = "stale";
    ASSERT_EQ(TargaFromExtendedBitmap(tga.c_str(), texture.c_str(), message), KOVAR_OK) << message;
    EXPECT_STREQ(message, "");
    const kovar::Image decoded = kovar::decodeTarga(kovartest::readBytes(tga), tga);

    ASSERT_EQ(decoded.width(), c.width);
    ASSERT_EQ(decoded.height(), c.height);
    if (!dxt) {
        EXPECT_TRUE(decoded == built.expected);
        return;
    }
    EXPECT_LE(kovartest::maxChannelDifference(decoded, built.expected), 1);
    EXPECT_GT(kovartest::opaquePsnr(source, decoded), 30.0);
    if (c.options.layout == BitmapLayout::Dxt1) {
        for (std::uint32_t y = 0; y < c.height; ++y)
            for (std::uint32_t x = 0; x < c.width; ++x)
                ASSERT_EQ(decoded.pixel(x, y)[3], source.pixel(x, y)[3]) << x << "," << y;
    }
}

using L = BitmapLayout;

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadFormat,
    testing::Values(
        FormatCase{"Palette8", {.layout = L::Palette8}, 37, 23},
        FormatCase{"Palette8TopDown", {.layout = L::Palette8, .topDown = true}, 5, 3},
        FormatCase{"Bgr24", {.layout = L::Bgr24}, 37, 23},
        FormatCase{"Bgr24WithFs70AndGap", {.layout = L::Bgr24, .fs70 = true, .gap = 6}, 16, 16},
        FormatCase{"Bgra32", {.layout = L::Bgra32}, 37, 23},
        FormatCase{"Bgra32TopDown", {.layout = L::Bgra32, .topDown = true}, 8, 5},
        FormatCase{
            "Rgb555",
            {.layout = L::Masked16, .masks = {0x7C00, 0x03E0, 0x001F, 0}, .bitfields = false},
            37,
            23},
        FormatCase{
            "Bitfields565", {.layout = L::Masked16, .masks = {0xF800, 0x07E0, 0x001F, 0}}, 37, 23},
        FormatCase{"Bitfields4444AlphaMaskAfterShortHeader",
                   {.layout = L::Masked16, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}},
                   37,
                   23},
        FormatCase{
            "Bitfields1555InV3Header",
            {.layout = L::Masked16, .infoSize = 56, .masks = {0x7C00, 0x03E0, 0x001F, 0x8000}},
            37,
            23},
        FormatCase{
            "Bitfields4444InV5Header",
            {.layout = L::Masked16, .infoSize = 124, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}},
            9,
            4},
        FormatCase{"Bitfields565InV2Header",
                   {.layout = L::Masked16, .infoSize = 52, .masks = {0xF800, 0x07E0, 0x001F, 0}},
                   9,
                   4},
        FormatCase{
            "Bitfields32",
            {.layout = L::Masked32, .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
            37,
            23},
        FormatCase{"Dxt1", {.layout = L::Dxt1}, 64, 48},
        FormatCase{"Dxt1PartialBlocksWithFs70", {.layout = L::Dxt1, .fs70 = true}, 30, 18},
        FormatCase{"Dxt1TopDown", {.layout = L::Dxt1, .topDown = true}, 32, 32},
        FormatCase{"Dxt3", {.layout = L::Dxt3}, 64, 48},
        FormatCase{"Dxt5WithFs70", {.layout = L::Dxt5, .fs70 = true}, 64, 48}),
    [](const testing::TestParamInfo<FormatCase> &info) { return std::string(info.param.name); });

struct MipCase
{
    BitmapLayout layout;
    bool fs70;
    Mips mips;
    std::uint32_t expectedLevels; // of a 64 x 64 texture
};

// The chain is worked out from the bytes after the top level, whatever the FS70 block says,
// and never changes the top level that is decoded.
TEST(BitmapReader, MipLevelsAreCountedAndIgnored)
{
    const kovar::Image source = kovartest::patternImage(64, 64, true);
    for (const MipCase &c :
         {MipCase{L::Dxt1, false, Mips::None, 1}, MipCase{L::Dxt1, true, Mips::To1x1, 7},
          MipCase{L::Dxt1, true, Mips::To4x4, 5}, MipCase{L::Dxt1, false, Mips::To1x1, 7},
          MipCase{L::Dxt5, true, Mips::To4x4, 5}, MipCase{L::Bgra32, true, Mips::To1x1, 7},
          MipCase{L::Bgr24, false, Mips::None, 1}}) {
        SCOPED_TRACE(testing::Message() << "layout " << int(c.layout) << ", fs70 " << c.fs70
                                        << ", mips " << int(c.mips));
        const auto built =
            kovartest::buildBitmap(source, {.layout = c.layout, .fs70 = c.fs70, .mips = c.mips});
        const kovar::BitmapInfo info = kovar::inspectBitmap(built.bytes, "texture");
        EXPECT_EQ(info.mipLevels, c.expectedLevels);
        EXPECT_EQ(info.hasFs70, c.fs70);
        EXPECT_TRUE(kovar::decodeBitmap(built.bytes, "texture") ==
                    kovar::decodeBitmap(kovartest::buildBitmap(source, {.layout = c.layout}).bytes,
                                        "texture"));
    }
}

TEST(BitmapReader, CountsOnlyWholeMipLevels)
{
    const kovar::Image source = kovartest::patternImage(16, 16, false);
    auto bytes = kovartest::buildBitmap(source, {.layout = L::Dxt1}).bytes;
    bytes.insert(bytes.end(), 32 + 7, 0xAB); // the 8 x 8 level, then 7 of the 8 bytes of 4 x 4
    EXPECT_EQ(kovar::inspectBitmap(bytes, "texture").mipLevels, 2u);
}

// A DXT1 block decides its own transparency; what the FS70 block claims plays no part.
TEST(BitmapReader, Dxt1TransparencyComesFromTheBlocksNotTheFs70Type)
{
    const kovar::Image source = kovartest::patternImage(32, 32, true);
    auto bytes = kovartest::buildBitmap(source, {.layout = L::Dxt1, .fs70 = true}).bytes;
    const kovar::BitmapInfo info = kovar::inspectBitmap(bytes, "texture");
    bytes[info.dataOffset - 20 + 9] = 1; // "no alpha"
    const kovar::Image decoded = kovar::decodeBitmap(bytes, "texture");
    EXPECT_EQ(decoded.pixel(0, 31)[3], 0);
    EXPECT_EQ(decoded.pixel(31, 0)[3], 255);
}

} // namespace
