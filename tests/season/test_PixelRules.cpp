// The pixel rules, the snow noise generator and the truncation of adjustments.
#include "season/Adjustment.h"
#include "season/PixelRules.h"
#include "season/SnowNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
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

struct WinterCase
{
    const char *name;
    Pixel in;
    int threshold;
    Pixel expected;
    int draws;
};

void PrintTo(const WinterCase &c, std::ostream *os)
{
    *os << c.name;
}

class WinterPixel : public testing::TestWithParam<WinterCase>
{};

TEST_P(WinterPixel, GivesTheExpectedPixelAndDraws)
{
    const WinterCase &c = GetParam();
    season::SnowNoise noise;
    EXPECT_EQ(season::winterPixel(c.in, c.threshold, noise), c.expected);
    season::SnowNoise reference;
    for (int i = 0; i < c.draws; ++i)
        reference.draw();
    EXPECT_EQ(noise.state(), reference.state()) << "draws made";
}

const Pixel snow1 = rgb(249, 249, 249); // 255 - 346 % 20

INSTANTIATE_TEST_SUITE_P(
    Cases, WinterPixel,
    testing::Values(
        WinterCase{"T70Snowed", rgb(100, 120, 90), 70, snow1, 1},
        WinterCase{"T200Raised", rgb(100, 120, 90), 200, rgb(130, 150, 120), 0},
        WinterCase{"T255WhiteNotSnowed", rgb(255, 255, 255), 255, rgb(255, 255, 255), 0},
        WinterCase{"T255RaisedOnly", rgb(240, 10, 100), 255, rgb(255, 40, 130), 0},
        WinterCase{"T29BlackSnowed", rgb(0, 0, 0), 29, snow1, 1},
        WinterCase{"T30BlackRaised", rgb(0, 0, 0), 30, rgb(30, 30, 30), 0},
        WinterCase{"BrightnessEqualToThresholdNotSnowed", rgb(100, 100, 100), 130,
                   rgb(130, 130, 130), 0},
        WinterCase{"BrightnessJustAboveThresholdSnowed", rgb(100, 100, 100), 129, snow1, 1},
        WinterCase{"BrightnessRoundsDown", rgb(101, 100, 100), 130, rgb(131, 130, 130), 0},
        WinterCase{"GreyProcessed", rgb(100, 100, 100), 70, snow1, 1},
        WinterCase{"BlueDominantUnchanged", rgb(10, 20, 30), -1000, rgb(10, 20, 30), 0},
        WinterCase{"BlueEqualToRedNotDominant", rgb(30, 10, 30), -1000, snow1, 1},
        WinterCase{"BlueEqualToGreenNotDominant", rgb(10, 30, 30), 200, rgb(40, 60, 60), 0},
        WinterCase{"LowestThreshold", rgb(0, 0, 0), intMin, snow1, 1},
        WinterCase{"HighestThreshold", rgb(255, 255, 255), intMax, rgb(255, 255, 255), 0}),
    [](const auto &info) { return std::string(info.param.name); });

struct FallCase
{
    const char *name;
    Pixel in;
    int amount;
    Pixel expected;
};

void PrintTo(const FallCase &c, std::ostream *os)
{
    *os << c.name;
}

class FallPixel : public testing::TestWithParam<FallCase>
{};

TEST_P(FallPixel, GivesTheExpectedPixel)
{
    const FallCase &c = GetParam();
    EXPECT_EQ(season::fallPixel(c.in, c.amount), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FallPixel,
    testing::Values(FallCase{"A10SaturatedGreen", rgb(250, 250, 100), 10, rgb(255, 245, 110)},
                    FallCase{"A10Plain", rgb(100, 100, 100), 10, rgb(130, 110, 110)},
                    FallCase{"A25Black", rgb(0, 0, 0), 25, rgb(75, 25, 25)},
                    FallCase{"A25RedSaturates", rgb(200, 50, 60), 25, rgb(255, 75, 85)},
                    FallCase{"A0Unchanged", rgb(123, 45, 67), 0, rgb(123, 45, 67)},
                    FallCase{"BlueDominantUnchanged", rgb(10, 20, 30), 25, rgb(10, 20, 30)},
                    FallCase{"NegativeBottomsOutAtZero", rgb(5, 100, 100), -10, rgb(0, 90, 90)},
                    FallCase{"NegativeFromSaturated", rgb(0, 255, 255), -10, rgb(0, 245, 245)},
                    FallCase{"LowestAmountNoOverflow", rgb(0, 0, 0), intMin, rgb(0, 255, 255)},
                    FallCase{"HighestAmountNoOverflow", rgb(0, 0, 0), intMax, rgb(255, 0, 0)}),
    [](const auto &info) { return std::string(info.param.name); });

struct TruncateCase
{
    const char *name;
    double value;
    int expected;
};

void PrintTo(const TruncateCase &c, std::ostream *os)
{
    *os << c.name;
}

class TruncateAdjustment : public testing::TestWithParam<TruncateCase>
{};

TEST_P(TruncateAdjustment, TowardZeroSaturating)
{
    EXPECT_EQ(season::truncateAdjustment(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TruncateAdjustment,
                         testing::Values(TruncateCase{"Positive", 70.9, 70},
                                         TruncateCase{"SmallNegative", -0.5, 0},
                                         TruncateCase{"NaN", std::nan(""), 0},
                                         TruncateCase{"AboveRange", 1e300, intMax},
                                         TruncateCase{"BelowRange", -1e300, intMin},
                                         TruncateCase{"Infinity", HUGE_VAL, intMax},
                                         TruncateCase{"JustPastMax", 2147483647.5, intMax},
                                         TruncateCase{"JustPastMin", -2147483648.9, intMin}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
