// Hard winter: the deepest-snow season, decided from each pixel's surroundings.
#include "season/HardWinter.h"

#include "season/Adjustment.h"
#include "season/PixelRules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace season {

namespace {

// 0 at `edge0`, 1 at `edge1`, smooth between (either order).
float smoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A map of one value per pixel, in a block owned by the caller.
using Map = std::int32_t *;

// The radius of the squares the surroundings are taken over: twice 7 x 7, close to a Gaussian
// of sigma 2.8.
constexpr int surroundings = 3;
// The radius for the landscape around: twice 25 x 25, close to a Gaussian of sigma 10, wide
// enough that a town's shadows and dark yards do not make it a forest.
constexpr int landscape = 12;

// Each value replaced by the sum over the 2r + 1 values around it in its row; values beyond
// the tile's edge count 0.
void rowSums(const std::int32_t *in, std::int32_t *out, std::size_t width, std::size_t height,
             int radius)
{
    const long long r = radius;
    const long long w = (long long)width;
    for (std::size_t y = 0; y < height; ++y) {
        const std::int32_t *row = &in[y * width];
        std::int32_t *sums = &out[y * width];
        std::int32_t sum = 0;
        for (long long x = 0; x <= r && x < w; ++x)
            sum += row[x];
        for (long long x = 0; x < w; ++x) {
            sums[x] = sum;
            if (x + r + 1 < w)
                sum += row[x + r + 1];
            if (x - r >= 0)
                sum -= row[x - r];
        }
    }
}

// The same down each column.
void columnSums(const std::int32_t *in, std::int32_t *out, std::size_t width, std::size_t height,
                int radius)
{
    const long long r = radius;
    const long long h = (long long)height;
    std::vector<std::int32_t> sum(width, 0);
    for (long long y = 0; y <= r && y < h; ++y)
        for (std::size_t x = 0; x < width; ++x)
            sum[x] += in[std::size_t(y) * width + x];
    for (long long y = 0; y < h; ++y) {
        std::int32_t *sums = &out[std::size_t(y) * width];
        std::copy(sum.begin(), sum.end(), sums);
        const std::int32_t *enter = y + r + 1 < h ? &in[std::size_t(y + r + 1) * width] : nullptr;
        const std::int32_t *leave = y - r >= 0 ? &in[std::size_t(y - r) * width] : nullptr;
        for (std::size_t x = 0; x < width; ++x)
            sum[x] += (enter ? enter[x] : 0) - (leave ? leave[x] : 0);
    }
}

// `values` replaced by their sums over a square of side 2r + 1 taken twice: a window of
// 4r + 1 pixels each way weighted like a pyramid, close to a Gaussian of sigma
// sqrt(2r (r + 1) / 3). In integers, so each sum depends only on the values around the pixel,
// not on where in the tile it lies.
void smooth(Map values, Map scratch, std::size_t width, std::size_t height, int radius)
{
    rowSums(values, scratch, width, height, radius);
    rowSums(scratch, values, width, height, radius);
    columnSums(values, scratch, width, height, radius);
    columnSums(scratch, values, width, height, radius);
}

// Hard winter is the snowiest season: at its default depth and above, the land's mean lowest
// channel is at least winter's at its default (each snowed pixel counted at the mean of winter's
// snow, 245.5, and half a level more for the noise). Where the rule alone falls short, every
// land pixel is taken the same share of its way to white. Gradients all shrink in the same
// proportion, so the summer's structure keeps its shape; the share grows from nothing at depth
// 30 to its whole at the default and stays there, so more depth still never darkens a pixel.
void liftToWinter(TileColours &tile, int depth, std::uint64_t landPixels,
                  std::uint64_t defaultLowest, std::uint64_t winterHalves)
{
    if (landPixels == 0)
        return;
    const double hard = double(defaultLowest) / double(landPixels);
    const double winter = (double(winterHalves) + double(landPixels)) / (2.0 * double(landPixels));
    if (hard >= winter || hard >= 255.0)
        return;
    const double ramp = std::clamp((depth - 30) / double(defaultHardWinterDepth - 30), 0.0, 1.0);
    const double share = ramp * (winter - hard) / (255.0 - hard);
    const auto fixed = static_cast<std::uint32_t>(std::min(65536.0, std::ceil(share * 65536.0)));
    if (fixed == 0)
        return;
    for (std::size_t y = 0; y < tile.height; ++y) {
        std::uint8_t *bgr = tile.bgr + y * tile.stride;
        for (std::size_t x = 0; x < tile.width; ++x, bgr += 3) {
            if (isWater(tile.alpha[y * tile.width + x]))
                continue;
            // Rounded up, so that the mean reaches its mark.
            for (int c = 0; c < 3; ++c)
                bgr[c] = std::uint8_t(bgr[c] + ((255u - bgr[c]) * fixed + 65535u) / 65536u);
        }
    }
}

} // namespace

void hardWinterTile(TileColours &tile, int depth)
{
    const std::size_t width = tile.width;
    const std::size_t height = tile.height;
    const std::size_t count = width * height;
    if (count == 0)
        return;

    // Luminance in 256ths of a level. The smoothing takes land only (not water, not the
    // blue-dominant shadows), so that neither darkens what is around it: each smoothed value is
    // a sum over land divided by the land's own smoothed weight.
    // Every map is written in full before it is read, so the block is left uninitialised.
    constexpr std::size_t mapCount = 9;
    const std::unique_ptr<std::int32_t[]> maps =
        std::make_unique_for_overwrite<std::int32_t[]>(mapCount * count);
    const Map luminance = maps.get(), land = luminance + count, landLuminance = land + count,
              landChroma = landLuminance + count, roughness = landChroma + count,
              nearLand = roughness + count, wideLuminance = nearLand + count,
              wideLand = wideLuminance + count, scratch = wideLand + count;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t *bgr = tile.bgr + y * tile.stride;
        for (std::size_t x = 0; x < width; ++x, bgr += 3) {
            const std::size_t i = y * width + x;
            const Pixel p{bgr[0], bgr[1], bgr[2]};
            const std::int32_t isLand = !isWater(tile.alpha[i]) && !isBlueDominant(p);
            luminance[i] = 77 * p.red + 150 * p.green + 29 * p.blue;
            land[i] = isLand;
            roughness[i] = isLand;
            nearLand[i] = isLand;
            landLuminance[i] = isLand * luminance[i];
            // In whole levels: sums over the wide window would overflow in 256ths.
            wideLuminance[i] = isLand * (luminance[i] >> 8);
            landChroma[i] =
                isLand * (std::max({p.red, p.green, p.blue}) - std::min({p.red, p.green, p.blue}));
        }
    }
    std::copy(land, land + count, wideLand);
    smooth(wideLand, scratch, width, height, landscape);
    smooth(wideLuminance, scratch, width, height, landscape);
    smooth(land, scratch, width, height, surroundings);
    smooth(landLuminance, scratch, width, height, surroundings);
    // Grey is judged closer in, so that a street between colourful fields is grey.
    smooth(nearLand, scratch, width, height, 1);
    smooth(landChroma, scratch, width, height, 1);
    // Roughness: how far each land pixel lies from its surroundings, itself smoothed.
    for (std::size_t i = 0; i < count; ++i)
        if (roughness[i])
            roughness[i] = std::abs(luminance[i] - landLuminance[i] / land[i]);
    smooth(roughness, scratch, width, height, surroundings);

    // Depth 60 is the shape below as it stands; 100 takes k to 0 (all white), 0 to 2.5 times.
    const float scale =
        float(highestHardWinterDepth - std::clamp(depth, 0, highestHardWinterDepth)) /
        float(highestHardWinterDepth - defaultHardWinterDepth);

    // The land's lowest channels at the default depth, and winter's at its default, to be sure
    // hard winter ends up the whiter of the two.
    std::uint64_t landPixels = 0, defaultLowest = 0, winterHalves = 0;
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t *bgr = tile.bgr + y * tile.stride;
        for (std::size_t x = 0; x < width; ++x, bgr += 3) {
            const std::size_t i = y * width + x;
            if (isWater(tile.alpha[i]))
                continue;
            const float lum = float(luminance[i]) * (1.0f / 256.0f);
            float around = lum, wide = lum, colourfulness = 0.0f, rough = 0.0f;
            if (land[i] > 0) {
                const float perWeight = 1.0f / float(land[i]);
                around = float(landLuminance[i]) * perWeight * (1.0f / 256.0f);
                rough = float(roughness[i]) * perWeight * (1.0f / 256.0f);
            }
            if (wideLand[i] > 0)
                wide = float(wideLuminance[i]) / float(wideLand[i]);
            if (nearLand[i] > 0)
                colourfulness = float(landChroma[i]) / float(nearLand[i]);
            const float darker = around - lum; // above 0: darker than around it
            const float trees = smoothStep(80.0f, 40.0f, around) * smoothStep(1.0f, 3.0f, rough);
            const float grey = smoothStep(12.0f, 5.0f, colourfulness) *
                               smoothStep(60.0f, 90.0f, around) * (1.0f - trees);
            // Open ground: only what stands out darker than the ground's own grain shows, over a
            // faint trace of the whole summer, so that pale houses on darker ground still show.
            const float open = 1.425f / 255.0f * std::max(0.0f, darker - 1.0f - 0.2f * rough) +
                               0.035f / 255.0f * (255.0f - lum);
            // In deep forest (a dark landscape, not only dark surroundings) the canopy stands
            // dark and greener out of the snow; only the gaps between crowns are white.
            const float deep = smoothStep(50.0f, 20.0f, wide);
            const float standing = trees * (0.1125f - 0.075f * deep +
                                            (0.3375f + 0.4f * deep) *
                                                smoothStep(-15.0f, 30.0f, darker + 40.0f * deep));
            const float trodden = grey * 0.15f;
            const float k = std::min(1.0f, scale * std::max({open, standing, trodden}));
            // Snow over open ground and trodden snow are grey; trees keep some of their colour.
            const float saturation = (0.55f + 0.2f * deep) * trees * (1.0f - grey);
            const Pixel summer{bgr[0], bgr[1], bgr[2]};
            const float kDefault = std::min(1.0f, std::max({open, standing, trodden}));
            int lowestAtDefault = 255;
            for (int c = 0; c < 3; ++c) {
                const float ground =
                    std::clamp(lum + saturation * (float(bgr[c]) - lum), 0.0f, 255.0f);
                // Snow only ever lightens: never below the summer's own channel.
                const auto snowed = [&](float cover) {
                    const float out = std::max(float(bgr[c]), 255.0f - cover * (255.0f - ground));
                    return static_cast<std::uint8_t>(std::min(255.0f, out) + 0.5f);
                };
                const std::uint8_t out = snowed(k);
                lowestAtDefault =
                    std::min<int>(lowestAtDefault, k == kDefault ? out : snowed(kDefault));
                bgr[c] = out;
            }
            if (!isBlueDominant(summer)) {
                const Pixel raised = winterRaised(summer);
                winterHalves += winterSnows(raised, defaultSnowThreshold)
                                    ? 2 * 255 - 19
                                    : 2 * std::min({raised.red, raised.green, raised.blue});
                defaultLowest += std::uint64_t(lowestAtDefault);
                ++landPixels;
            }
        }
    }
    liftToWinter(tile, depth, landPixels, defaultLowest, winterHalves);
}

} // namespace season
