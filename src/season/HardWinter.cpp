// Hard winter: the deepest-snow season, decided from each pixel's surroundings.
#include "season/HardWinter.h"

#include "season/PixelRules.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace season {

namespace {

// 0 at `edge0`, 1 at `edge1`, smooth between (either order).
float smoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A Gaussian blur of `values` over the land pixels only (`weight` 1 on land, 0 elsewhere), so
// that water does not darken the shore: each result is the weighted mean of its surroundings.
std::vector<float> landBlur(const std::vector<float> &values, const std::vector<float> &weight,
                            std::size_t width, std::size_t height, float sigma)
{
    const int radius = int(std::ceil(3.0f * sigma));
    std::vector<float> kernel(std::size_t(2 * radius + 1));
    for (int d = -radius; d <= radius; ++d)
        kernel[std::size_t(d + radius)] = std::exp(-0.5f * float(d * d) / (sigma * sigma));

    const std::size_t count = width * height;
    std::vector<float> sum(count), total(count), rowSum(count), rowTotal(count);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            float s = 0, t = 0;
            for (int d = -radius; d <= radius; ++d) {
                const long long xx = (long long)x + d;
                if (xx < 0 || xx >= (long long)width)
                    continue;
                const std::size_t i = y * width + std::size_t(xx);
                const float k = kernel[std::size_t(d + radius)] * weight[i];
                s += k * values[i];
                t += k;
            }
            rowSum[y * width + x] = s;
            rowTotal[y * width + x] = t;
        }
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            float s = 0, t = 0;
            for (int d = -radius; d <= radius; ++d) {
                const long long yy = (long long)y + d;
                if (yy < 0 || yy >= (long long)height)
                    continue;
                const std::size_t i = std::size_t(yy) * width + x;
                const float k = kernel[std::size_t(d + radius)];
                s += k * rowSum[i];
                t += k * rowTotal[i];
            }
            sum[y * width + x] = t > 0 ? s / t : 0.0f;
        }
    return sum;
}

} // namespace

void hardWinterTile(TileColours &tile, int depth)
{
    const std::size_t width = tile.width;
    const std::size_t height = tile.height;
    const std::size_t count = width * height;
    if (count == 0)
        return;

    std::vector<float> luminance(count), chroma(count), land(count), blue(count), mask(count);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t *bgr = tile.bgr + y * tile.stride;
        for (std::size_t x = 0; x < width; ++x, bgr += 3) {
            const std::size_t i = y * width + x;
            const Pixel p{bgr[0], bgr[1], bgr[2]};
            mask[i] = isWater(tile.alpha[i]) ? 0.0f : 1.0f;
            blue[i] = isBlueDominant(p) ? 1.0f : 0.0f;
            land[i] = mask[i] * (1.0f - blue[i]);
            luminance[i] = 0.299f * p.red + 0.587f * p.green + 0.114f * p.blue;
            chroma[i] =
                float(std::max({p.red, p.green, p.blue}) - std::min({p.red, p.green, p.blue}));
        }
    }
    const std::vector<float> near = landBlur(luminance, land, width, height, 2.0f);
    const std::vector<float> around = landBlur(luminance, land, width, height, 3.0f);
    const std::vector<float> colourfulness = landBlur(chroma, land, width, height, 2.0f);
    std::vector<float> roughness(count);
    for (std::size_t i = 0; i < count; ++i)
        roughness[i] = std::abs(luminance[i] - near[i]);
    roughness = landBlur(roughness, land, width, height, 3.0f);

    // Depth 60 is the shape below as it stands; 100 takes k to 0 (all white), 0 to 2.5 times.
    const float scale =
        float(highestHardWinterDepth - std::clamp(depth, 0, highestHardWinterDepth)) /
        float(highestHardWinterDepth - defaultHardWinterDepth);

    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t *bgr = tile.bgr + y * tile.stride;
        for (std::size_t x = 0; x < width; ++x, bgr += 3) {
            const std::size_t i = y * width + x;
            if (mask[i] == 0.0f)
                continue;
            const float darker = around[i] - luminance[i]; // above 0: darker than around it
            const float trees =
                smoothStep(80.0f, 40.0f, near[i]) * smoothStep(2.0f, 6.0f, roughness[i]);
            const float grey = smoothStep(14.0f, 6.0f, colourfulness[i]) *
                               smoothStep(60.0f, 90.0f, near[i]) * (1.0f - trees);
            const float open = 2.0f * std::max(0.0f, darker) / 255.0f;
            const float standing = trees * (0.15f + 0.45f * smoothStep(-6.0f, 18.0f, darker));
            const float trodden = grey * 0.24f;
            const float k = std::min(1.0f, scale * std::max({open, standing, trodden}));
            const float saturation = 0.55f * (1.0f - grey);
            const float lum = luminance[i];
            for (int c = 0; c < 3; ++c) {
                const float ground = lum + saturation * (float(bgr[c]) - lum);
                // Snow only ever lightens: never below the summer's own channel.
                const float out = std::max(
                    float(bgr[c]), 255.0f - k * (255.0f - std::clamp(ground, 0.0f, 255.0f)));
                bgr[c] = static_cast<std::uint8_t>(std::lround(std::clamp(out, 0.0f, 255.0f)));
            }
        }
    }
}

} // namespace season
