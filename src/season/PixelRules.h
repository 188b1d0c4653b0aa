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

// Water in the texture's mask: alpha below 128 is transparent. The spring and hard-winter rules
// leave water pixels as they are, as they leave blue-dominant ones.
inline bool isWater(std::uint8_t alpha)
{
    return alpha < 128;
}

// Spring (amount a, 0 to 25): young growth is a fresher, lighter green than summer's, while
// bare ground (ploughed soil, tracks, roofs: red at or above green) stays as it is. How green a
// pixel is decides how much it changes: w = green - red + 8, limited to 0..16, so soil (red 8
// or more above green) gets nothing and vegetation (green 8 or more above red) all of it, with
// no hard edge between them. At full weight green rises by 2a and blue falls by a (fresher,
// more saturated) and red by a / 2. The sums are limited to 0..255.
inline Pixel springPixel(Pixel p, std::uint8_t alpha, int amount)
{
    if (isWater(alpha) || isBlueDominant(p))
        return p;
    const long long w =
        p.green - p.red + 8 < 0 ? 0 : (p.green - p.red + 8 > 16 ? 16 : p.green - p.red + 8);
    const long long a = amount;
    return Pixel{clampChannel(p.blue - a * w / 16), clampChannel(p.green + 2 * a * w / 16),
                 clampChannel(p.red - a * w / 32)};
}

// Hard winter (snow setting T, 0 to 255, as winter's: lower means more deep snow): all land
// lies under snow, and what stands out of it or is cleared shows as darker texture. Channels
// are raised by 30 and their integer mean taken, as in winter; then, first match:
//   - Grey (the raised channels within 24 of each other: asphalt, concrete, slate roofs):
//     cleared or trodden, a light grey that keeps its brightness, v = 128 + mean / 2.
//   - Brighter than T: deep snow, v = 255 - (r mod 20) with r the next draw of the hard-winter
//     generator, one draw per such pixel.
//   - Not brighter than T (forest, hedges, shadows): trees and dark ground standing out of
//     the snow, each raised channel taken 60 % of the way to white, so their structure shows
//     through.
namespace detail {

// The hard-winter rule's two tests on the raised channels.
struct HardWinterLook
{
    bool grey; // the raised channels within 24 of each other
    bool deep; // not grey, and brighter than the threshold: a draw is made
    int brightness;
};

inline HardWinterLook lookAt(Pixel p, int threshold)
{
    const int red = p.red + 30 > 255 ? 255 : p.red + 30;
    const int green = p.green + 30 > 255 ? 255 : p.green + 30;
    const int blue = p.blue + 30 > 255 ? 255 : p.blue + 30;
    const int brightness = (red + green + blue) / 3;
    const int highest = red > green ? (red > blue ? red : blue) : (green > blue ? green : blue);
    const int lowest = red < green ? (red < blue ? red : blue) : (green < blue ? green : blue);
    const bool grey = highest - lowest < 24;
    return HardWinterLook{grey, !grey && brightness > threshold, brightness};
}

} // namespace detail

// Whether the hard-winter rule makes a draw for this pixel: the number of such pixels in a
// tile is the number of draws its pass takes from the hard-winter generator.
inline bool hardWinterDraws(Pixel p, std::uint8_t alpha, int threshold)
{
    return !isWater(alpha) && !isBlueDominant(p) && detail::lookAt(p, threshold).deep;
}

inline Pixel hardWinterPixel(Pixel p, std::uint8_t alpha, int threshold, SnowNoise &noise)
{
    if (isWater(alpha) || isBlueDominant(p))
        return p;
    const detail::HardWinterLook look = detail::lookAt(p, threshold);
    if (look.grey) {
        const auto v = static_cast<std::uint8_t>(128 + look.brightness / 2);
        return Pixel{v, v, v};
    }
    if (look.deep) {
        const auto v = static_cast<std::uint8_t>(255 - noise.draw() % 20);
        return Pixel{v, v, v};
    }
    const auto towardWhite = [](int c) {
        const int raised = c + 30 > 255 ? 255 : c + 30;
        return static_cast<std::uint8_t>(raised + (255 - raised) * 6 / 10);
    };
    return Pixel{towardWhite(p.blue), towardWhite(p.green), towardWhite(p.red)};
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
