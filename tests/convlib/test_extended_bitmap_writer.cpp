// Writing FS2004 textures in formats 11 and 12 and reading them back.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/Dxt.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/MipChain.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t le32(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

TEST(ExtendedBitmapWriter, HeadersOfA256TileWithWater)
{
    const auto bytes =
        kovar::encodeExtendedBitmap(kovartest::patternImage(256, 256, true), 11, "out.bmp");
    // 256, 128, ... 4: 64x64 ... 1x1 blocks of 8 bytes; 2 and 1: one block each.
    const std::size_t pixels = 8 * (4096 + 1024 + 256 + 64 + 16 + 4 + 1 + 1 + 1);
    ASSERT_EQ(bytes.size(), 74 + pixels);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 74u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 256u);
    EXPECT_EQ(le32(bytes, 22), 256u);
    EXPECT_EQ(bytes[28], 16);
    EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 34), "DXT1");
    EXPECT_EQ(le32(bytes, 34), 32768u);
    const std::vector<std::uint8_t> fs70(bytes.begin() + 54, bytes.begin() + 74);
    const std::vector<std::uint8_t> expected = {'F', 'S', '7', '0', 20, 0, 0, 0, 3, 2,
                                                0,   0,   0,   0,   8,  0, 0, 0, 0, 0};
    EXPECT_EQ(fs70, expected);

    const kovar::BitmapInfo info = kovar::inspectBitmap(bytes, "out.bmp");
    EXPECT_TRUE(info.hasFs70);
    EXPECT_EQ(info.mipLevels, 9u);
}

TEST(ExtendedBitmapWriter, OpaqueTileIsMarkedWithoutAlpha)
{
    const auto bytes =
        kovar::encodeExtendedBitmap(kovartest::patternImage(64, 64, false), 11, "out.bmp");
    EXPECT_EQ(bytes[54 + 9], 1);
    EXPECT_EQ(bytes[54 + 14], 6);
}

// Each level is the box-filtered one above, stored bottom-up: decoding the level's blocks
// top-down and flipping gives the level, water exact.
TEST(ExtendedBitmapWriter, EveryMipLevelIsStoredBottomUpWithItsWater)
{
    const kovar::Image image = kovartest::patternImage(64, 32, true);
    const auto bytes = kovar::encodeExtendedBitmap(image, 11, "out.bmp");
    const std::vector<kovar::Image> chain = kovar::buildMipChain(image);
    ASSERT_EQ(chain.size(), 7u);
    std::size_t at = 74;
    for (const kovar::Image &level : chain) {
        kovar::Image decoded(level.width(), level.height(), "level");
        kovar::decodeDxt(kovar::DxtFormat::Dxt1, bytes.data() + at, level.width(), level.height(),
                         decoded.data());
        decoded = decoded.flippedVertically();
        for (std::uint32_t y = 0; y < level.height(); ++y)
            for (std::uint32_t x = 0; x < level.width(); ++x)
                ASSERT_EQ(decoded.pixel(x, y)[3], level.pixel(x, y)[3] < 128 ? 0 : 255)
                    << level.width() << "x" << level.height() << " at " << x << "," << y;
        if (level.width() >= 8) {
            // Steep gradients on small levels keep the PSNR modest; upside down it is far worse.
            const double psnr = kovartest::opaquePsnr(level, decoded);
            EXPECT_GT(psnr, 20.0) << level.width();
            EXPECT_GT(psnr, kovartest::opaquePsnr(level.flippedVertically(), decoded) + 6.0)
                << level.width();
        }
        at += kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, level.width(), level.height());
    }
    EXPECT_EQ(at, bytes.size());
}

struct RoundTripCase
{
    std::uint32_t width;
    std::uint32_t height;
    bool water;
    double minPsnr; // the pattern's gradients are steeper on smaller images
};

// Targa -> texture -> Targa through the C calls, in both format codes: colour close, water bit
// for bit.
TEST(ExtendedBitmapWriter, FormatElevenAndTwelveRoundTripKeepsColourCloseAndWaterExact)
{
    for (const int format : {KOVAR_FORMAT_DXT1_MIPMAPPED, KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER})
        for (const RoundTripCase &c :
             {RoundTripCase{256, 256, true, 36}, RoundTripCase{256, 256, false, 36},
              RoundTripCase{64, 8, true, 32}, RoundTripCase{13, 7, true, 22},
              RoundTripCase{1, 1, false, 40}}) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", " << c.width << "x"
                                            << c.height << (c.water ? " water" : ""));
            const kovar::Image image = kovartest::patternImage(c.width, c.height, c.water);
            kovartest::TempFolder folder;
            const std::string tga = folder.file("targa.tga");
            const std::string texture = folder.file("0123012301230123wi.bmp");
            kovartest::writeBytes(tga, kovar::encodeTarga(image));
            char message[KOVAR_MESSAGE_SIZE];
            ASSERT_EQ(TargaToExtendedBitmap(tga.c_str(), texture.c_str(), message, format),
                      KOVAR_OK)
                << message;
            ASSERT_EQ(TargaFromExtendedBitmap(tga.c_str(), texture.c_str(), message), KOVAR_OK)
                << message;
            const kovar::Image back = kovar::decodeTarga(kovartest::readBytes(tga), tga);

            ASSERT_EQ(back.width(), c.width);
            ASSERT_EQ(back.height(), c.height);
            for (std::uint32_t y = 0; y < c.height; ++y)
                for (std::uint32_t x = 0; x < c.width; ++x)
                    ASSERT_EQ(back.pixel(x, y)[3], image.pixel(x, y)[3]) << x << "," << y;
            EXPECT_GT(kovartest::opaquePsnr(image, back), c.minPsnr);
            EXPECT_EQ(folder.entries(),
                      (std::vector<std::string>{"0123012301230123wi.bmp", "targa.tga"}));
        }
}

// A result passed back for its memory, larger or smaller than the next, leaves no trace in it.
TEST(ExtendedBitmapWriter, ReusedResultMemoryGivesTheSameFile)
{
    const kovar::Image small = kovartest::patternImage(13, 7, true);
    const kovar::Image large = kovartest::patternImage(256, 256, true);
    const auto largeFile = kovar::encodeExtendedBitmap(large, 11, "out.bmp");
    const auto smallFile = kovar::encodeExtendedBitmap(small, 12, "out.bmp");
    std::vector<std::uint8_t> reused = kovar::encodeExtendedBitmap(large, 11, "out.bmp");
    reused = kovar::encodeExtendedBitmap(small, 12, "out.bmp", std::move(reused));
    EXPECT_EQ(reused, smallFile);
    reused = kovar::encodeExtendedBitmap(large, 11, "out.bmp", std::move(reused));
    EXPECT_EQ(reused, largeFile);
}

TEST(ExtendedBitmapWriter, AllWaterTileIsValid)
{
    kovar::Image water(32, 32, "water");
    const auto bytes = kovar::encodeExtendedBitmap(water, 11, "out.bmp");
    EXPECT_EQ(bytes[54 + 9], 2);
    const kovar::Image back = kovar::decodeBitmap(bytes, "out.bmp");
    for (std::size_t i = 3; i < back.byteCount(); i += 4)
        ASSERT_EQ(back.data()[i], 0);
}

} // namespace
