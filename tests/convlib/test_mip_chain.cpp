// Mip levels of a texture with a water mask: sizes, majority alpha and colour per side.
#include "convlib/MipChain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using Texel = std::array<std::uint8_t, 4>;

constexpr Texel land(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {r, g, b, 255};
}
constexpr Texel water(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {r, g, b, 0};
}

Texel halved(const kovar::Image &image)
{
    const kovar::Image half = kovar::halveLevel(image);
    EXPECT_EQ(half.width(), 1u);
    EXPECT_EQ(half.height(), 1u);
    const std::uint8_t *p = half.pixel(0, 0);
    return {p[0], p[1], p[2], p[3]};
}

struct BoxCase
{
    const char *name;
    std::array<Texel, 4> box;
    Texel expected;
};

// A texel is water when most of its four source texels are (a tie stays land), and its colour
// is the rounded mean of the sources on the winning side.
TEST(MipChain, HalvingFollowsTheMajorityAndAveragesItsSide)
{
    for (const BoxCase &c : {
             BoxCase{"AllLand",
                     {land(10, 20, 30), land(20, 30, 40), land(30, 40, 50), land(41, 50, 60)},
                     land(25, 35, 45)},
             BoxCase{"TwoWaterStaysLand",
                     {water(0, 0, 200), water(0, 0, 200), land(100, 50, 0), land(101, 50, 0)},
                     land(101, 50, 0)},
             BoxCase{"ThreeWaterIsWater",
                     {water(0, 0, 200), water(0, 0, 210), water(0, 0, 220), land(255, 255, 255)},
                     water(0, 0, 210)},
             BoxCase{"AlphaThresholdIs128",
                     {Texel{1, 1, 1, 127}, Texel{1, 1, 1, 127}, Texel{1, 1, 1, 127},
                      Texel{9, 9, 9, 128}},
                     water(1, 1, 1)},
         }) {
        kovar::Image box(2, 2, "box");
        for (int i = 0; i < 4; ++i)
            std::copy(c.box[i].begin(), c.box[i].end(), box.pixel(i % 2, i / 2));
        EXPECT_EQ(halved(box), c.expected) << c.name;
    }
}

TEST(MipChain, HalvesDownToOnePixel)
{
    using Sizes = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    for (const Sizes &expected :
         {Sizes{{1, 1}}, Sizes{{8, 8}, {4, 4}, {2, 2}, {1, 1}},
          Sizes{{8, 2}, {4, 1}, {2, 1}, {1, 1}}, Sizes{{5, 3}, {2, 1}, {1, 1}}}) {
        Sizes sizes;
        for (const auto &level :
             kovar::buildMipChain(kovar::Image(expected[0].first, expected[0].second, "t")))
            sizes.emplace_back(level.width(), level.height());
        EXPECT_EQ(sizes, expected);
    }
}

// A one-pixel-wide level repeats its column: two source texels count twice each.
TEST(MipChain, NarrowLevelCountsItsOnlyColumnTwice)
{
    kovar::Image column(1, 2, "column");
    const Texel top = water(0, 0, 100);
    const Texel bottom = land(50, 60, 70);
    std::copy(top.begin(), top.end(), column.pixel(0, 0));
    std::copy(bottom.begin(), bottom.end(), column.pixel(0, 1));
    EXPECT_EQ(halved(column), bottom);
}

} // namespace
