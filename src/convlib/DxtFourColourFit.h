// Four-colour DXT1 block fitting for opaque blocks: the shared types and tables, and the choice
// of instruction set. The fit itself is compiled once per instruction set (DxtFitKernel.inc);
// every version performs the same operations in the same order, so all give the same bytes.
#pragma once

#include "convlib/Dxt.h"
#include "convlib/DxtBlock.h"

#include <cstdint>

namespace kovar::dxtblock {

struct Texels
{
    alignas(32) int r[kTexels];
    alignas(32) int g[kTexels];
    alignas(32) int b[kTexels];
};

// Two 5:6:5 endpoints (in either order), the best four-colour index of every texel (2 bits
// each, texel 0 lowest) and the squared RGB error they leave, with the palette exactly as the
// decoder computes it: the endpoints, then (2a + b) / 3 and (a + 2b) / 3.
struct Fit
{
    std::uint16_t e0, e1;
    std::uint32_t indices;
    int error;
};

// Sixteen ordered texels split into four runs (on endpoint 0, two thirds of the way, one third
// of the way, on endpoint 1) by i <= j <= k: the number of such splits.
constexpr int kSplits = (kTexels + 1) * (kTexels + 2) * (kTexels + 3) / 6;
// The cluster fit scores this many splits at once, a multiple of the vector width above 16.
constexpr int kLanes = 24;

// Per split, the inverse of the least-squares normal matrix [[aa, ab], [ab, bb]] as
// (p, q; q, r): it depends only on the run lengths, so it is computed once. A split that pins
// down only one endpoint gets zeros.
struct PartitionTable
{
    struct Row
    {
        float p, q, r;
    };
    // In the order the search visits the splits: i, then j >= i, then k >= j.
    // Zero-padded for the search's reads past the last split.
    float p[kSplits + kLanes], q2[kSplits + kLanes], r[kSplits + kLanes];
    Row rows[kTexels + 1][kTexels + 1][kTexels + 1];
    // lanes[count][n]: 1 for the first `count` lanes, 0 for the others, whose scores read the
    // next splits' rows and are cleared by multiplying with it.
    alignas(32) float lanes[kTexels + 2][kLanes];
};

// For one channel value (0-255) of a one-colour block: the two quantised endpoint values
// whose palette entry (2a + b) / 3, as the decoder rounds it, comes nearest.
struct SolidEntry
{
    std::uint8_t a, b;
};

struct SolidTable
{
    SolidEntry five[256]; // red and blue, 5 bits
    SolidEntry six[256];  // green, 6 bits
};

// Built once, on first use, by ordinary (not instruction-set specific) code.
const PartitionTable &partitionTable();
const SolidTable &solidTable();

// The four-colour fit of an opaque block at the given level, on the best instruction set.
Fit fitOpaque(const Texels &t, DxtLevel level);

enum class InstructionSet { Baseline, Avx2 };

// The instruction set fitOpaque uses: the best the processor has, unless forced.
InstructionSet activeInstructionSet();
// Makes fitOpaque use `set` (Avx2 only where the processor has it); for comparing the versions.
void forceInstructionSet(InstructionSet set);
// Returns to the processor's best.
void resetInstructionSet();

// One version per instruction set, each in its own translation unit.
Fit fitOpaqueBaseline(const Texels &t, DxtLevel level, const PartitionTable &partitions,
                      const SolidTable &solid);
Fit fitOpaqueAvx2(const Texels &t, DxtLevel level, const PartitionTable &partitions,
                  const SolidTable &solid);

} // namespace kovar::dxtblock
