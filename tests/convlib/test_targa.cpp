// Targa images: the library's own 32-bit form, and the orientations and forms it reads.
#include "TestBitmaps.h"

#include "convlib/Targa.h"

#include <gtest/gtest.h>

namespace {

// An uncompressed true-colour Targa of `image`, written the way the descriptor byte says.
std::vector<std::uint8_t> targaOf(const kovar::Image &image, std::uint8_t depth,
                                  std::uint8_t descriptor, std::uint8_t idLength = 0,
                                  std::uint16_t mapLength = 0)
{
    std::vector<std::uint8_t> out(18, 0);
    const auto put16 = [&out](int at, std::uint32_t v) {
        out[at] = std::uint8_t(v);
        out[at + 1] = std::uint8_t(v >> 8);
    };
    out[0] = idLength;
    out[1] = mapLength ? 1 : 0;
    out[2] = 2; // uncompressed true colour
    put16(5, mapLength);
    out[7] = 24; // bits per colour map entry
    put16(12, image.width());
    put16(14, image.height());
    out[16] = depth;
    out[17] = descriptor;
    out.insert(out.end(), idLength + mapLength * 3u, 0x5A);
    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;
    for (std::uint32_t row = 0; row < image.height(); ++row) {
        const std::uint32_t y = topDown ? row : image.height() - 1 - row;
        for (std::uint32_t column = 0; column < image.width(); ++column) {
            const std::uint32_t x = rightToLeft ? image.width() - 1 - column : column;
            const std::uint8_t *p = image.pixel(x, y);
            out.insert(out.end(), {p[2], p[1], p[0]});
            if (depth == 32)
                out.push_back(p[3]);
        }
    }
    return out;
}

// Bottom-left, top-left, bottom-right and top-right origins.
TEST(Targa, OriginIsHonoured)
{
    const kovar::Image image = kovartest::noiseImage(7, 5, 11);
    for (std::uint8_t descriptor : {0x08, 0x28, 0x18, 0x38})
        EXPECT_TRUE(kovar::decodeTarga(targaOf(image, 32, descriptor), "t.tga") == image)
            << int(descriptor);
}

TEST(Targa, OwnFormIsUncompressed32BitBottomUpAndReadsBackExactly)
{
    const kovar::Image image = kovartest::noiseImage(300, 2, 5);
    const auto bytes = kovar::encodeTarga(image);
    ASSERT_EQ(bytes.size(), 18u + 300 * 2 * 4);
    EXPECT_EQ(bytes[2], 2); // uncompressed true colour
    EXPECT_EQ(bytes[12], 300 & 0xFF);
    EXPECT_EQ(bytes[13], 300 >> 8);
    EXPECT_EQ(bytes[16], 32);
    EXPECT_EQ(bytes[17], 0x08); // 8 alpha bits, first row is the bottom one
    const std::uint8_t *bottomLeft = image.pixel(0, 1);
    EXPECT_EQ(bytes[18], bottomLeft[2]);
    EXPECT_EQ(bytes[21], bottomLeft[3]);
    EXPECT_TRUE(kovar::decodeTarga(bytes, "t.tga") == image);
}

TEST(Targa, Reads24BitAsOpaqueAndSkipsIdAndColourMap)
{
    kovar::Image image = kovartest::noiseImage(6, 4, 3);
    const auto bytes = targaOf(image, 24, 0x00, 9, 4);
    for (std::size_t i = 3; i < image.byteCount(); i += 4)
        image.data()[i] = 255;
    EXPECT_TRUE(kovar::decodeTarga(bytes, "t.tga") == image);
}

} // namespace
