// Writes FS2004 textures ("extended bitmaps").
//
// Format codes 11 and 12: a 14-byte file header (true file size, pixel data at offset 74), a
// 40-byte info header (16 bits per pixel, compression "DXT1", biSizeImage = the top level's bytes),
// the 20-byte "FS70" block, then the top level and every mip level down to 1 x 1 back to back, each
// a DXT1 block surface with 1-bit alpha stored bottom-up (the image is flipped, then encoded).
// The two codes differ only in the encoder's level for the blocks: 11 Fast, 12 Better.
#pragma once

#include "convlib/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kovar {

// Throws Error (KOVAR_ERROR_ARGUMENT) naming `file` and the code unless the format code is one
// written.
void checkFormat(int format, const std::string &file);

// The file's bytes, after checkFormat().
std::vector<std::uint8_t> encodeExtendedBitmap(const Image &image, int format,
                                               const std::string &file);

// The same, written into `reuse`'s memory (its contents are replaced): a caller that encodes
// tile after tile passes back the previous result and allocates nothing once it is big enough.
std::vector<std::uint8_t> encodeExtendedBitmap(const Image &image, int format,
                                               const std::string &file,
                                               std::vector<std::uint8_t> reuse);

} // namespace kovar
