// Splitting a Targa into the colour and alpha bitmaps the program works on, and joining them.
#include "TestBitmaps.h"

#include "convlib/BitmapReader.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t le32(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

struct Split
{
    kovartest::TempFolder folder;
    std::string tga = folder.file("targa.tga");
    std::string colour = folder.file("main.bmp");
    std::string alpha = folder.file("alpha.bmp");

    explicit Split(const kovar::Image &image)
    {
        kovartest::writeBytes(tga, kovar::encodeTarga(image));
        char message[KOVAR_MESSAGE_SIZE];
        EXPECT_EQ(TargaSplit(tga.c_str(), colour.c_str(), alpha.c_str(), message), KOVAR_OK)
            << message;
    }
};

// The season passes take "main.bmp" as a 54-byte header and then one run of B,G,R triples.
TEST(WorkingBitmaps, ColourOfA256TileIsThe24BitWorkingLayout)
{
    const kovar::Image image = kovartest::noiseImage(256, 256, 7);
    Split split(image);
    const auto bytes = kovartest::readBytes(split.colour);
    ASSERT_EQ(bytes.size(), 196662u);
    EXPECT_EQ(le32(bytes, 2), 196662u);
    EXPECT_EQ(le32(bytes, 10), 54u);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(le32(bytes, 22), 256u); // positive height: bottom row first
    const std::uint8_t *bottomLeft = image.pixel(0, 255);
    EXPECT_EQ(bytes[54], bottomLeft[2]);
    EXPECT_EQ(bytes[55], bottomLeft[1]);
    EXPECT_EQ(bytes[56], bottomLeft[0]);
    const std::uint8_t *topRight = image.pixel(255, 0);
    EXPECT_EQ(bytes[bytes.size() - 1], topRight[0]);
}

TEST(WorkingBitmaps, RowsArePaddedAndAlphaIsAGreyBitmap)
{
    const kovar::Image image = kovartest::noiseImage(5, 3, 9);
    Split split(image);
    const auto colour = kovartest::readBytes(split.colour);
    EXPECT_EQ(colour.size(), 54u + 16 * 3); // 15 bytes of pixels and 1 fill byte per row
    EXPECT_EQ(colour[54 + 15], 0);

    const auto alpha = kovartest::readBytes(split.alpha);
    ASSERT_EQ(alpha.size(), 1078u + 8 * 3);
    EXPECT_EQ(alpha[28], 8);
    EXPECT_EQ(alpha[54 + 4 * 200], 200); // palette entry 200 is grey 200
    EXPECT_EQ(alpha[54 + 4 * 200 + 2], 200);
    EXPECT_EQ(alpha[1078 + 8 + 4], image.pixel(4, 1)[3]);
    const kovar::Image read = kovar::decodeBitmap(alpha, "alpha.bmp");
    EXPECT_EQ(read.pixel(4, 1)[0], image.pixel(4, 1)[3]);
}

// Split then join gives back the Targa bit for bit, alpha included.
TEST(WorkingBitmaps, JoinUndoesSplit)
{
    const kovar::Image image = kovartest::noiseImage(37, 21, 4);
    Split split(image);
    const std::string joined = split.folder.file("joined.tga");
    char message[KOVAR_MESSAGE_SIZE];
    ASSERT_EQ(TargaJoin(joined.c_str(), split.colour.c_str(), split.alpha.c_str(), message),
              KOVAR_OK)
        << message;
    EXPECT_TRUE(kovar::decodeTarga(kovartest::readBytes(joined), joined) == image);
}

TEST(WorkingBitmaps, JoinOfDifferentSizesFailsNamingBothFilesAndKeepsTheTarga)
{
    kovartest::TempFolder folder;
    Split big(kovartest::noiseImage(8, 8, 1));
    Split small(kovartest::noiseImage(8, 4, 2));
    const std::string tga = folder.file("targa.tga");
    kovartest::writeBytes(tga, {1, 2, 3});
    char message[KOVAR_MESSAGE_SIZE];
    EXPECT_EQ(TargaJoin(tga.c_str(), big.colour.c_str(), small.alpha.c_str(), message),
              KOVAR_ERROR_DIMENSIONS);
    EXPECT_NE(std::string(message).find(big.colour + " is 8 x 8"), std::string::npos) << message;
    EXPECT_NE(std::string(message).find(small.alpha + " is 8 x 4"), std::string::npos) << message;
    EXPECT_EQ(kovartest::readBytes(tga), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"targa.tga"});
}

// A season pass copies the 54-byte header and stops after 65,536 pixels: a colour bitmap
// shorter than its header says is refused, not padded with stale data.
TEST(WorkingBitmaps, JoinRefusesAColourBitmapShorterThanItsHeader)
{
    Split split(kovartest::noiseImage(300, 300, 3));
    auto colour = kovartest::readBytes(split.colour);
    colour.resize(54 + 65536 * 3);
    kovartest::writeBytes(split.colour, colour);
    char message[KOVAR_MESSAGE_SIZE];
    EXPECT_EQ(TargaJoin(split.tga.c_str(), split.colour.c_str(), split.alpha.c_str(), message),
              KOVAR_ERROR_FORMAT);
    EXPECT_EQ(std::string(message).rfind(split.colour + ": file is truncated", 0), 0u) << message;
}

} // namespace
