// The per-pixel rules of the winter, fall and spring passes.
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
inline Pixel winterRaised(Pixel p)
{
    return Pixel{static_cast<std::uint8_t>(p.blue + 30 > 255 ? 255 : p.blue + 30),
                 static_cast<std::uint8_t>(p.green + 30 > 255 ? 255 : p.green + 30),
                 static_cast<std::uint8_t>(p.red + 30 > 255 ? 255 : p.red + 30)};
}

inline bool winterSnows(Pixel raised, int threshold)
{
    return (raised.red + raised.green + raised.blue) / 3 > threshold;
}

inline Pixel winterPixel(Pixel p, int threshold, SnowNoise &noise)
{
    if (isBlueDominant(p))
        return p;
    const Pixel raised = winterRaised(p);
    if (winterSnows(raised, threshold)) {
        const auto v = static_cast<std::uint8_t>(255 - noise.draw() % 20);
        return Pixel{v, v, v};
    }
    return raised;
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

// Water in the texture's mask: alpha below 128 is transparent. The spring and hard-winter rules
// leave water pixels as they are, as they leave blue-dominant ones.
inline bool isWater(std::uint8_t alpha)
{
    return alpha < 128;
}

// Spring (amount a, 0 to 25): young growth is a fresher, lighter green than summer's, while
// grey and bare ground (roads, roofs, concrete, ploughed soil) stays as it is. Only a pixel
// whose green stands above both red and blue and whose channels lie more than 24 apart is
// vegetation; how much so decides how much it changes, with no hard edge: the weight
// w = (chroma - 24) / 16 times (green - max(red, blue)) / 8, each limited to 0..1, so a grey
// pixel (channels within 24 of each other) or a bare one (red or blue at or above green) keeps
// its colour exactly. At full weight green rises by 2a, blue falls by a and red by a / 2.
// The sums are limited to 0..255.
inline Pixel springPixel(Pixel p, std::uint8_t alpha, int amount)
{
    if (isWater(alpha) || isBlueDominant(p))
        return p;
    const int highest =
        p.red > p.green ? (p.red > p.blue ? p.red : p.blue) : (p.green > p.blue ? p.green : p.blue);
    const int lowest =
        p.red < p.green ? (p.red < p.blue ? p.red : p.blue) : (p.green < p.blue ? p.green : p.blue);
    const int above = p.green - (p.red > p.blue ? p.red : p.blue);
    const long long colourful =
        highest - lowest - 24 < 0 ? 0 : (highest - lowest - 24 > 16 ? 16 : highest - lowest - 24);
    const long long green = above < 0 ? 0 : (above > 8 ? 8 : above);
    const long long w = colourful * green; // 0..128
    if (w == 0)
        return p;
    const long long a = amount;
    return Pixel{clampChannel(p.blue - a * w / 128), clampChannel(p.green + 2 * a * w / 128),
                 clampChannel(p.red - a * w / 256)};
}

// How many of `count` blue, green, red triples the winter rule with this threshold snows:
// the number of draws the winter pass makes over them.
inline std::uint64_t countWinterDraws(const std::uint8_t *bgr, std::size_t count, int threshold)
{
    std::uint64_t snowed = 0;
    for (const std::uint8_t *end = bgr + 3 * count; bgr != end; bgr += 3) {
        const Pixel p{bgr[0], bgr[1], bgr[2]};
        if (!isBlueDominant(p))
            snowed += winterSnows(winterRaised(p), threshold);
    }
    return snowed;
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
