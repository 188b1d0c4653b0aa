// Mip-maps of a texture with a 1-bit alpha mask (alpha below 128 is transparent: water).
#include "convlib/MipChain.h"

#include <algorithm>

namespace kovar {

namespace {

// The texel of the next level over the box of the four texels given.
void averageBox(const std::uint8_t *const box[4], std::uint8_t *out)
{
    int transparent = 0;
    for (int n = 0; n < 4; ++n)
        transparent += isTransparent(box[n]) ? 1 : 0;
    const bool water = transparent >= 3;
    if (transparent == 0 || transparent == 4) {
        // The common case, all four on one side of the mask: a plain rounded mean.
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<std::uint8_t>(
                (unsigned(box[0][c]) + box[1][c] + box[2][c] + box[3][c] + 2) / 4);
        out[3] = water ? 0 : 255;
        return;
    }
    unsigned sum[3] = {0, 0, 0};
    unsigned count = 0;
    for (int n = 0; n < 4; ++n) {
        if (isTransparent(box[n]) != water)
            continue;
        for (int c = 0; c < 3; ++c)
            sum[c] += box[n][c];
        ++count;
    }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
    out[3] = water ? 0 : 255;
}

} // namespace

Image halveLevel(const Image &level)
{
    Image half(std::max<std::uint32_t>(1, level.width() / 2),
               std::max<std::uint32_t>(1, level.height() / 2), "mip level");
    const std::uint32_t lastX = level.width() - 1;
    const std::uint32_t lastY = level.height() - 1;
    for (std::uint32_t y = 0; y < half.height(); ++y) {
        const std::uint8_t *row0 = level.pixel(0, std::min(2 * y, lastY));
        const std::uint8_t *row1 = level.pixel(0, std::min(2 * y + 1, lastY));
        std::uint8_t *out = half.pixel(0, y);
        for (std::uint32_t x = 0; x < half.width(); ++x, out += 4) {
            const std::size_t x0 = std::size_t(std::min(2 * x, lastX)) * 4;
            const std::size_t x1 = std::size_t(std::min(2 * x + 1, lastX)) * 4;
            const std::uint8_t *box[4] = {row0 + x0, row0 + x1, row1 + x0, row1 + x1};
            averageBox(box, out);
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
