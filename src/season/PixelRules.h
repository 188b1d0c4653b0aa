// The per-pixel rules of the winter and fall passes.
//
// A pixel is one blue, green, red triple of the 24-bit working bitmap. A blue-dominant pixel
// (blue strictly above red and green: water) goes through both rules unchanged.
#pragma once

#include "season/SnowNoise.h"

#include <cstddef>
#include <cstdint>

namespace season {

struct Pixel
{
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;

    friend bool operator==(const Pixel &, const Pixel &) = default;
};

inline bool isBlueDominant(Pixel p)
{
    return p.blue > p.red && p.blue > p.green;
}

// Limits a channel value to 0..255.
inline std::uint8_t clampChannel(long long value)
{
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Winter: every channel raised by 30 (at most 255); when the integer mean of the raised
// channels is above the threshold, the pixel becomes grey snow v = 255 - (r mod 20), r being
// the generator's next draw. Exactly one draw per snowed pixel.
inline Pixel winterPixel(Pixel p, int threshold, SnowNoise &noise)
{
    if (isBlueDominant(p))
        return p;
    const int red = p.red + 30 > 255 ? 255 : p.red + 30;
    const int green = p.green + 30 > 255 ? 255 : p.green + 30;
    const int blue = p.blue + 30 > 255 ? 255 : p.blue + 30;
    const int brightness = (red + green + blue) / 3;
    if (brightness > threshold) {
        const auto v = static_cast<std::uint8_t>(255 - noise.draw() % 20);
        return Pixel{v, v, v};
    }
    return Pixel{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                 static_cast<std::uint8_t>(red)};
}

// Fall, in this order: all channels + 2a, then red + a, then green and blue - a. Every
// step's result is limited to 0..255, so a negative amount bottoms out at 0 rather than
// wrapping. 64-bit sums keep any int amount from overflowing.
inline Pixel fallPixel(Pixel p, int amount)
{
    if (isBlueDominant(p))
        return p;
    const long long a = amount;
    return Pixel{clampChannel(clampChannel(p.blue + 2 * a) - a),
                 clampChannel(clampChannel(p.green + 2 * a) - a),
                 clampChannel(clampChannel(p.red + 2 * a) + a)};
}

// The rules applied in place to `count` whole blue, green, red triples starting at `bgr`.
template <class Rule> inline void transformTriples(std::uint8_t *bgr, std::size_t count, Rule rule)
{
    for (std::uint8_t *end = bgr + 3 * count; bgr != end; bgr += 3) {
        const Pixel p = rule(Pixel{bgr[0], bgr[1], bgr[2]});
        bgr[0] = p.blue;
        bgr[1] = p.green;
        bgr[2] = p.red;
    }
}

inline void winterTriples(std::uint8_t *bgr, std::size_t count, int threshold, SnowNoise &noise)
{
    // A local copy of the generator: the byte stores cannot then force it back to memory on
    // every pixel.
    SnowNoise local = noise;
    transformTriples(bgr, count, [&](Pixel p) { return winterPixel(p, threshold, local); });
    noise = local;
}

inline void fallTriples(std::uint8_t *bgr, std::size_t count, int amount)
{
    transformTriples(bgr, count, [amount](Pixel p) { return fallPixel(p, amount); });
}

} // namespace season
