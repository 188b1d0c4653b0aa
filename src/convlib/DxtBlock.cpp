// One 4 x 4 DXT1 block: the 5:6:5 colour expansion both directions share, and the block encoder.
//
// Opaque blocks get a four-colour fit (DxtFourColourFit.h), measured against the palette
// exactly as our decoder builds it. Blocks with transparent texels go to libsquish's cluster
// fit, which has the three-colour mode with a transparent index; all-transparent blocks are
// written directly.
#include "convlib/DxtBlock.h"

#include "convlib/DxtFourColourFit.h"

#include <algorithm>
#include <cstring>

#include <squish.h>

namespace kovar::dxtblock {

namespace {

void store16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void store32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Writes a four-colour block: colour0 > colour1, or, when the two encode equal (which would
// select three-colour mode), index 0 for every texel. Both decode to the same colours.
void writeFourColour(const Fit &fit, std::uint8_t *out)
{
    std::uint16_t c0 = fit.e0;
    std::uint16_t c1 = fit.e1;
    std::uint32_t indices = fit.indices;
    if (c0 < c1) {
        std::swap(c0, c1);
        indices ^= 0x55555555u; // swaps 0 with 1 and 2 with 3
    }
    if (c0 == c1) {
        indices = 0;
    }
    store16(out, c0);
    store16(out + 2, c1);
    store32(out + 4, indices);
}

void encodeOpaque(const std::uint8_t texels[kTexels * 4], std::uint8_t *out, DxtLevel level)
{
    Texels t;
    for (int i = 0; i < kTexels; ++i) {
        t.set(i, texels[i * 4], texels[i * 4 + 1], texels[i * 4 + 2]);
    }
    writeFourColour(fitOpaque(t, level), out);
}

// Three-colour mode, every texel on the transparent index.
void encodeTransparent(std::uint8_t *out)
{
    store16(out, 0);
    store16(out + 2, 0);
    store32(out + 4, 0xFFFFFFFFu);
}

// libsquish puts texels with alpha < 128 on the transparent index of a three-colour block and
// fits the others to the three remaining entries.
void encodeMixed(const std::uint8_t texels[kTexels * 4], std::uint8_t *out)
{
    squish::CompressMasked(texels, 0xFFFF, out, squish::kDxt1 | squish::kColourClusterFit);
}

} // namespace

void encodeBlock(const std::uint8_t texels[kTexels * 4], std::uint8_t out[8], DxtLevel level)
{
    int transparent = 0;
    for (int i = 0; i < kTexels; ++i) {
        transparent += texels[i * 4 + 3] < 128 ? 1 : 0;
    }
    if (transparent == kTexels) {
        encodeTransparent(out);
    } else if (transparent > 0) {
        encodeMixed(texels, out);
    } else {
        encodeOpaque(texels, out, level);
    }
}

} // namespace kovar::dxtblock