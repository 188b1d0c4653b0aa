// Targa (TGA) images: the 32-bit form the library writes, and the true-colour forms it reads.
//
// Written: image type 2 (uncompressed true colour), 32 bits per pixel B,G,R,A, 18-byte header,
// no image ID, no colour map, rows bottom-up (origin bits 0, 8 alpha bits).
// Read: image type 2 with 24 (opaque) or 32 bits per pixel, any image ID, a colour map (skipped),
// and both origin bits (rows top-down or bottom-up, columns right-to-left or left-to-right).
// Not read: colour-mapped, grey and run-length images, 15- and 16-bit pixels.
#pragma once

#include "convlib/Image.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kovar {

// Throws Error naming the file and the reason.
Image decodeTarga(std::span<const std::uint8_t> bytes, const std::string &file);

std::vector<std::uint8_t> encodeTarga(const Image &image);

} // namespace kovar
