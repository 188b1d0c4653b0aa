// The pixel rules, the snow noise generator and the truncation of adjustments.
#include "season/Adjustment.h"
#include "season/PixelRules.h"
#include "season/SnowNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

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
        {"HalfWeightAtEqualRedAndGreen", rgb(100, 100, 50), 255, 10, rgb(98, 110, 45)},
        {"BareSoilUnchanged", rgb(150, 120, 90), 255, 25, rgb(150, 120, 90)},
        {"AmountZeroUnchanged", rgb(60, 100, 50), 255, 0, rgb(60, 100, 50)},
        {"LimitedTo255And0", rgb(20, 250, 5), 255, 25, rgb(8, 255, 0)},
        {"WaterUnchanged", rgb(60, 100, 50), 127, 25, rgb(60, 100, 50)},
        {"AlphaAt128IsLand", rgb(60, 100, 50), 128, 10, rgb(55, 120, 40)},
        {"BlueDominantUnchanged", rgb(10, 20, 30), 255, 25, rgb(10, 20, 30)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(season::springPixel(c.in, c.alpha, c.amount), c.expected) << c.name;
}

TEST(HardWinterPixel, SnowsAllLandKeepingDarkAndGreyStructure)
{
    const Pixel snow1 = rgb(249, 249, 249); // 255 - 346 % 20
    const struct
    {
        const char *name;
        Pixel in;
        std::uint8_t alpha;
        int threshold;
        Pixel expected;
        int draws;
    } cases[] = {
        {"BrightFieldDeepSnow", rgb(150, 170, 90), 255, 110, snow1, 1},
        {"GreyRoadLightGrey", rgb(100, 100, 100), 255, 110, rgb(193, 193, 193), 0},
        {"GreyDarkerThanThresholdStillGrey", rgb(50, 45, 40), 255, 255, rgb(165, 165, 165), 0},
        {"ForestTowardWhite", rgb(40, 80, 30), 255, 110, rgb(181, 197, 177), 0},
        {"T255NothingDeep", rgb(225, 200, 150), 255, 255, rgb(255, 245, 225), 0},
        {"WaterUnchanged", rgb(150, 170, 90), 0, 0, rgb(150, 170, 90), 0},
        {"BlueDominantUnchanged", rgb(10, 20, 30), 255, -1000, rgb(10, 20, 30), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        season::SnowNoise noise;
        EXPECT_EQ(season::hardWinterPixel(c.in, c.alpha, c.threshold, noise), c.expected);
        season::SnowNoise reference;
        for (int i = 0; i < c.draws; ++i)
            reference.draw();
        EXPECT_EQ(noise.state(), reference.state()) << "draws made";
        EXPECT_EQ(season::hardWinterDraws(c.in, c.alpha, c.threshold), c.draws == 1);
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
