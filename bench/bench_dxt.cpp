// Compares our DXT1 encoder, at both levels, with stb_dxt and libsquish on synthetic aerial tiles
// that never passed through a lossy codec: single-threaded time per tile, RGB PSNR, alpha
// exactness and decode time, all in one run so that the ratios to libsquish's cluster fit hold
// on a shared machine. By default only the top level (256 x 256) of each tile is encoded;
// "--mips" adds every mip level. Then, for the choice of the level a texture set is written at,
// the round trip of one tile (texture decoded, fall pass, texture encoded with its mip chain) at
// either level; and the minor page faults of one encode, in memory and through the library's
// call. Usage: bench_dxt [tile count, default 26] [--mips]; "bench_dxt --page-faults <case>
// main|worker" prints one page-fault row alone.
#include "convlib/BitmapReader.h"
#include "convlib/Dxt.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/Image.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"
#include "samplegen/SyntheticTile.h"
#include "season/PixelRules.h"

#include <squish.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// stb_dxt needs memcpy declared before it.
#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#include <stb/stb_dxt.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Level
{
    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> rgba;
};

// The full mip chain down to 1 x 1: a 2 x 2 box filter, and a texel is transparent when at
// least three of its four sources are, as the library builds it.
std::vector<Level> mipChain(const samplegen::SyntheticTile &tile)
{
    std::vector<Level> levels{{tile.width(), tile.height(), tile.rgba()}};
    while (levels.back().width > 1 || levels.back().height > 1) {
        const Level &up = levels.back();
        Level down{std::max(1u, up.width / 2), std::max(1u, up.height / 2), {}};
        down.rgba.resize(std::size_t(down.width) * down.height * 4);
        for (std::uint32_t y = 0; y < down.height; ++y) {
            for (std::uint32_t x = 0; x < down.width; ++x) {
                int sum[3] = {0, 0, 0};
                int transparent = 0;
                for (std::uint32_t k = 0; k < 4; ++k) {
                    const std::uint32_t sx = std::min(up.width - 1, x * 2 + (k & 1));
                    const std::uint32_t sy = std::min(up.height - 1, y * 2 + (k >> 1));
                    const std::uint8_t *p = &up.rgba[(std::size_t(sy) * up.width + sx) * 4];
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += p[c];
                    }
                    transparent += p[3] < 128 ? 1 : 0;
                }
                std::uint8_t *q = &down.rgba[(std::size_t(y) * down.width + x) * 4];
                for (int c = 0; c < 3; ++c) {
                    q[c] = static_cast<std::uint8_t>((sum[c] + 2) / 4);
                }
                q[3] = transparent >= 3 ? 0 : 255;
            }
        }
        levels.push_back(std::move(down));
    }
    return levels;
}

// Processor time of the process (all its threads), which other work on a shared machine
// disturbs far less than the wall clock.
double processorMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

using Encoder = std::function<void(const Level &, std::uint8_t *)>;

void encodeStb(const Level &level, std::uint8_t *blocks)
{
    const std::uint32_t across = std::max(1u, (level.width + 3) / 4);
    const std::uint32_t down = std::max(1u, (level.height + 3) / 4);
    std::uint8_t texels[64];
    for (std::uint32_t by = 0; by < down; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            for (std::uint32_t i = 0; i < 16; ++i) {
                const std::uint32_t sx = std::min(level.width - 1, bx * 4 + i % 4);
                const std::uint32_t sy = std::min(level.height - 1, by * 4 + i / 4);
                std::memcpy(texels + i * 4, &level.rgba[(std::size_t(sy) * level.width + sx) * 4],
                            4);
                texels[i * 4 + 3] = 255;
            }
            stb_compress_dxt_block(blocks + (std::size_t(by) * across + bx) * 8, texels, 0,
                                   STB_DXT_HIGHQUAL);
        }
    }
}

Encoder squishEncoder(int fit)
{
    return [fit](const Level &level, std::uint8_t *blocks) {
        squish::CompressImage(level.rgba.data(), int(level.width), int(level.height), blocks,
                              squish::kDxt1 | fit);
    };
}

struct Result
{
    double msPerTile = 0; // processor time of the whole process
    double wallMsPerTile = 0;
    double psnr = 0;
    double worstTilePsnr = 1e9;
    long alphaErrors = 0;
    long texels = 0;
};

// Encodes every tile's mip chain `repeats` times (the fastest run counts), then decodes it with
// our decoder and compares with the source: RGB over the texels that are opaque in the source,
// alpha as transparent (below 128) or not.
Result measure(const std::vector<std::vector<Level>> &tiles, const Encoder &encode, int repeats)
{
    std::vector<std::vector<std::vector<std::uint8_t>>> encoded(tiles.size());
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        for (const Level &level : tiles[t]) {
            encoded[t].emplace_back(
                kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, level.width, level.height));
        }
    }
    double bestCpu = 1e300;
    double bestWall = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const double cpuStart = processorMs();
        const auto start = Clock::now();
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            for (std::size_t l = 0; l < tiles[t].size(); ++l) {
                encode(tiles[t][l], encoded[t][l].data());
            }
        }
        bestWall = std::min(
            bestWall, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        bestCpu = std::min(bestCpu, processorMs() - cpuStart);
    }
    Result result;
    result.msPerTile = bestCpu / double(tiles.size());
    result.wallMsPerTile = bestWall / double(tiles.size());
    double totalSquared = 0;
    long totalSamples = 0;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        double squared = 0;
        long samples = 0;
        for (std::size_t l = 0; l < tiles[t].size(); ++l) {
            const Level &level = tiles[t][l];
            std::vector<std::uint8_t> decoded(level.rgba.size());
            kovar::decodeDxt(kovar::DxtFormat::Dxt1, encoded[t][l].data(), level.width,
                             level.height, decoded.data());
            for (std::size_t i = 0; i < decoded.size(); i += 4) {
                const bool transparent = level.rgba[i + 3] < 128;
                result.alphaErrors += (decoded[i + 3] == 0) != transparent ? 1 : 0;
                ++result.texels;
                if (transparent) {
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const double d = double(decoded[i + c]) - double(level.rgba[i + c]);
                    squared += d * d;
                }
                samples += 3;
            }
        }
        if (samples > 0) {
            result.worstTilePsnr =
                std::min(result.worstTilePsnr, 10 * std::log10(255.0 * 255.0 * samples / squared));
        }
        totalSquared += squared;
        totalSamples += samples;
    }
    result.psnr = 10 * std::log10(255.0 * 255.0 * double(totalSamples) / totalSquared);
    return result;
}

double decodeMsPerTile(const std::vector<std::vector<Level>> &tiles)
{
    const Level &top = tiles.front().front();
    std::vector<std::uint8_t> blocks(
        kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, top.width, top.height));
    kovar::encodeDxt1(top.rgba.data(), top.width, top.height, blocks.data());
    std::vector<std::uint8_t> rgba(top.rgba.size());
    const int runs = 200;
    const auto start = Clock::now();
    for (int r = 0; r < runs; ++r) {
        kovar::decodeDxt(kovar::DxtFormat::Dxt1, blocks.data(), top.width, top.height, rgba.data());
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
}

kovar::Image imageOf(const samplegen::SyntheticTile &tile)
{
    kovar::Image image(tile.width(), tile.height(), "tile");
    std::memcpy(image.data(), tile.rgba().data(), image.byteCount());
    return image;
}

// The fall pass over an image's colours, as the tool runs it over the working bitmap (blue,
// green, red triples; water pixels are blue-dominant and pass unchanged).
void fallPass(kovar::Image &image, int amount)
{
    std::uint8_t *p = image.data();
    for (std::size_t i = 0; i < image.byteCount(); i += 4) {
        const season::Pixel out =
            season::fallPixel(season::Pixel{p[i + 2], p[i + 1], p[i]}, amount);
        p[i] = out.red, p[i + 1] = out.green, p[i + 2] = out.blue;
    }
}

struct RoundTrip
{
    double decodeMs = 1e300, passMs = 1e300, encodeMs = 1e300; // per tile, fastest run
    double totalMs() const { return decodeMs + passMs + encodeMs; }
};

// One run over every texture: decoded, fall pass, encoded in the form `format` names; each
// step's processor time per tile is kept when it is the fastest so far.
void roundTripRun(const std::vector<std::vector<std::uint8_t>> &textures, int format,
                  RoundTrip &best)
{
    double decode = 0, pass = 0, encode = 0;
    std::size_t bytes = 0;
    for (const std::vector<std::uint8_t> &texture : textures) {
        const double t0 = processorMs();
        kovar::Image image = kovar::decodeBitmap(texture, "texture");
        const double t1 = processorMs();
        fallPass(image, 12);
        const double t2 = processorMs();
        bytes += kovar::encodeExtendedBitmap(image, format, "output").size();
        const double t3 = processorMs();
        decode += t1 - t0, pass += t2 - t1, encode += t3 - t2;
    }
    if (bytes == 0) {
        std::abort();
    }
    const double n = double(textures.size());
    best.decodeMs = std::min(best.decodeMs, decode / n);
    best.passMs = std::min(best.passMs, pass / n);
    best.encodeMs = std::min(best.encodeMs, encode / n);
}

// Prints the round trip of one tile at both levels and what the better one adds to it.
void printRoundTrip(const std::vector<std::vector<Level>> &tiles)
{
    kovar::setDxtEncodeThreads(1);
    std::vector<std::vector<std::uint8_t>> textures;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const samplegen::SyntheticTile tile(std::uint32_t(t + 1));
        textures.push_back(
            kovar::encodeExtendedBitmap(imageOf(tile), KOVAR_FORMAT_DXT1_MIPMAPPED, "texture"));
    }
    RoundTrip fast, better;
    for (int run = 0; run < 3; ++run) { // alternated, so that a busy spell hits both alike
        roundTripRun(textures, KOVAR_FORMAT_DXT1_MIPMAPPED, fast);
        roundTripRun(textures, KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER, better);
    }
    kovar::setDxtEncodeThreads(0);
    std::printf("\nround trip of one tile in memory, 1 thread, cpu ms (texture decoded, fall pass,"
                "\ntexture with its mip chain encoded), fastest of 3 runs over %zu tiles:\n",
                textures.size());
    std::printf("%-26s %9s %9s %9s %9s\n", "format code", "decode", "fall", "encode", "total");
    for (const auto &[name, r] :
         {std::pair<const char *, const RoundTrip &>{"11 (fast, default)", fast},
          std::pair<const char *, const RoundTrip &>{"12 (better)", better}}) {
        std::printf("%-26s %9.2f %9.2f %9.2f %9.2f\n", name, r.decodeMs, r.passMs, r.encodeMs,
                    r.totalMs());
    }
    const double extra = (better.totalMs() - fast.totalMs()) / fast.totalMs();
    std::printf("better level: encode %.2f x the fast one's; round trip %.2f x, so it adds %.0f %%"
                "\nto a set's codec work (the set decision wants under 10 %%: %s); file reads,"
                "\nwrites and flushes come on top of both and make the share smaller in a real"
                "\nset.\n",
                better.encodeMs / fast.encodeMs, better.totalMs() / fast.totalMs(), 100 * extra,
                extra < 0.10 ? "under" : "NOT under");
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Minor page faults per call over `calls` calls, after two calls that warm the allocator up; on
// the calling thread, or on a thread started for it, as a worker of a texture set runs.
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

constexpr int kFaultCases = 6;

// Prints the minor page faults of one kind of 256 x 256 encode (0 to kFaultCases - 1): the
// blocks alone, the texture file in memory, and the library's call that the window makes (read
// the Targa, encode, write the file through a temporary and a flush), which runs on the
// library's own default threads. Each is run in a process of its own, so that no other
// measurement has shaped the heap.
int printPageFaults(int which, bool onWorker)
{
    const unsigned allThreads = std::max(1u, std::thread::hardware_concurrency());
    const kovar::Image image = imageOf(samplegen::SyntheticTile(1));
    std::vector<std::uint8_t> blocks(kovar::dxtSurfaceSize(kovar::DxtFormat::Dxt1, 256, 256));
    std::vector<std::uint8_t> kept;

    const char *tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-dxt-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::printf("cannot make a folder under %s\n", folder.c_str());
        return 1;
    }
    const std::string tga = folder + "/targa.tga";
    const std::string out = folder + "/000000000000000fa.bmp";
    kovar::writeFileAtomically(tga, kovar::encodeTarga(image));
    char message[KOVAR_MESSAGE_SIZE] = "";
    int status = KOVAR_OK;

    struct Case
    {
        const char *name;
        unsigned threads;
        std::function<void()> call;
    };
    const auto encodeBlocks = [&] { kovar::encodeDxt1(image.data(), 256, 256, blocks.data()); };
    const auto encodeFile = [&] {
        if (kovar::encodeExtendedBitmap(image, KOVAR_FORMAT_DXT1_MIPMAPPED, "out").empty()) {
            status = KOVAR_ERROR_INTERNAL;
        }
    };
    const Case cases[kFaultCases] = {
        {"encodeDxt1, top level", 1, encodeBlocks},
        {"encodeDxt1, top level", allThreads, encodeBlocks},
        {"texture in memory (mip chain)", 1, encodeFile},
        {"texture in memory (mip chain)", allThreads, encodeFile},
        {"texture in memory, previous result reused", 1,
         [&] {
             kept = kovar::encodeExtendedBitmap(image, KOVAR_FORMAT_DXT1_MIPMAPPED, "out",
                                                std::move(kept));
         }},
        {"TargaToExtendedBitmap (the window's call)", 0,
         [&] {
             status |= TargaToExtendedBitmap(tga.c_str(), out.c_str(), message,
                                             KOVAR_FORMAT_DXT1_MIPMAPPED);
         }},
    };
    const Case &c = cases[which < 0 ? -1 - which : which];
    if (which < 0) {
        std::filesystem::remove_all(folder);
        std::printf("%s\t%s\n", c.name,
                    c.threads == 0 ? "default" : std::to_string(c.threads).c_str());
        return 0;
    }
    kovar::setDxtEncodeThreads(c.threads);
    const double faults = faultsPerCall(c.call, onWorker);
    std::filesystem::remove_all(folder);
    if (status != KOVAR_OK) {
        std::fprintf(stderr, "%s failed: %s\n", c.name, message);
        return 1;
    }
    std::printf("%.1f\n", faults);
    return 0;
}

// Runs this program with "--page-faults which thread" and returns what it prints, or "".
std::string runFaultCase(const char *self, int which, const char *thread, bool fixedThreshold)
{
    int out[2];
    if (::pipe(out) != 0) {
        return "";
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "GLIBC_TUNABLES=", 15) != 0) {
            env.emplace_back(*e);
        }
    }
    if (fixedThreshold) {
        // A threshold set by hand is never raised: every buffer of 128 KiB or more is mapped
        // afresh and unmapped when freed, so each one a call allocates shows in its faults.
        env.emplace_back("GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072");
    }
    std::vector<char *> envp;
    for (std::string &e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string index = std::to_string(which);
    std::string where = thread;
    std::string program = self;
    char flag[] = "--page-faults";
    char *argv[] = {program.data(), flag, index.data(), where.data(), nullptr};
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, self, &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; started && (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, std::size_t(got));
    }
    ::close(out[0]);
    int status = 0;
    if (!started || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return "";
    }
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// Every case on the main thread and on a worker, each in a fresh process, with the allocator as
// it is and with its large-buffer threshold fixed.
void printPageFaultsInChildren()
{
    std::printf("\nminor page faults per call, 256 x 256, mean of 100 calls after 2 warm-up calls,"
                "\neach figure from a fresh process; thread: the one that calls; as is: glibc's"
                "\nallocator as it comes (it raises its threshold for mapping buffers afresh, so"
                "\nfigures depend on the heap's history); fixed: that threshold held at 128 KiB,"
                "\nso that every fresh buffer of 128 KiB or more shows\n");
    std::printf("%-44s %8s %7s %7s %7s\n", "call", "threads", "thread", "as is", "fixed");
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::printf("cannot find /proc/self/exe\n");
        return;
    }
    self[length] = '\0';
    for (int which = 0; which < kFaultCases; ++which) {
        const std::string names = runFaultCase(self, -1 - which, "main", false);
        const std::size_t tab = names.find('\t');
        if (tab == std::string::npos) {
            std::printf("case %d failed\n", which);
            continue;
        }
        for (const char *thread : {"main", "worker"}) {
            const std::string asIs = runFaultCase(self, which, thread, false);
            const std::string fixed = runFaultCase(self, which, thread, true);
            std::printf("%-44s %8s %7s %7s %7s\n", names.substr(0, tab).c_str(),
                        names.substr(tab + 1).c_str(), thread,
                        asIs.empty() ? "failed" : asIs.c_str(),
                        fixed.empty() ? "failed" : fixed.c_str());
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    int tileCount = 26;
    bool mips = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--page-faults") == 0 && i + 2 < argc) {
            // A negative case -1 - n prints case n's name and threads instead.
            const int which = std::atoi(argv[i + 1]);
            if (which < -kFaultCases || which >= kFaultCases) {
                return 2;
            }
            return printPageFaults(which, std::strcmp(argv[i + 2], "worker") == 0);
        }
        if (std::strcmp(argv[i], "--mips") == 0) {
            mips = true;
        } else {
            tileCount = std::max(1, std::atoi(argv[i]));
        }
    }
    const char *omp = std::getenv("OMP_NUM_THREADS");
    std::printf("DXT1 encoders on %d synthetic 256 x 256 tiles (seeds 1-%d), %s\n", tileCount,
                tileCount, mips ? "full mip chain each" : "top level only");
    std::printf("OMP_NUM_THREADS=%s, %u hardware threads, our encoder runs on %s\n",
                omp ? omp : "(unset)", std::thread::hardware_concurrency(),
                kovar::dxtInstructionSet());
    std::vector<std::vector<Level>> tiles;
    for (int seed = 1; seed <= tileCount; ++seed) {
        std::vector<Level> chain = mipChain(samplegen::SyntheticTile(std::uint32_t(seed)));
        if (!mips) {
            chain.resize(1);
        }
        tiles.push_back(std::move(chain));
    }

    struct Row
    {
        const char *name;
        Encoder encode;
        int repeats;
        bool oneBitAlpha;
        const Result *measured = nullptr; // measured before the table, in the same run
    };
    const auto ours = [](kovar::DxtLevel quality, unsigned threads) {
        return [quality, threads](const Level &level, std::uint8_t *blocks) {
            kovar::setDxtEncodeThreads(threads);
            kovar::encodeDxt1(level.rgba.data(), level.width, level.height, blocks, quality);
        };
    };
    const unsigned allThreads = std::max(1u, std::thread::hardware_concurrency());
    // ClusterFit is the reference of the ratios and differences: measured first, printed in place.
    const Result cluster = measure(tiles, squishEncoder(squish::kColourClusterFit), 2);
    const Result fast = measure(tiles, ours(kovar::DxtLevel::Fast, 1), 5);
    const Result better = measure(tiles, ours(kovar::DxtLevel::Better, 1), 3);
    const Row rows[] = {
        {"ours fast (default), 1 thread", nullptr, 0, true, &fast},
        {"ours better, 1 thread", nullptr, 0, true, &better},
        {"ours fast, all threads", ours(kovar::DxtLevel::Fast, allThreads), 5, true},
        {"stb_dxt high quality", encodeStb, 5, false},
        {"libsquish ClusterFit", nullptr, 0, true, &cluster},
        {"libsquish RangeFit", squishEncoder(squish::kColourRangeFit), 5, true},
        {"libsquish IterativeClusterFit", squishEncoder(squish::kColourIterativeClusterFit), 1,
         true},
    };
    std::printf("\n%-30s %9s %9s %9s %9s %10s %10s %14s\n", "encoder", "cpu ms", "wall ms",
                "x faster", "PSNR dB", "vs Cluster", "worst tile", "alpha errors");
    for (const Row &row : rows) {
        const Result r = row.measured ? *row.measured : measure(tiles, row.encode, row.repeats);
        char alpha[64];
        if (row.oneBitAlpha) {
            std::snprintf(alpha, sizeof alpha, "%ld/%ld", r.alphaErrors, r.texels);
        } else {
            std::snprintf(alpha, sizeof alpha, "no 1-bit alpha");
        }
        std::printf("%-30s %9.2f %9.2f %9.1f %9.3f %+10.3f %10.3f %14s\n", row.name, r.msPerTile,
                    r.wallMsPerTile, cluster.msPerTile / r.msPerTile, r.psnr, r.psnr - cluster.psnr,
                    r.worstTilePsnr, alpha);
    }
    kovar::setDxtEncodeThreads(0);
    std::printf("\ncpu ms: processor time per tile%s, the fastest of several runs;"
                "\nx faster: ClusterFit's cpu ms divided by the row's; PSNR over opaque texels of"
                "\n%s; alpha errors: texels whose transparency (alpha < 128) changed.\n",
                mips ? " with its mip chain" : "", mips ? "all levels" : "the top level");
    const auto verdict = [&](const char *name, const Result &r, double speed, double margin) {
        const double x = cluster.msPerTile / r.msPerTile;
        const double db = r.psnr - cluster.psnr;
        const bool met = x >= speed && db >= margin && r.alphaErrors == 0;
        std::printf("target %-7s >= %4.1f x ClusterFit at >= %+.2f dB: %5.1f x, %+.3f dB, %s\n",
                    name, speed, margin, x, db, met ? "met" : "NOT met");
    };
    std::printf("\n");
    verdict("fast", fast, 20, -0.02);
    verdict("better", better, 5, 0.05);
    std::printf("\ndecode (ours), top level 256 x 256: %.3f ms per tile\n", decodeMsPerTile(tiles));
    printRoundTrip(tiles);
    printPageFaultsInChildren();
    return 0;
}
