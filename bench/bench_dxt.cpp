// Measures our DXT1 encoder against libsquish's cluster fit (the reference of every ratio) and
// stb_dxt on real aerial photographs that never passed through a lossy codec: the corpus folder
// that scripts/make-corpus.sh makes, whose "<address>summer.tga" files are 256 x 256 cuts of the
// photographs. Everything runs on one thread. The encoders are interleaved tile by tile, so
// that a busy spell on a shared machine hits them all alike; each round's time is summed per
// encoder, and the ratios to the cluster fit are per round, printed as the median and the
// minimum of several rounds. Our encoder is measured on every instruction set the processor
// has, and each figure is checked against its goal.
//
// Part 1: the top level of each tile, blocks in memory. Part 2: the library's file call
// (TargaToExtendedBitmap, format codes 11 and 12, with the mip chain) on memory-backed storage,
// against the cluster fit doing the same work (read the Targa, build the mip chain, encode every
// level, write the file through a temporary and a flush). Then the decode time, the round trip
// of one tile (decode, fall pass, encode) at either level, and the minor page faults of one
// encode.
//
// Usage: bench_dxt [CORPUS FOLDER] [--rounds N]; the folder defaults to $TESSAVANE_CORPUS, then
// build/corpus of the source tree. Without any, synthetic tiles are used, and said so.
// "bench_dxt --page-faults <case> main|worker" prints one page-fault row alone.
#include "DxtBench.h"

#include "convlib/BitmapReader.h"
#include "convlib/Dxt.h"
#include "convlib/DxtFourColourFit.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/Image.h"
#include "convlib/MipChain.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"
#include "samplegen/SyntheticTile.h"
#include "season/PixelRules.h"

#include <squish.h>

#include <algorithm>
#include <cerrno>
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

using namespace dxtbench;

// Part 1: the top level of every tile, blocks in memory.
void measureBlocks(const std::vector<Tile> &tiles, int rounds)
{
    kovar::setDxtEncodeThreads(1);
    std::vector<Contender> cs;
    cs.push_back({"libsquish ClusterFit", [](const Tile &t, std::vector<std::uint8_t> &out) {
                      out = blocksFor(t.image);
                      squish::CompressImage(t.image.data(), int(t.image.width()),
                                            int(t.image.height()), out.data(),
                                            squish::kDxt1 | squish::kColourClusterFit);
                  }});
    for (kovar::DxtLevel level : {kovar::DxtLevel::Fast, kovar::DxtLevel::Better}) {
        for (InstructionSet set : availableSets()) {
            Contender c{std::string("ours ") + levelName(level) + ", " +
                            kovar::dxtblock::instructionSetName(set),
                        [level](const Tile &t, std::vector<std::uint8_t> &out) {
                            out = blocksFor(t.image);
                            kovar::encodeDxt1(t.image.data(), t.image.width(), t.image.height(),
                                              out.data(), level);
                        }};
            c.ours = true;
            c.set = set;
            c.level = level;
            cs.push_back(std::move(c));
        }
    }
    cs.push_back(
        {"stb_dxt high quality (opaque)", [](const Tile &t, std::vector<std::uint8_t> &out) {
             out = blocksFor(t.image);
             const Image &im = t.image;
             std::uint8_t texels[64];
             for (std::uint32_t by = 0; by < (im.height() + 3) / 4; ++by) {
                 for (std::uint32_t bx = 0; bx < (im.width() + 3) / 4; ++bx) {
                     for (std::uint32_t i = 0; i < 16; ++i) {
                         const std::uint32_t x = std::min(im.width() - 1, bx * 4 + i % 4);
                         const std::uint32_t y = std::min(im.height() - 1, by * 4 + i / 4);
                         std::memcpy(texels + i * 4, im.pixel(x, y), 4);
                         texels[i * 4 + 3] = 255;
                     }
                     stb_compress_dxt_block(
                         &out[(std::size_t(by) * ((im.width() + 3) / 4) + bx) * 8], texels, 0,
                         STB_DXT_HIGHQUAL);
                 }
             }
         }});
    cs.push_back({"libsquish RangeFit", [](const Tile &t, std::vector<std::uint8_t> &out) {
                      out = blocksFor(t.image);
                      squish::CompressImage(t.image.data(), int(t.image.width()),
                                            int(t.image.height()), out.data(),
                                            squish::kDxt1 | squish::kColourRangeFit);
                  }});
    std::printf(
        "\n== top level in memory, 1 thread, %d rounds over %zu tiles, interleaved per tile\n",
        rounds, tiles.size());
    runInterleaved(tiles, cs, rounds,
                   [](const Tile &t, const std::vector<std::uint8_t> &out, ErrorSum &total) {
                       ErrorSum one;
                       one.add(t.image, out.data());
                       total.add(t.image, out.data());
                       return one.psnr();
                   });
    printTable(tiles, cs);
    // Every instruction set must give the same bytes.
    for (kovar::DxtLevel level : {kovar::DxtLevel::Fast, kovar::DxtLevel::Better}) {
        const Contender *first = nullptr;
        bool same = true;
        for (InstructionSet set : availableSets()) {
            const Contender *c = findOurs(cs, level, set);
            first = first ? first : c;
            same = same && c->output == first->output;
        }
        g_misses += same ? 0 : 1;
        std::printf("%-4s %s level: the same bytes on every instruction set measured\n",
                    same ? "PASS" : "MISS", levelName(level));
    }
    const Contender &cf = cs.front();
    const auto goal = [&](const char *what, kovar::DxtLevel level, InstructionSet set, double speed,
                          double meanDb, double worstDb) {
        if (const Contender *c = findOurs(cs, level, set)) {
            verdict(what, *c, cf, tiles.size(), speed, meanDb, worstDb);
        } else {
            std::printf("SKIP %s: this processor has no %s\n", what,
                        kovar::dxtblock::instructionSetName(set));
        }
    };
    goal("default level, AVX-512", kovar::DxtLevel::Fast, InstructionSet::Avx512, 20, 0, -0.05);
    goal("default level, AVX2", kovar::DxtLevel::Fast, InstructionSet::Avx2, 14, 0, -0.05);
    goal("better level, AVX-512", kovar::DxtLevel::Better, InstructionSet::Avx512, 5, 0.07, -1e9);
    kovar::setDxtEncodeThreads(0);
}

// The mip chain as the library builds it, each level turned bottom-up as the file stores it.
std::vector<Image> storedLevels(const Image &top)
{
    std::vector<Image> levels = kovar::buildMipChain(top);
    for (Image &level : levels) {
        level.flipVertically();
    }
    return levels;
}

// Part 2: the library's file call against the cluster fit doing the same work.
void measureFiles(const std::vector<Tile> &tiles, int rounds)
{
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string folder = base + "/bench-dxt-files-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::printf("cannot make a folder under %s\n", base.c_str());
        return;
    }
    std::vector<Tile> onDisk;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const std::string tga = folder + "/" + std::to_string(t) + ".tga";
        kovar::writeFileAtomically(tga, kovar::encodeTarga(tiles[t].image));
        onDisk.push_back({tiles[t].name, tiles[t].image, tga});
    }
    const auto ourCall = [folder](int format) {
        return [folder, format](const Tile &t, std::vector<std::uint8_t> &out) {
            const std::string path = folder + "/ours" + std::to_string(format) + ".bmp";
            char message[KOVAR_MESSAGE_SIZE];
            if (TargaToExtendedBitmap(t.targa.c_str(), path.c_str(), message, format) != KOVAR_OK) {
                std::fprintf(stderr, "%s\n", message);
                std::exit(1);
            }
            out = kovar::readFileBytes(path); // outside the measured call's own work, but both
                                              // sides read their file back alike
        };
    };
    std::vector<Contender> cs;
    cs.push_back(
        {"libsquish ClusterFit, same work",
         [folder](const Tile &t, std::vector<std::uint8_t> &out) {
             const Image image = kovar::decodeTarga(kovar::readFileBytes(t.targa), t.targa);
             std::vector<std::uint8_t> file(74);
             for (const Image &level : storedLevels(image)) {
                 std::vector<std::uint8_t> blocks = blocksFor(level);
                 squish::CompressImage(level.data(), int(level.width()), int(level.height()),
                                       blocks.data(), squish::kDxt1 | squish::kColourClusterFit);
                 file.insert(file.end(), blocks.begin(), blocks.end());
             }
             const std::string path = folder + "/cluster.bmp";
             kovar::writeFileAtomically(path, file, /*durable=*/true);
             out = kovar::readFileBytes(path);
         }});
    cs.push_back({"TargaToExtendedBitmap, format 11", ourCall(KOVAR_FORMAT_DXT1_MIPMAPPED)});
    cs.push_back({"TargaToExtendedBitmap, format 12", ourCall(KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER)});
    std::printf("\n== the library's file call with the mip chain, files on %s, 1 thread, library on"
                "\n%s, %d rounds, interleaved per tile\n",
                base.c_str(), kovar::dxtInstructionSet(), rounds);
    runInterleaved(onDisk, cs, rounds,
                   [](const Tile &t, const std::vector<std::uint8_t> &file, ErrorSum &total) {
                       ErrorSum one;
                       std::size_t at = 74;
                       for (const Image &level : storedLevels(t.image)) {
                           one.add(level, file.data() + at);
                           total.add(level, file.data() + at);
                           at += blocksFor(level).size();
                       }
                       return one.psnr();
                   });
    std::filesystem::remove_all(folder);
    std::printf("(PSNR over every level of the mip chain)\n");
    printTable(tiles, cs);
    verdict("format 11, within 10 % of 20 x", cs[1], cs[0], tiles.size(), 18, 0, -0.05);
    verdict("format 12, within 10 % of 5 x", cs[2], cs[0], tiles.size(), 4.5, 0.07, -1e9);
    verdict("format 11, check on unseen tiles", cs[1], cs[0], tiles.size(), 20, -0.02, -1e9);
    verdict("format 12, check on unseen tiles", cs[2], cs[0], tiles.size(), 5, 0.05, -1e9);
}

double decodeMsPerTile(const Image &top)
{
    std::vector<std::uint8_t> blocks = blocksFor(top);
    kovar::encodeDxt1(top.data(), top.width(), top.height(), blocks.data());
    std::vector<std::uint8_t> rgba(top.byteCount());
    const int runs = 200;
    const double start = threadMs();
    for (int r = 0; r < runs; ++r) {
        kovar::decodeDxt(kovar::DxtFormat::Dxt1, blocks.data(), top.width(), top.height(),
                         rgba.data());
    }
    return (threadMs() - start) / runs;
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
        const double t0 = threadMs();
        kovar::Image image = kovar::decodeBitmap(texture, "texture");
        const double t1 = threadMs();
        fallPass(image, 12);
        const double t2 = threadMs();
        bytes += kovar::encodeExtendedBitmap(image, format, "output").size();
        const double t3 = threadMs();
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
void printRoundTrip(const std::vector<Tile> &tiles)
{
    kovar::setDxtEncodeThreads(1);
    std::vector<std::vector<std::uint8_t>> textures;
    for (const Tile &tile : tiles) {
        textures.push_back(
            kovar::encodeExtendedBitmap(tile.image, KOVAR_FORMAT_DXT1_MIPMAPPED, "texture"));
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
    // libsquish runs its image calls on OpenMP threads, and the OpenMP runtime reads
    // OMP_NUM_THREADS once, as it is loaded, before main. Set later, the variable would leave
    // the cluster fit spread over every hardware thread: only its share on the measured thread
    // would be timed, and the others would slow whatever runs next on a shared core. So the
    // program starts itself again with the variable set. It also gives the library's own copy
    // of the encoder (libkovar.so) its thread count.
    if (const char *omp = std::getenv("OMP_NUM_THREADS");
        omp == nullptr || std::strcmp(omp, "1") != 0) {
        setenv("OMP_NUM_THREADS", "1", 1);
        execv("/proc/self/exe", argv);
        std::fprintf(stderr,
                     "bench_dxt: cannot start itself again with OMP_NUM_THREADS=1 (%s); "
                     "set it before starting the program\n",
                     std::strerror(errno));
        return 2;
    }
    int rounds = 5;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--page-faults") == 0 && i + 2 < argc) {
            // A negative case -1 - n prints case n's name and threads instead.
            const int which = std::atoi(argv[i + 1]);
            if (which < -kFaultCases || which >= kFaultCases) {
                return 2;
            }
            return printPageFaults(which, std::strcmp(argv[i + 2], "worker") == 0);
        }
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: bench_dxt [CORPUS FOLDER] [--rounds N]\n");
            return 2;
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty()) {
        const char *env = std::getenv("TESSAVANE_CORPUS");
        folder = env && *env ? env : std::string(TESSAVANE_SOURCE_DIR) + "/build/corpus";
    }
    std::vector<Tile> tiles;
    if (std::filesystem::is_directory(folder)) {
        tiles = loadCorpus(folder);
    }
    if (!tiles.empty()) {
        std::printf("DXT1 encoders on %zu real photographs (256 x 256 cuts, *summer.tga) of %s\n",
                    tiles.size(), folder.c_str());
    } else {
        std::printf(
            "\n!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
            "!!! NO CORPUS: %s holds no *summer.tga. These figures come from\n"
            "!!! SYNTHETIC tiles, which flatter every encoder; the goals are about real\n"
            "!!! photographs. Make a corpus with scripts/make-corpus.sh and pass its folder.\n"
            "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\n",
            folder.c_str());
        for (std::uint32_t seed = 1; seed <= 26; ++seed) {
            tiles.push_back(
                {"synthetic " + std::to_string(seed), imageOf(samplegen::SyntheticTile(seed)), ""});
        }
    }
    std::string sets;
    for (InstructionSet set : availableSets()) {
        sets += std::string(sets.empty() ? "" : ", ") + kovar::dxtblock::instructionSetName(set);
    }
    const char *forced = std::getenv("TESSAVANE_SIMD");
    std::printf("processor runs %s; the library's default: %s (TESSAVANE_SIMD=%s); %u hardware"
                " threads; OMP_NUM_THREADS=%s from the start, so the cluster fit runs on one\n",
                sets.c_str(), kovar::dxtInstructionSet(), forced ? forced : "(unset)",
                std::thread::hardware_concurrency(), std::getenv("OMP_NUM_THREADS"));
    measureBlocks(tiles, rounds);
    measureFiles(tiles, rounds);
    std::printf("\ndecode (ours), top level 256 x 256: %.3f ms per tile\n",
                decodeMsPerTile(tiles.front().image));
    printRoundTrip(tiles);
    printPageFaultsInChildren();
    std::printf("\n%s: %d goal%s missed\n", g_misses == 0 ? "ALL PASS" : "MISSED", g_misses,
                g_misses == 1 ? "" : "s");
    return g_misses == 0 ? 0 : 1;
}
