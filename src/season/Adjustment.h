// The two adjustments: their defaults and range, and their truncation to integers.
#pragma once

namespace season {

// The adjustments' defaults, and the range the window's edit boxes keep them in.
inline constexpr int defaultSnowThreshold = 70;
inline constexpr int defaultFallAmount = 12;
inline constexpr int lowestAdjustment = -1000;
inline constexpr int highestSnowThreshold = 255;
inline constexpr int highestFallAmount = 25;

// The strengths of the seasons only the command line makes: the spring greening amount
// (0 leaves every pixel as it is, 25 is the freshest green) and the hard-winter snow setting
// (the same scale as winter's: brightness above it is deep snow, lower means more of it).
inline constexpr int defaultSpringAmount = 10;
inline constexpr int lowestSpringAmount = 0;
inline constexpr int highestSpringAmount = 25;
inline constexpr int defaultHardWinterThreshold = 110;
inline constexpr int lowestHardWinterThreshold = 0;
inline constexpr int highestHardWinterThreshold = 255;

// Truncates toward zero (70.9 gives 70, -0.5 gives 0). NaN gives 0; values beyond the int
// range give the nearest end of the range.
int truncateAdjustment(double value);

} // namespace season
