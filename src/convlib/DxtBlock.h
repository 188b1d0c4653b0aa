// One 4 x 4 DXT1 block: the 5:6:5 colour expansion both directions share, and the block encoder.
#pragma once

#include "convlib/Dxt.h"

#include <array>
#include <cstdint>

namespace kovar::dxtblock {

constexpr int kTexels = 16;

// A 5:6:5 colour expanded to 8 bits per channel by bit replication, as decoders do.
inline std::array<int, 3> expand565(std::uint16_t c)
{
    const int r = (c >> 11) & 31;
    const int g = (c >> 5) & 63;
    const int b = c & 31;
    return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

// Encodes sixteen texels (R,G,B,A each, rows top-down) as one 8-byte DXT1 block. Texels with
// alpha < 128 get the transparent index of a three-colour block and no other texel does; a
// block without transparent texels is in four-colour mode (colour0 > colour1), or uses index 0
// alone when both colours encode equal. `level` says how hard opaque blocks are fitted.
void encodeBlock(const std::uint8_t texels[kTexels * 4], std::uint8_t out[8],
                 DxtLevel level = DxtLevel::Fast);

} // namespace kovar::dxtblock
