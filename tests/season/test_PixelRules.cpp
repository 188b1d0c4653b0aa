// The pixel rules, the snow noise generator and the truncation of adjustments.
#include "season/Adjustment.h"
#include "season/HardWinter.h"
#include "season/PixelRules.h"
#include "season/SeasonTable.h"
#include "season/SnowNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

namespace season {
void PrintTo(const Pixel &p, std::ostream *os)
{
    *os << "(red " << int(p.red) << ", green " << int(p.green) << ", blue " << int(p.blue) << ")";
}
} // namespace season

namespace {

using season::Pixel;

Pixel rgb(int red, int green, int blue)
{
    return Pixel{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                 static_cast<std::uint8_t>(red)};
}

constexpr int intMax = std::numeric_limits<int>::max();
constexpr int intMin = std::numeric_limits<int>::min();

TEST(SnowNoise, FirstDrawsOfARun)
{
    season::SnowNoise noise;
    EXPECT_EQ(noise.state(), 1u);
    for (int expected : {346, 130, 10982, 1090, 11656})
        EXPECT_EQ(noise.draw(), expected);
}

TEST(SnowNoise, ProcessGeneratorStartsAtOneAndRunsOn)
{
    season::SnowNoise &noise = season::processSnowNoise();
    EXPECT_EQ(&noise, &season::processSnowNoise());
    EXPECT_EQ(noise.state(), 1u);
    EXPECT_EQ(noise.draw(), 346);
    EXPECT_EQ(season::processSnowNoise().draw(), 130);
}

TEST(WinterPixel, RaisesSnowsOrPassesThrough)
{
    const Pixel snow1 = rgb(249, 249, 249); // 255 - 346 % 20
    const struct
    {
        const char *name;
        Pixel in;
        int threshold;
        Pixel expected;
        int draws;
    } cases[] = {
        {"T70Snowed", rgb(100, 120, 90), 70, snow1, 1},
        {"T200Raised", rgb(100, 120, 90), 200, rgb(130, 150, 120), 0},
        {"T255WhiteNotSnowed", rgb(255, 255, 255), 255, rgb(255, 255, 255), 0},
        {"T255RaisedOnly", rgb(240, 10, 100), 255, rgb(255, 40, 130), 0},
        {"T29BlackSnowed", rgb(0, 0, 0), 29, snow1, 1},
        {"T30BlackRaised", rgb(0, 0, 0), 30, rgb(30, 30, 30), 0},
        {"BrightnessEqualToThresholdNotSnowed", rgb(100, 100, 100), 130, rgb(130, 130, 130), 0},
        {"BrightnessRoundsDown", rgb(101, 100, 100), 130, rgb(131, 130, 130), 0},
        {"BlueDominantUnchanged", rgb(10, 20, 30), -1000, rgb(10, 20, 30), 0},
        {"BlueEqualToRedNotDominant", rgb(30, 10, 30), -1000, snow1, 1},
        {"BlueEqualToGreenNotDominant", rgb(10, 30, 30), 200, rgb(40, 60, 60), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        season::SnowNoise noise;
        EXPECT_EQ(season::winterPixel(c.in, c.threshold, noise), c.expected);
        season::SnowNoise reference;
        for (int i = 0; i < c.draws; ++i)
            reference.draw();
        EXPECT_EQ(noise.state(), reference.state()) << "draws made";
    }
}

TEST(FallPixel, ShiftsTowardBrownLimitingEachStep)
{
    const struct
    {
        const char *name;
        Pixel in;
        int amount;
        Pixel expected;
    } cases[] = {
        {"A10Plain", rgb(100, 100, 100), 10, rgb(130, 110, 110)},
        {"A10LimitedBeforeTheSecondStep", rgb(250, 250, 100), 10, rgb(255, 245, 110)},
        {"A0Unchanged", rgb(123, 45, 67), 0, rgb(123, 45, 67)},
        {"BlueDominantUnchanged", rgb(10, 20, 30), 25, rgb(10, 20, 30)},
        {"NegativeBottomsOutAtZero", rgb(5, 100, 100), -10, rgb(0, 90, 90)},
        {"LowestAmountNoOverflow", rgb(0, 0, 0), intMin, rgb(0, 255, 255)},
        {"HighestAmountNoOverflow", rgb(0, 0, 0), intMax, rgb(255, 0, 0)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(season::fallPixel(c.in, c.amount), c.expected) << c.name;
}

TEST(SpringPixel, GreensVegetationKeepsBareGroundAndWater)
{
    const struct
    {
        const char *name;
        Pixel in;
        std::uint8_t alpha;
        int amount;
        Pixel expected;
    } cases[] = {
        {"VegetationFullWeight", rgb(60, 100, 50), 255, 10, rgb(55, 120, 40)},
        {"PaleVegetationQuarterWeight", rgb(70, 78, 50), 255, 10, rgb(69, 83, 48)},
        {"EqualRedAndGreenIsBare", rgb(100, 100, 50), 255, 25, rgb(100, 100, 50)},
        {"BareSoilUnchanged", rgb(150, 120, 90), 255, 25, rgb(150, 120, 90)},
        {"GreenishGreyRoadUnchanged", rgb(120, 143, 121), 255, 25, rgb(120, 143, 121)},
        {"AmountZeroUnchanged", rgb(60, 100, 50), 255, 0, rgb(60, 100, 50)},
        {"LimitedTo255And0", rgb(20, 250, 5), 255, 25, rgb(8, 255, 0)},
        {"WaterUnchanged", rgb(60, 100, 50), 127, 25, rgb(60, 100, 50)},
        {"AlphaAt128IsLand", rgb(60, 100, 50), 128, 10, rgb(55, 120, 40)},
        {"BlueDominantUnchanged", rgb(10, 20, 30), 255, 25, rgb(10, 20, 30)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(season::springPixel(c.in, c.alpha, c.amount), c.expected) << c.name;
}

// Grey and bare pixels (channels within 24 of each other, or red or blue at or above green)
// keep their green against the mean of red and blue to within 3 levels, at every amount:
// every such colour on a coarse grid, every amount.
TEST(SpringPixel, GreyAndBareGroundKeepItsGreenAtEveryAmount)
{
    int checked = 0;
    for (int red = 0; red < 256; red += 5)
        for (int green = 0; green < 256; green += 5)
            for (int blue = 0; blue < 256; blue += 5) {
                const Pixel p = rgb(red, green, blue);
                const int highest = std::max({red, green, blue});
                const int lowest = std::min({red, green, blue});
                const bool grey = highest - lowest < 24;
                const bool bare = red >= green || blue >= green;
                if (!grey && !bare)
                    continue;
                ++checked;
                const double before = green - (red + blue) / 2.0;
                for (int amount = 0; amount <= 25; ++amount) {
                    const Pixel q = season::springPixel(p, 255, amount);
                    const double after = q.green - (q.red + q.blue) / 2.0;
                    ASSERT_LE(std::abs(after - before), 3.0)
                        << red << "," << green << "," << blue << " at " << amount;
                }
            }
    EXPECT_GT(checked, 50000);
}

// A 96 x 96 tile: open field (left), forest of dark crowns and lighter gaps (right), a grey
// road across, water the mask marks along the bottom rows, a lake of blue-dominant pixels the
// mask does not mark, and single blue-dominant pixels among the land.
struct HardWinterFixture
{
    static constexpr std::size_t size = 96;
    std::vector<std::uint8_t> bgr = std::vector<std::uint8_t>(3 * size * size);
    std::vector<std::uint8_t> alpha = std::vector<std::uint8_t>(size * size, 255);

    HardWinterFixture()
    {
        for (std::size_t y = 0; y < size; ++y)
            for (std::size_t x = 0; x < size; ++x) {
                Pixel p = rgb(150 + int(x % 7), 165 + int(y % 5), 95);
                if (x >= 48)
                    p = (x / 3 + y / 3) % 3 == 0 ? rgb(70, 95, 60) : rgb(25, 45, 22);
                if (y >= 44 && y < 50)
                    p = rgb(112, 112, 110);
                if (x % 29 == 3 && y % 31 == 5)
                    p = rgb(20, 40, 90); // bluish shadows: land
                if (lake(x, y))
                    p = rgb(30, 60, 120); // open water the mask does not mark: frozen
                set(x, y, p);
                if (y < 6)
                    alpha[y * size + x] = 0;
            }
    }
    static bool lake(std::size_t x, std::size_t y) { return x >= 8 && x < 20 && y >= 60 && y < 72; }
    void set(std::size_t x, std::size_t y, Pixel p)
    {
        std::uint8_t *at = &bgr[3 * (y * size + x)];
        at[0] = p.blue;
        at[1] = p.green;
        at[2] = p.red;
    }
    Pixel at(const std::vector<std::uint8_t> &image, std::size_t x, std::size_t y) const
    {
        const std::uint8_t *p = &image[3 * (y * size + x)];
        return Pixel{p[0], p[1], p[2]};
    }
    std::vector<std::uint8_t> hardWinter(int depth) const
    {
        std::vector<std::uint8_t> out = bgr;
        season::TileColours tile{out.data(), out.size(), size, size, 3 * size, alpha.data()};
        season::hardWinterTile(tile, depth);
        return out;
    }
    static int lowest(Pixel p) { return std::min({p.red, p.green, p.blue}); }
};

TEST(HardWinterTile, RuleProperties)
{
    const HardWinterFixture f;
    const std::size_t n = HardWinterFixture::size;
    const std::vector<std::uint8_t> deep = f.hardWinter(season::defaultHardWinterDepth);
    const auto meanLowest = [&](const std::vector<std::uint8_t> &image, std::size_t x0,
                                std::size_t x1, std::size_t y0, std::size_t y1) {
        double sum = 0;
        for (std::size_t y = y0; y < y1; ++y)
            for (std::size_t x = x0; x < x1; ++x)
                sum += HardWinterFixture::lowest(f.at(image, x, y));
        return sum / double((x1 - x0) * (y1 - y0));
    };

    // Water (alpha below 128) comes out as it went in; every other pixel, blue-dominant ones
    // too, is at least as light in every channel as in summer.
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x) {
            const Pixel in = f.at(f.bgr, x, y);
            const Pixel out = f.at(deep, x, y);
            if (y < 6) {
                ASSERT_EQ(out, in) << x << "," << y;
            } else {
                ASSERT_GE(out.red, in.red) << x << "," << y;
                ASSERT_GE(out.green, in.green) << x << "," << y;
                ASSERT_GE(out.blue, in.blue) << x << "," << y;
            }
        }

    // Open field is deep snow; the forest keeps dark trees; the road is a light grey between.
    const double field = meanLowest(deep, 0, 40, 10, 40);
    const double forest = meanLowest(deep, 56, 96, 10, 40);
    const double road = meanLowest(deep, 0, 40, 45, 49);
    EXPECT_GE(field, 240.0);
    EXPECT_LT(forest, field - 40.0);
    EXPECT_GT(forest, meanLowest(f.bgr, 56, 96, 10, 40) + 60.0);
    EXPECT_LT(road, field - 15.0);
    EXPECT_GT(road, 180.0);
    const Pixel roadPixel = f.at(deep, 20, 47);
    EXPECT_LE(std::abs(roadPixel.red - roadPixel.blue), 1) << "trodden snow is grey";

    // A forest in a dark landscape is deep forest: the same trees keep more of their darkness
    // than in a small wood among fields (alike within 6 pixels), and the crowns stay darker
    // than the gaps between them.
    HardWinterFixture wood, forestLand;
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x) {
            const Pixel tree = (x / 3 + y / 3) % 3 == 0 ? rgb(45, 60, 35) : rgb(15, 28, 12);
            const bool inWood = x >= 36 && x < 60 && y >= 36 && y < 60;
            wood.set(x, y, inWood ? tree : rgb(150, 165, 95));
            forestLand.set(x, y, tree);
        }
    const std::vector<std::uint8_t> woodOut = wood.hardWinter(season::defaultHardWinterDepth);
    const std::vector<std::uint8_t> forestOut =
        forestLand.hardWinter(season::defaultHardWinterDepth);
    EXPECT_LT(meanLowest(forestOut, 42, 54, 42, 54), meanLowest(woodOut, 42, 54, 42, 54) - 20.0);
    EXPECT_LT(HardWinterFixture::lowest(f.at(forestOut, 48, 46)) + 40,
              HardWinterFixture::lowest(f.at(forestOut, 46, 46)))
        << "crown against gap";

    // The snowiest season: a town of asphalt and pale roofs, which winter snows wholly and the
    // rule alone makes trodden grey, is still at least as white at the default depth as winter
    // at its default.
    HardWinterFixture town;
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x)
            town.set(x, y, x % 16 < 12 && y % 16 < 12 ? rgb(140, 140, 138) : rgb(185, 180, 175));
    std::vector<std::uint8_t> winter = town.bgr;
    season::TileColours colours{winter.data(), winter.size(), n, n, 3 * n, town.alpha.data()};
    season::seasonRow(season::Season::Winter).apply(colours, season::defaultSnowThreshold, 1);
    EXPECT_GE(meanLowest(town.hardWinter(season::defaultHardWinterDepth), 0, n, 6, n),
              meanLowest(winter, 0, n, 6, n));

    // More depth, more snow: no channel of any pixel darkens as the depth rises, and at the
    // deepest all land is white.
    for (const HardWinterFixture *tile :
         std::initializer_list<const HardWinterFixture *>{&f, &town}) {
        std::vector<std::uint8_t> before = tile->hardWinter(0);
        for (int depth = 5; depth <= season::highestHardWinterDepth; depth += 5) {
            const std::vector<std::uint8_t> now = tile->hardWinter(depth);
            for (std::size_t i = 0; i < now.size(); ++i)
                ASSERT_GE(now[i], before[i]) << "depth " << depth << " byte " << i;
            before = now;
        }
        for (std::size_t y = 6; y < n; ++y)
            for (std::size_t x = 0; x < n; ++x)
                ASSERT_EQ(tile->at(before, x, y), rgb(255, 255, 255)) << x << "," << y;
    }

    // Decided from each pixel's surroundings, not from a grid: the tile moved by one to three
    // pixels gives the result moved by as much, away from the borders.
    for (std::size_t shift = 1; shift < 4; ++shift) {
        HardWinterFixture moved;
        for (std::size_t y = 0; y < n; ++y)
            for (std::size_t x = shift; x < n; ++x)
                moved.set(x, y, f.at(f.bgr, x - shift, y));
        const std::vector<std::uint8_t> out = moved.hardWinter(season::defaultHardWinterDepth);
        for (std::size_t y = 24; y < n - 24; ++y)
            for (std::size_t x = 24; x < n - 24; ++x)
                ASSERT_EQ(f.at(out, x, y), f.at(deep, x - shift, y))
                    << "shift " << shift << " at " << x << "," << y;
    }
}

// Tiles narrower or shorter than the surroundings the rule smooths over, with rows padded to
// four bytes as in a bitmap file: the padding stays, water stays, land only lightens, and at
// the deepest it is white.
TEST(HardWinterTile, SmallAndOddTilesWithPaddedRows)
{
    for (const auto &[width, height] :
         {std::pair<std::size_t, std::size_t>{1, 1}, {1, 9}, {9, 1}, {2, 3}, {5, 7}, {13, 2}}) {
        const std::size_t stride = (3 * width + 3) / 4 * 4;
        std::vector<std::uint8_t> bgr(stride * height, 0xA5);
        std::vector<std::uint8_t> alpha(width * height, 255);
        for (std::size_t y = 0; y < height; ++y)
            for (std::size_t x = 0; x < width; ++x) {
                std::uint8_t *p = &bgr[y * stride + 3 * x];
                p[0] = std::uint8_t(20 + 31 * x);
                p[1] = std::uint8_t(60 + 17 * y);
                p[2] = std::uint8_t(40 + 23 * (x + y));
                if ((x + 2 * y) % 5 == 0)
                    alpha[y * width + x] = 0;
            }
        for (const int depth :
             {0, season::defaultHardWinterDepth, season::highestHardWinterDepth}) {
            std::vector<std::uint8_t> out = bgr;
            season::TileColours tile{out.data(), out.size(), width, height, stride, alpha.data()};
            season::hardWinterTile(tile, depth);
            for (std::size_t y = 0; y < height; ++y) {
                for (std::size_t b = 3 * width; b < stride; ++b)
                    ASSERT_EQ(out[y * stride + b], 0xA5) << width << "x" << height;
                for (std::size_t x = 0; x < width; ++x)
                    for (std::size_t c = 0; c < 3; ++c) {
                        const std::size_t i = y * stride + 3 * x + c;
                        if (alpha[y * width + x] == 0)
                            ASSERT_EQ(out[i], bgr[i]) << width << "x" << height;
                        else if (depth == season::highestHardWinterDepth)
                            ASSERT_EQ(out[i], 255) << width << "x" << height;
                        else
                            ASSERT_GE(out[i], bgr[i]) << width << "x" << height;
                    }
            }
        }
    }
}

TEST(TruncateAdjustment, TowardZeroSaturating)
{
    using Case = std::pair<double, int>;
    for (const auto &[value, expected] :
         {Case{70.9, 70}, Case{-3.7, -3}, Case{-0.5, 0}, Case{std::nan(""), 0}, Case{1e300, intMax},
          Case{-1e300, intMin}, Case{2147483647.5, intMax}, Case{-2147483648.9, intMin}})
        EXPECT_EQ(season::truncateAdjustment(value), expected) << value;
}

} // namespace
