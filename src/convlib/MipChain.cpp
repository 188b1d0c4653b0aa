// Mip-maps of a texture with a 1-bit alpha mask (alpha below 128 is transparent: water).
#include "convlib/MipChain.h"

#include <algorithm>

namespace kovar {

Image halveLevel(const Image &level)
{
    Image half(std::max<std::uint32_t>(1, level.width() / 2),
               std::max<std::uint32_t>(1, level.height() / 2), "mip level");
    const std::uint32_t lastX = level.width() - 1;
    const std::uint32_t lastY = level.height() - 1;
    for (std::uint32_t y = 0; y < half.height(); ++y) {
        for (std::uint32_t x = 0; x < half.width(); ++x) {
            const std::uint32_t x0 = std::min(2 * x, lastX);
            const std::uint32_t x1 = std::min(2 * x + 1, lastX);
            const std::uint32_t y0 = std::min(2 * y, lastY);
            const std::uint32_t y1 = std::min(2 * y + 1, lastY);
            const std::uint8_t *box[4] = {level.pixel(x0, y0), level.pixel(x1, y0),
                                          level.pixel(x0, y1), level.pixel(x1, y1)};
            const int transparent = static_cast<int>(std::count_if(
                box, box + 4, [](const std::uint8_t *t) { return isTransparent(t); }));
            const bool water = transparent >= 3;
            unsigned sum[3] = {0, 0, 0};
            unsigned count = 0;
            for (const std::uint8_t *texel : box) {
                if (isTransparent(texel) != water)
                    continue;
                for (int c = 0; c < 3; ++c)
                    sum[c] += texel[c];
                ++count;
            }
            std::uint8_t *out = half.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
            out[3] = water ? 0 : 255;
        }
    }
    return half;
}

std::vector<Image> buildMipChain(const Image &top)
{
    std::vector<Image> chain{top};
    while (chain.back().width() > 1 || chain.back().height() > 1)
        chain.push_back(halveLevel(chain.back()));
    return chain;
}

} // namespace kovar
