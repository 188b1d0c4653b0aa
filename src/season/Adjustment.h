// The window's two adjustments: their defaults and range, and their truncation to integers.
#pragma once

namespace season {

// The adjustments' defaults, and the range the window's edit boxes keep them in.
inline constexpr int defaultSnowThreshold = 70;
inline constexpr int defaultFallAmount = 12;
inline constexpr int lowestAdjustment = -1000;
inline constexpr int highestSnowThreshold = 255;
inline constexpr int highestFallAmount = 25;

// Truncates toward zero (70.9 gives 70, -0.5 gives 0). NaN gives 0; values beyond the int
// range give the nearest end of the range.
int truncateAdjustment(double value);

} // namespace season
