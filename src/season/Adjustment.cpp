// The two adjustments: their defaults and range, and their truncation to integers.
#include "season/Adjustment.h"

#include <cmath>
#include <limits>

namespace season {

int truncateAdjustment(double value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (truncated <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(truncated);
}

} // namespace season
