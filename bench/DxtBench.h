// Measuring helpers of bench_dxt: thread time, medians, the corpus, error sums, contenders run
// interleaved tile by tile, their figures, tables and verdicts against goals, page faults.
#pragma once

#include "convlib/Dxt.h"
#include "convlib/DxtFourColourFit.h"
#include "convlib/Image.h"
#include "convlib/kovar.h"
#include "samplegen/SyntheticTile.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dxtbench {

using kovar::Image;
using kovar::dxtblock::InstructionSet;

// Processor time of the calling thread (user and system), which other work on a shared machine
// disturbs far less than the wall clock. Every measurement here runs on one thread.
double threadMs();

double median(std::vector<double> v);

struct Tile
{
    std::string name;
    Image image;
    std::string targa; // the uncompressed cut, as a file
};

// The "*summer.tga" files of a corpus folder, by name.
std::vector<Tile> loadCorpus(const std::string &folder);

kovar::Image imageOf(const samplegen::SyntheticTile &tile);

std::vector<std::uint8_t> blocksFor(const Image &image);

// Squared RGB error and sample count of the opaque texels of `source` against a decoded
// surface; texels whose transparency changed are counted in `alphaErrors`.
struct ErrorSum
{
    double squared = 0;
    long samples = 0;
    long alphaErrors = 0;
    void add(const Image &source, const std::uint8_t *blocks)
    {
        std::vector<std::uint8_t> decoded(source.byteCount());
        kovar::decodeDxt(kovar::DxtFormat::Dxt1, blocks, source.width(), source.height(),
                         decoded.data());
        const std::uint8_t *s = source.data();
        for (std::size_t i = 0; i < decoded.size(); i += 4) {
            const bool transparent = s[i + 3] < 128;
            alphaErrors += (decoded[i + 3] == 0) != transparent ? 1 : 0;
            if (transparent) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                const double d = double(decoded[i + c]) - double(s[i + c]);
                squared += d * d;
            }
            samples += 3;
        }
    }
    double psnr() const { return 10 * std::log10(255.0 * 255.0 * double(samples) / squared); }
};

// One contender: how it encodes one tile, and on which instruction set ours runs.
struct Contender
{
    using Run = std::function<void(const Tile &, std::vector<std::uint8_t> &)>;
    Contender(std::string n, Run r) : name(std::move(n)), run(std::move(r)) {}
    std::string name;
    Run run;
    bool ours = false;
    InstructionSet set = InstructionSet::Baseline;
    kovar::DxtLevel level = kovar::DxtLevel::Fast;
    std::vector<double> roundMs;                   // per round, summed over the tiles
    std::vector<double> tileDb;                    // per tile, from the first round's output
    std::vector<std::vector<std::uint8_t>> output; // per tile, first round
    ErrorSum total;
};

// Every round runs every contender on tile 1, then every contender on tile 2, and so on.
void runInterleaved(const std::vector<Tile> &tiles, std::vector<Contender> &contenders, int rounds,
                    const std::function<double(const Tile &, const std::vector<std::uint8_t> &,
                                               ErrorSum &)> &score);

struct Figures
{
    double medianX, minX, meanDb, worstDb, msPerTile;
};

Figures figuresOf(const Contender &c, const Contender &reference, std::size_t tileCount);

void printTable(const std::vector<Tile> &tiles, const std::vector<Contender> &contenders);

// Goals missed so far; main returns failure if any was.
inline int g_misses = 0;

// Prints one goal's verdict: speed at least `speed` times the reference's (median of rounds),
// mean dB at least `meanDb`, and, unless it is -inf, no tile below `worstDb`.
void verdict(const char *what, const Contender &c, const Contender &reference,
             std::size_t tileCount, double speed, double meanDb, double worstDb);

std::vector<InstructionSet> availableSets();

const char *levelName(kovar::DxtLevel level);

const Contender *findOurs(const std::vector<Contender> &cs, kovar::DxtLevel level,
                          InstructionSet set);

long minorFaults();

// Minor page faults per call over `calls` calls, after two calls that warm the allocator up; on
// the calling thread, or on a thread started for it, as a worker of a texture set runs.
double faultsPerCall(const std::function<void()> &call, bool onWorker);

} // namespace dxtbench
