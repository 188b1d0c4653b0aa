// Reading every bitmap form through the library: texture in, Targa out, pixels compared.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/ByteReader.h"
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

// A DXT1 texture follows its own FS70 declaration: "no alpha" (byte 9 = 1) reads index 3 of a
// three-colour block as opaque black; "alpha" (2) or no FS70 block reads it as a hole.
TEST(BitmapReader, Dxt1IndexThreeFollowsTheFs70Declaration)
{
    const kovar::Image source = kovartest::patternImage(32, 32, true);
    const auto plain = kovartest::buildBitmap(source, {.layout = L::Dxt1}).bytes;
    EXPECT_EQ(kovar::decodeBitmap(plain, "texture").pixel(0, 31)[3], 0);

    auto bytes = kovartest::buildBitmap(source, {.layout = L::Dxt1, .fs70 = true}).bytes;
    const kovar::BitmapInfo info = kovar::inspectBitmap(bytes, "texture");
    for (const std::uint8_t type : {std::uint8_t{1}, std::uint8_t{2}}) {
        bytes[info.dataOffset - 20 + 9] = type;
        const kovar::Image decoded = kovar::decodeBitmap(bytes, "texture");
        const std::uint8_t *hole = decoded.pixel(0, 31);
        EXPECT_EQ(hole[3], type == 1 ? 255 : 0) << int(type);
        EXPECT_EQ(hole[0] | hole[1] | hole[2], 0) << int(type);
        EXPECT_EQ(decoded.pixel(31, 0)[3], 255) << int(type);
    }
}

kovar::Image withAlpha(kovar::Image image, std::uint8_t alpha)
{
    for (std::uint32_t y = 0; y < image.height(); ++y)
        for (std::uint32_t x = 0; x < image.width(); ++x)
            image.pixel(x, y)[3] = alpha;
    return image;
}

// A fourth byte no header declares as alpha (palette entries, 32-bit BI_RGB pixels) means
// alpha only when the image uses it: all 0 reads as opaque, anything else as stored.
TEST(BitmapReader, UnusedFourthBytesReadAsOpaque)
{
    const kovar::Image source = kovartest::noiseImage(13, 7, 5);

    auto palette = kovartest::buildBitmap(source, {.layout = L::Palette8});
    const kovar::BitmapInfo info = kovar::inspectBitmap(palette.bytes, "palette");
    for (std::uint32_t i = 0; i < info.paletteColours; ++i)
        palette.bytes[info.paletteOffset + 4 * i + 3] = 0;
    EXPECT_TRUE(kovar::decodeBitmap(palette.bytes, "palette") == withAlpha(palette.expected, 255));

    const auto clear = kovartest::buildBitmap(withAlpha(source, 0), {.layout = L::Bgra32});
    EXPECT_TRUE(kovar::decodeBitmap(clear.bytes, "bgra") == withAlpha(source, 255));

    // One used alpha value makes the fourth bytes alpha again.
    kovar::Image mostlyClear = withAlpha(source, 0);
    mostlyClear.pixel(3, 3)[3] = 1;
    const auto used = kovartest::buildBitmap(mostlyClear, {.layout = L::Bgra32});
    EXPECT_TRUE(kovar::decodeBitmap(used.bytes, "bgra") == mostlyClear);
}

// 4-4-4 colour masks in a 40-byte header with no alpha mask: the top four bits are alpha.
TEST(BitmapReader, Bitfields4444WithoutAlphaMaskKeepsTheAlphaBits)
{
    const kovar::Image source = kovartest::noiseImage(9, 5, 3);
    auto built = kovartest::buildBitmap(
        source, {.layout = L::Masked16, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}});
    // Drop the fourth mask the builder put after the header, leaving the three colour masks.
    built.bytes.erase(built.bytes.begin() + 66, built.bytes.begin() + 70);
    for (const int at : {2, 10}) {
        std::uint32_t value = kovar::loadLe32(&built.bytes[at]) - 4;
        for (int b = 0; b < 4; ++b)
            built.bytes[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    EXPECT_EQ(kovar::inspectBitmap(built.bytes, "texture").masks[3], 0xF000u);
    EXPECT_TRUE(kovar::decodeBitmap(built.bytes, "texture") == built.expected);
}

} // namespace
