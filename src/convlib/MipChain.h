// Mip-maps of a texture with a 1-bit alpha mask (alpha below 128 is transparent: water).
#pragma once

#include "convlib/Image.h"

#include <vector>

namespace kovar {

inline bool isTransparent(const std::uint8_t *rgba)
{
    return rgba[3] < 128;
}

// The next smaller level: max(1, w / 2) x max(1, h / 2). Each texel covers a 2 x 2 box of the
// level above (clamped at its last row and column; an odd last row or column is dropped). It is
// transparent (alpha 0) when at least three of the four box texels are, else opaque (alpha 255),
// and its colour is the rounded mean of the box texels on its own side of the mask, so water
// colour does not bleed into the shore and land colour not into the water.
Image halveLevel(const Image &level);

// The image and every smaller level down to 1 x 1, largest first.
std::vector<Image> buildMipChain(const Image &top);

} // namespace kovar
