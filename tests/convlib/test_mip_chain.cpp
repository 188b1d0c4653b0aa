// Mip levels of a texture with a water mask: sizes, majority alpha and colour per side.
#include "convlib/MipChain.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Texel = std::array<std::uint8_t, 4>;

kovar::Image twoByTwo(const std::array<Texel, 4> &texels)
{
    kovar::Image image(2, 2, "box");
    for (int i = 0; i < 4; ++i)
        std::copy(texels[i].begin(), texels[i].end(), image.pixel(i % 2, i / 2));
    return image;
}

struct BoxCase
{
    const char *name;
    std::array<Texel, 4> box;
    Texel expected;
};

void PrintTo(const BoxCase &c, std::ostream *out)
{
    *out << c.name;
}

class HalveBox : public testing::TestWithParam<BoxCase>
{};

TEST_P(HalveBox, FollowsTheMajorityAndAveragesItsSide)
{
    const kovar::Image half = kovar::halveLevel(twoByTwo(GetParam().box));
    ASSERT_EQ(half.width(), 1u);
    ASSERT_EQ(half.height(), 1u);
    const Texel got = {half.pixel(0, 0)[0], half.pixel(0, 0)[1], half.pixel(0, 0)[2],
                       half.pixel(0, 0)[3]};
    EXPECT_EQ(got, GetParam().expected);
}

constexpr Texel land(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {r, g, b, 255};
}
constexpr Texel water(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {r, g, b, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, HalveBox,
    testing::Values(
        BoxCase{"AllLand",
                {land(10, 20, 30), land(20, 30, 40), land(30, 40, 50), land(41, 50, 60)},
                land(25, 35, 45)},
        BoxCase{"OneWaterStaysLand",
                {water(0, 0, 200), land(100, 100, 100), land(110, 100, 100), land(120, 100, 100)},
                land(110, 100, 100)},
        BoxCase{"TwoWaterStaysLand",
                {water(0, 0, 200), water(0, 0, 200), land(100, 50, 0), land(101, 50, 0)},
                land(101, 50, 0)},
        BoxCase{"ThreeWaterIsWater",
                {water(0, 0, 200), water(0, 0, 210), water(0, 0, 220), land(255, 255, 255)},
                water(0, 0, 210)},
        BoxCase{"AllWater",
                {water(0, 0, 0), water(0, 0, 0), water(0, 0, 0), water(0, 0, 4)},
                water(0, 0, 1)},
        BoxCase{
            "AlphaThresholdIs128",
            {Texel{1, 1, 1, 127}, Texel{1, 1, 1, 127}, Texel{1, 1, 1, 127}, Texel{9, 9, 9, 128}},
            water(1, 1, 1)}),
    [](const auto &info) { return std::string(info.param.name); });

struct ChainCase
{
    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
};

void PrintTo(const ChainCase &c, std::ostream *out)
{
    *out << c.width << "x" << c.height;
}

class ChainSizes : public testing::TestWithParam<ChainCase>
{};

TEST_P(ChainSizes, HalveDownToOnePixel)
{
    const auto chain = kovar::buildMipChain(kovar::Image(GetParam().width, GetParam().height, "t"));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
    for (const auto &level : chain)
        sizes.emplace_back(level.width(), level.height());
    EXPECT_EQ(sizes, GetParam().sizes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChainSizes,
                         testing::Values(ChainCase{1, 1, {{1, 1}}},
                                         ChainCase{8, 8, {{8, 8}, {4, 4}, {2, 2}, {1, 1}}},
                                         ChainCase{8, 2, {{8, 2}, {4, 1}, {2, 1}, {1, 1}}},
                                         ChainCase{5, 3, {{5, 3}, {2, 1}, {1, 1}}}));

// A one-pixel-wide level repeats its column: two source texels count twice each.
TEST(MipChain, NarrowLevelCountsItsOnlyColumnTwice)
{
    kovar::Image column(1, 2, "column");
    const Texel top = water(0, 0, 100);
    const Texel bottom = land(50, 60, 70);
    std::copy(top.begin(), top.end(), column.pixel(0, 0));
    std::copy(bottom.begin(), bottom.end(), column.pixel(0, 1));
    const kovar::Image half = kovar::halveLevel(column);
    EXPECT_EQ(half.pixel(0, 0)[3], 255);
    EXPECT_EQ(half.pixel(0, 0)[0], 50);
}

} // namespace
