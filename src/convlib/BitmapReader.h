// Reads Windows bitmaps, the FS2004 texture form among them, into RGBA images.
//
// Read: "BM" files with a 40-, 52-, 56-, 108- or 124-byte info header; width and height 1 to
// kMaxDimension; rows bottom-up (positive height) or top-down (negative height).
//   - uncompressed: 8-bit with a palette (the 4th byte of an entry is its alpha), 16-bit 5-5-5
//     (opaque), 24-bit (opaque), 32-bit BGRA;
//   - bit fields (compression 3, or 6 with an alpha mask): 16 or 32 bits per pixel with any
//     contiguous masks. With a 40-byte info header the masks follow it; a fourth mask there is
//     the alpha mask when it fits before the pixel data and overlaps no colour mask;
//   - FourCC "DXT1" (1-bit alpha from each block's mode), "DXT3", "DXT5": a block surface
//     stored bottom-up like the rows of an uncompressed bitmap.
// Lenient: the file size field, biSizeImage, biPlanes and the bytes of the optional "FS70"
// block (the 20 bytes before the pixel data) play no part in decoding; only the top level is
// decoded, and any mip levels after it are counted from the bytes that remain.
// Not read: 1- and 4-bit palettes, run-length, JPEG and PNG compression, other FourCCs, the
// 12-byte OS/2 header. Every failure throws Error naming the file and the reason.
#pragma once

#include "convlib/Image.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kovar {

enum class BitmapLayout { Palette8, Bgr24, Bgra32, Masked16, Masked32, Dxt1, Dxt3, Dxt5 };

// What the headers of a bitmap say, checked against the bytes of the file.
struct BitmapInfo
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    BitmapLayout layout = BitmapLayout::Bgr24;
    std::uint32_t dataOffset = 0;
    std::uint64_t levelBytes = 0;         // bytes of the top level
    std::uint32_t mipLevels = 1;          // whole levels in the file, the top level included
    bool hasFs70 = false;                 // the "FS70" block sits before the pixel data
    std::uint8_t fs70Type = 0;            // its byte 9, when present
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha (masked layouts)
    std::uint32_t paletteOffset = 0;
    std::uint32_t paletteColours = 0;
    bool alphaUndeclared = false; // alpha held where no header field says so (read as opaque
                                  // when every value is 0)
};

BitmapInfo inspectBitmap(std::span<const std::uint8_t> bytes, const std::string &file);

// Decodes the top level. Formats without alpha read as opaque.
Image decodeBitmap(std::span<const std::uint8_t> bytes, const std::string &file);

} // namespace kovar
