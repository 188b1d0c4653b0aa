// The two bitmaps a texture is split into: its colour part and its alpha part.
//
// Colour bitmap: 54-byte header (file header and 40-byte info header), then blue, green, red
// triples, rows bottom-up, each row padded with zeros to a multiple of 4 bytes.
// Alpha bitmap: 8-bit, a 256-entry grey palette (entry i is grey level i), each pixel's index is
// its alpha, rows bottom-up and padded like the colour bitmap.
#pragma once

#include "convlib/Image.h"

#include <cstdint>
#include <vector>

namespace kovar {

std::vector<std::uint8_t> encodeColourBitmap(const Image &image);
std::vector<std::uint8_t> encodeAlphaBitmap(const Image &image);

// The colour of `colour` with the alpha read from `alpha`: the grey level of each of its
// pixels (the rounded mean of red, green and blue, which is exact for grey). Throws Error
// (KOVAR_ERROR_DIMENSIONS) naming both files when the sizes differ.
Image joinColourAndAlpha(const Image &colour, const std::string &colourFile, const Image &alpha,
                         const std::string &alphaFile);

} // namespace kovar
