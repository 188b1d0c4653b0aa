// Four-colour DXT1 block fitting: measuring a pair of endpoints, a cluster fit along the
// principal axis, and a greedy search that improves quantised endpoints.
#pragma once

#include "convlib/DxtBlock.h"

#include <cstdint>

namespace kovar::dxtblock {

struct Texels
{
    int r[kTexels], g[kTexels], b[kTexels];
};

// Two 5:6:5 endpoints (in either order), the best four-colour index of every texel (2 bits
// each, texel 0 lowest) and the squared RGB error they leave.
struct Fit
{
    std::uint16_t e0, e1;
    std::uint32_t indices;
    int error;
};

// The best indices for two endpoints, with the palette exactly as the decoder computes it:
// the endpoints, then (2a + b) / 3 and (a + 2b) / 3.
Fit evaluate(const Texels &t, std::uint16_t e0, std::uint16_t e1);

// Orders the texels along the principal axis of their colours, tries every split of that order
// into the four palette entries, and quantises the least-squares endpoints of the best split.
Fit clusterFit(const Texels &t);

// Least-squares refits for the current indices, then single 5:6:5 steps of one channel of one
// endpoint, each kept when it lowers the error, for at most `passes` passes over all steps.
Fit refine(const Texels &t, Fit fit, int passes);

} // namespace kovar::dxtblock
