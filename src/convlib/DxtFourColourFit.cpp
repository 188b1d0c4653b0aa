// Four-colour DXT1 block fitting for opaque blocks: the shared tables and the choice of
// instruction set.
#include "convlib/DxtFourColourFit.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace kovar::dxtblock {

namespace {

// The best set the processor has, no higher than `limit`.
InstructionSet bestUpTo(InstructionSet limit, bool (*has)(InstructionSet))
{
    for (InstructionSet set : {InstructionSet::Avx512, InstructionSet::Avx2}) {
        if (int(set) <= int(limit) && has(set)) {
            return set;
        }
    }
    return InstructionSet::Baseline;
}

// The processor's best as TESSAVANE_SIMD limits it, decided (and any warning printed) once.
InstructionSet bestInstructionSet()
{
    static const InstructionSet best = [] {
        char warning[256] = "";
        const InstructionSet set = chooseInstructionSet(std::getenv("TESSAVANE_SIMD"), processorHas,
                                                        warning, sizeof warning);
        if (warning[0] != '\0') {
            std::fprintf(stderr, "%s\n", warning);
        }
        return set;
    }();
    return best;
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
        for (int j = 0, pairs = 0; j <= kTexels; pairs += kTexels + 1 - j, ++j) {
            t.pairStart[j] = pairs;
        }
        for (int i = 0; i <= kTexels; ++i) {
            t.entryStart[i] = n;
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
                    t.c1[n] = float(double(row.p) - 2 * double(row.q) + double(row.r));
                    t.c2[n] = float(2 * double(row.q) - 2 * double(row.r));
                    t.r[n] = row.r;
                    t.split[n][0] = std::uint8_t(i);
                    t.split[n][1] = std::uint8_t(j);
                    t.split[n][2] = std::uint8_t(k);
                }
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

const char *instructionSetName(InstructionSet set)
{
    switch (set) {
    case InstructionSet::Avx512:
        return "AVX-512";
    case InstructionSet::Avx2:
        return "AVX2";
    case InstructionSet::Baseline:
        break;
    }
    return "SSE2";
}

bool processorHas(InstructionSet set)
{
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    static const bool avx512 = [] {
        __builtin_cpu_init();
        return avx2 && __builtin_cpu_supports("avx512f") != 0 &&
               __builtin_cpu_supports("avx512bw") != 0 && __builtin_cpu_supports("avx512dq") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0;
    }();
    switch (set) {
    case InstructionSet::Avx512:
        return avx512;
    case InstructionSet::Avx2:
        return avx2;
    case InstructionSet::Baseline:
        break;
    }
    return true;
}

InstructionSet chooseInstructionSet(const char *value, bool (*has)(InstructionSet), char *warning,
                                    int warningSize)
{
    warning[0] = '\0';
    const InstructionSet best = bestUpTo(InstructionSet::Avx512, has);
    if (value == nullptr || value[0] == '\0') {
        return best;
    }
    struct Name
    {
        const char *text;
        InstructionSet set;
    };
    for (const Name &name :
         {Name{"sse2", InstructionSet::Baseline}, Name{"avx2", InstructionSet::Avx2},
          Name{"avx512", InstructionSet::Avx512}}) {
        if (strcasecmp(value, name.text) == 0) {
            const InstructionSet chosen = bestUpTo(name.set, has);
            if (chosen != name.set) {
                std::snprintf(warning, std::size_t(warningSize),
                              "TESSAVANE_SIMD=%s: this processor has no %s; the DXT1 encoder "
                              "uses %s",
                              value, instructionSetName(name.set), instructionSetName(chosen));
            }
            return chosen;
        }
    }
    std::snprintf(warning, std::size_t(warningSize),
                  "TESSAVANE_SIMD=%.64s: not an instruction set (sse2, avx2 or avx512); the DXT1 "
                  "encoder uses %s",
                  value, instructionSetName(best));
    return best;
}

Fit fitOpaque(const Texels &t, DxtLevel level)
{
    const PartitionTable &partitions = partitionTable();
    const SolidTable &solid = solidTable();
    switch (g_active.load(std::memory_order_relaxed)) {
    case InstructionSet::Avx512:
        return fitOpaqueAvx512(t, level, partitions, solid);
    case InstructionSet::Avx2:
        return fitOpaqueAvx2(t, level, partitions, solid);
    case InstructionSet::Baseline:
        break;
    }
    return fitOpaqueBaseline(t, level, partitions, solid);
}

InstructionSet activeInstructionSet()
{
    return g_active.load();
}

void forceInstructionSet(InstructionSet set)
{
    g_active.store(bestUpTo(set, processorHas));
}

void resetInstructionSet()
{
    g_active.store(bestInstructionSet());
}

} // namespace kovar::dxtblock
