// The process-wide snow noise generator.
#include "season/SnowNoise.h"

namespace season {

SnowNoise &processSnowNoise()
{
    static SnowNoise noise(1);
    return noise;
}

} // namespace season
