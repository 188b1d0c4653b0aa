// One 4 x 4 DXT1 block: the 5:6:5 colour expansion both directions share, and the block encoder.
//
// Opaque blocks are fitted adaptively. stb_dxt's high-quality mode gives a fast first fit
// (principal axis, then least-squares refinement), measured against the palette exactly as
// our decoder builds it. Where that leaves a high error, a cluster fit (every split of the
// texels ordered along the principal axis) offers a second start. Unless the better start is
// already nearly lossless, a greedy search then moves single channels of the quantised
// endpoints for as long as the error drops: quantisation is where a fit made in continuous
// space loses most. Blocks with transparent texels go to libsquish's cluster fit, which has
// the three-colour mode with a transparent index; all-transparent blocks are written directly.
#include "convlib/DxtBlock.h"

#include "convlib/DxtFourColourFit.h"

#include <algorithm>
#include <cstring>

#include <squish.h>

// stb_dxt needs memcpy declared before it; its functions stay private to this file.
#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#include <stb/stb_dxt.h>

namespace kovar::dxtblock {

namespace {

// Above this squared RGB error over the block (about 6.5 per channel per texel) after the first
// fit, the cluster fit is tried too: on aerial imagery about one opaque block in twenty. Lower
// it and both quality and encoding time rise.
constexpr int kClusterThreshold = 2000;
// Below this squared RGB error (about 1.4 per channel per texel) a fit is kept as it is.
constexpr int kRefineThreshold = 96;
// The greedy endpoint search stops after this many passes over the twelve single steps.
constexpr int kSearchPasses = 4;

std::uint16_t load16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

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

void encodeOpaque(const std::uint8_t texels[kTexels * 4], std::uint8_t *out)
{
    std::uint8_t opaque[kTexels * 4];
    Texels t;
    for (int i = 0; i < kTexels; ++i) {
        std::memcpy(opaque + i * 4, texels + i * 4, 3);
        opaque[i * 4 + 3] = 255;
        t.r[i] = texels[i * 4];
        t.g[i] = texels[i * 4 + 1];
        t.b[i] = texels[i * 4 + 2];
    }
    std::uint8_t first[8];
    stb_compress_dxt_block(first, opaque, 0, STB_DXT_HIGHQUAL);
    Fit fit = evaluate(t, load16(first), load16(first + 2));
    if (fit.error > kClusterThreshold) {
        const Fit cluster = clusterFit(t);
        if (cluster.error < fit.error) {
            fit = cluster;
        }
    }
    if (fit.error > kRefineThreshold) {
        fit = refine(t, fit, kSearchPasses);
    }
    writeFourColour(fit, out);
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

void encodeBlock(const std::uint8_t texels[kTexels * 4], std::uint8_t out[8])
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
        encodeOpaque(texels, out);
    }
}

} // namespace kovar::dxtblock