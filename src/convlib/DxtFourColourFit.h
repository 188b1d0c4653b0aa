// Four-colour DXT1 block fitting for opaque blocks: the shared types and tables, and the choice
// of instruction set. The fit itself is compiled once per instruction set (DxtFitKernel.inc and
// DxtFitSearch.inc); every version performs the same operations in the same order, so all give
// the same bytes.
#pragma once

#include "convlib/Dxt.h"
#include "convlib/DxtBlock.h"

#include <cstdint>

namespace kovar::dxtblock {

struct Texels
{
    alignas(64) int r[kTexels];
    alignas(64) int g[kTexels];
    alignas(64) int b[kTexels];
    // The same colours as 16-bit pairs, for the distance kernel: red and green of every texel,
    // and blue and 0.
    alignas(64) std::int16_t rg[2 * kTexels];
    alignas(64) std::int16_t b0[2 * kTexels];

    // Sets texel i to the colour (red, green, blue).
    void set(int i, int red, int green, int blue)
    {
        r[i] = red, g[i] = green, b[i] = blue;
        rg[2 * i] = static_cast<std::int16_t>(red),
               rg[2 * i + 1] = static_cast<std::int16_t>(green);
        b0[2 * i] = static_cast<std::int16_t>(blue), b0[2 * i + 1] = 0;
    }
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
// Padding of the split tables and the lane masks: the cluster fit scores up to 16 splits at
// once and may read that far past the last one.
constexpr int kLanes = 24;
// The pairs j <= k of run boundaries (0 to 16).
constexpr int kPairs = (kTexels + 1) * (kTexels + 2) / 2;

// Per split, the inverse of the least-squares normal matrix [[aa, ab], [ab, bb]] as
// (p, q; q, r): it depends only on the run lengths, so it is computed once. A split that pins
// down only one endpoint gets zeros.
struct PartitionTable
{
    struct Row
    {
        float p, q, r;
    };
    // In the order the search visits the splits: i, then j >= i, then k >= j: the split's
    // score is c1 |A|^2 + c2 A.T + r |T|^2 (c1 = p - 2q + r, c2 = 2q - 2r) for A the sum of the
    // texels weighted by endpoint 0 and T the sum of all.
    // Zero-padded for the search's reads past the last split.
    alignas(64) float c1[kSplits + kLanes];
    alignas(64) float c2[kSplits + kLanes];
    alignas(64) float r[kSplits + kLanes];
    Row rows[kTexels + 1][kTexels + 1][kTexels + 1];
    // split[n]: i, j and k of the n-th split in that order.
    std::uint8_t split[kSplits][3];
    // The pairs (j, k) in order of j, then k: pairStart[j] is the index of (j, j); the splits
    // of one i are the pairs from pairStart[i] on, and the first of them is split entryStart[i].
    int pairStart[kTexels + 1];
    int entryStart[kTexels + 1];
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

enum class InstructionSet { Baseline, Avx2, Avx512 };

// "SSE2", "AVX2" or "AVX-512".
const char *instructionSetName(InstructionSet set);
// Whether this processor runs `set` (AVX-512 means F, BW, DQ and VL).
bool processorHas(InstructionSet set);

// The instruction set fitOpaque uses: the best the processor has, unless forced. The environment
// variable TESSAVANE_SIMD ("sse2", "avx2" or "avx512"), read once per process, lowers that best;
// a value that is not one of those, or names a set the processor lacks, is reported on stderr
// and the best the processor has (no higher than the value named) is used instead.
InstructionSet activeInstructionSet();
// Makes fitOpaque use `set`, or the best below it that the processor has; for comparing the
// versions.
void forceInstructionSet(InstructionSet set);
// Returns to the processor's best (as TESSAVANE_SIMD limits it).
void resetInstructionSet();

// What TESSAVANE_SIMD = `value` selects on a processor that has the sets `has` allows, and into
// `warning` why it differs from what was asked (empty when it does not). Null or empty: the best.
InstructionSet chooseInstructionSet(const char *value, bool (*has)(InstructionSet), char *warning,
                                    int warningSize);

// One version per instruction set, each in its own translation unit.
Fit fitOpaqueBaseline(const Texels &t, DxtLevel level, const PartitionTable &partitions,
                      const SolidTable &solid);
Fit fitOpaqueAvx2(const Texels &t, DxtLevel level, const PartitionTable &partitions,
                  const SolidTable &solid);
Fit fitOpaqueAvx512(const Texels &t, DxtLevel level, const PartitionTable &partitions,
                    const SolidTable &solid);

} // namespace kovar::dxtblock
