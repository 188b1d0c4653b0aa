#include "DxtBench.h"

#include "convlib/FileIo.h"
#include "convlib/Targa.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include <sys/resource.h>

namespace dxtbench {

double threadMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<Tile> loadCorpus(const std::string &folder)
{
    std::vector<std::string> paths;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 10 && name.ends_with("summer.tga")) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<Tile> tiles;
    for (const std::string &path : paths) {
        tiles.push_back({std::filesystem::path(path).filename().string(),
                         kovar::decodeTarga(kovar::readFileBytes(path), path), path});
    }
    return tiles;
}

kovar::Image imageOf(const samplegen::SyntheticTile &tile)
{
    kovar::Image image(tile.width(), tile.height(), "tile");
    std::memcpy(image.data(), tile.rgba().data(), image.byteCount());
    return image;
}

std::vector<std::uint8_t> blocksFor(const Image &image)
{
    return std::vector<std::uint8_t>(
        kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, image.width(), image.height()));
}

void runInterleaved(
    const std::vector<Tile> &tiles, std::vector<Contender> &contenders, int rounds,
    const std::function<double(const Tile &, const std::vector<std::uint8_t> &, ErrorSum &)> &score)
{
    for (Contender &c : contenders) {
        c.roundMs.assign(std::size_t(rounds), 0);
        c.output.assign(tiles.size(), {});
    }
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            for (Contender &c : contenders) {
                if (c.ours) {
                    kovar::dxtblock::forceInstructionSet(c.set);
                }
                std::vector<std::uint8_t> out;
                const double start = threadMs();
                c.run(tiles[t], out);
                c.roundMs[std::size_t(round)] += threadMs() - start;
                if (round == 0) {
                    c.output[t] = std::move(out);
                }
            }
        }
    }
    kovar::dxtblock::resetInstructionSet();
    for (Contender &c : contenders) {
        c.tileDb.clear();
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            c.tileDb.push_back(score(tiles[t], c.output[t], c.total));
        }
    }
}

Figures figuresOf(const Contender &c, const Contender &reference, std::size_t tileCount)
{
    std::vector<double> ratios;
    for (std::size_t r = 0; r < c.roundMs.size(); ++r) {
        ratios.push_back(reference.roundMs[r] / c.roundMs[r]);
    }
    // A tile the cluster fit encodes without loss (its source was once stored as DXT1) has no
    // finite difference in dB; it is left out of the mean and the worst, and named under the
    // table.
    double sum = 0, worst = 1e9;
    int counted = 0;
    for (std::size_t t = 0; t < c.tileDb.size(); ++t) {
        if (std::isinf(reference.tileDb[t])) {
            continue;
        }
        const double d = c.tileDb[t] - reference.tileDb[t];
        sum += d;
        worst = std::min(worst, d);
        ++counted;
    }
    return {median(ratios), *std::min_element(ratios.begin(), ratios.end()),
            counted > 0 ? sum / counted : 0.0, worst, median(c.roundMs) / double(tileCount)};
}

void printTable(const std::vector<Tile> &tiles, const std::vector<Contender> &contenders)
{
    const std::size_t tileCount = tiles.size();
    const Contender &reference = contenders.front();
    std::printf("%-34s %9s %8s %8s %9s %9s %9s %8s\n", "encoder", "ms/tile", "x median", "x min",
                "PSNR dB", "mean dB", "worst dB", "alpha");
    for (const Contender &c : contenders) {
        const Figures f = figuresOf(c, reference, tileCount);
        std::printf("%-34s %9.2f %8.2f %8.2f %9.3f %+9.3f %+9.3f %8ld\n", c.name.c_str(),
                    f.msPerTile, f.medianX, f.minX, c.total.psnr(), f.meanDb, f.worstDb,
                    c.total.alphaErrors);
    }
    for (std::size_t t = 0; t < reference.tileDb.size(); ++t) {
        if (std::isinf(reference.tileDb[t])) {
            std::printf("tile %zu (%s): the cluster fit is lossless here, so it is left out of"
                        " mean dB and worst dB;\n  the others:",
                        t + 1, tiles[t].name.c_str());
            for (std::size_t c = 1; c < contenders.size(); ++c) {
                std::printf(" %.2f dB%s", contenders[c].tileDb[t],
                            c + 1 < contenders.size() ? "," : "\n");
            }
        }
    }
    std::printf(
        "ms/tile: median round's thread time per tile; x: the cluster fit's time divided"
        "\nby the row's in the same round (median and minimum over the rounds); PSNR over"
        "\nall tiles; mean dB / worst dB: per tile, the row's PSNR minus the cluster fit's,"
        "\nmean over the tiles and the lowest; alpha: texels whose transparency changed.\n");
}

void verdict(const char *what, const Contender &c, const Contender &reference,
             std::size_t tileCount, double speed, double meanDb, double worstDb)
{
    const Figures f = figuresOf(c, reference, tileCount);
    const bool checkWorst = worstDb > -1e8;
    const bool met = f.medianX >= speed && f.meanDb >= meanDb &&
                     (!checkWorst || f.worstDb >= worstDb) && c.total.alphaErrors == 0;
    g_misses += met ? 0 : 1;
    char worst[64] = "";
    if (checkWorst) {
        std::snprintf(worst, sizeof worst, ", worst tile >= %+.2f dB: %+.3f", worstDb, f.worstDb);
    }
    std::printf("%-4s %-38s >= %4.1f x: %5.2f x; mean >= %+.2f dB: %+.3f%s\n",
                met ? "PASS" : "MISS", what, speed, f.medianX, meanDb, f.meanDb, worst);
}

std::vector<InstructionSet> availableSets()
{
    std::vector<InstructionSet> sets;
    for (InstructionSet set :
         {InstructionSet::Avx512, InstructionSet::Avx2, InstructionSet::Baseline}) {
        if (kovar::dxtblock::processorHas(set)) {
            sets.push_back(set);
        }
    }
    return sets;
}

const char *levelName(kovar::DxtLevel level)
{
    return level == kovar::DxtLevel::Better ? "better" : "default";
}

const Contender *findOurs(const std::vector<Contender> &cs, kovar::DxtLevel level,
                          InstructionSet set)
{
    for (const Contender &c : cs) {
        if (c.ours && c.set == set && c.level == level) {
            return &c;
        }
    }
    return nullptr;
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double faultsPerCall(const std::function<void()> &call, bool onWorker)
{
    const int calls = 100;
    double perCall = 0;
    const auto measure = [&] {
        call();
        call();
        const long before = minorFaults();
        for (int i = 0; i < calls; ++i) {
            call();
        }
        perCall = double(minorFaults() - before) / calls;
    };
    if (onWorker) {
        std::thread(measure).join();
    } else {
        measure();
    }
    return perCall;
}

} // namespace dxtbench
