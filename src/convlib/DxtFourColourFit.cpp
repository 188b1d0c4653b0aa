// Four-colour DXT1 block fitting for opaque blocks: the shared tables and the choice of
// instruction set.
#include "convlib/DxtFourColourFit.h"

#include <atomic>
#include <cstdlib>

namespace kovar::dxtblock {

namespace {

bool processorHasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

InstructionSet bestInstructionSet()
{
    return processorHasAvx2() ? InstructionSet::Avx2 : InstructionSet::Baseline;
}

std::atomic<InstructionSet> g_active{bestInstructionSet()};

int expand(int q, int bits)
{
    return bits == 5 ? (q << 3) | (q >> 2) : (q << 2) | (q >> 4);
}

void fillSolid(SolidEntry (&entries)[256], int bits)
{
    const int top = (1 << bits) - 1;
    for (int v = 0; v < 256; ++v) {
        int bestError = 1 << 30;
        for (int a = 0; a <= top; ++a) {
            for (int b = 0; b <= top; ++b) {
                const int error = std::abs((2 * expand(a, bits) + expand(b, bits)) / 3 - v);
                // Ties go to the closest pair, which other texels of a nearly solid block
                // suit best.
                const int spread = std::abs(a - b);
                if (error < bestError ||
                    (error == bestError && spread < std::abs(entries[v].a - entries[v].b))) {
                    bestError = error;
                    entries[v] = {std::uint8_t(a), std::uint8_t(b)};
                }
            }
        }
    }
}

} // namespace

const PartitionTable &partitionTable()
{
    static const PartitionTable table = [] {
        PartitionTable t{};
        int n = 0;
        for (int i = 0; i <= kTexels; ++i) {
            for (int j = i; j <= kTexels; ++j) {
                for (int k = j; k <= kTexels; ++k, ++n) {
                    const double n2 = j - i, n3 = k - j;
                    const double aa = i + (4 * n2 + n3) / 9;
                    const double bb = (kTexels - k) + (n2 + 4 * n3) / 9;
                    const double ab = 2 * (n2 + n3) / 9;
                    const double det = aa * bb - ab * ab;
                    PartitionTable::Row row{0, 0, 0};
                    if (det > 1e-6) {
                        row = {float(bb / det), float(-ab / det), float(aa / det)};
                    }
                    t.rows[i][j][k] = row;
                    t.p[n] = row.p;
                    t.q2[n] = 2 * row.q;
                    t.r[n] = row.r;
                }
            }
        }
        for (int count = 0; count <= kTexels + 1; ++count) {
            for (int n = 0; n < kLanes; ++n) {
                t.lanes[count][n] = n < count ? 1.0f : 0.0f;
            }
        }
        return t;
    }();
    return table;
}

const SolidTable &solidTable()
{
    static const SolidTable table = [] {
        SolidTable t{};
        fillSolid(t.five, 5);
        fillSolid(t.six, 6);
        return t;
    }();
    return table;
}

Fit fitOpaque(const Texels &t, DxtLevel level)
{
    const PartitionTable &partitions = partitionTable();
    const SolidTable &solid = solidTable();
    return g_active.load(std::memory_order_relaxed) == InstructionSet::Avx2
               ? fitOpaqueAvx2(t, level, partitions, solid)
               : fitOpaqueBaseline(t, level, partitions, solid);
}

InstructionSet activeInstructionSet()
{
    return g_active.load();
}

void forceInstructionSet(InstructionSet set)
{
    g_active.store(set == InstructionSet::Avx2 && !processorHasAvx2() ? InstructionSet::Baseline
                                                                      : set);
}

void resetInstructionSet()
{
    g_active.store(bestInstructionSet());
}

} // namespace kovar::dxtblock
