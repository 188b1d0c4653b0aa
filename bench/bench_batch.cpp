// tessavane-batch on a winter set beside a one-thread floor doing the same work, in one run:
//   - the floor: each tile read and decoded, its snow counted, the winter pass run, the output
//     encoded and written durably (a temporary beside the target with its write-back started;
//     per 64 files, as the command groups them, each one's data waited for, renamed, and the
//     folder flushed once), one thread, in this process; measured in turn with the command in
//     every repeat;
//   - the batch with --jobs 1 and with one job per core, each as a child process, its time as
//     a ratio to the floor's and its page faults per tile;
//   - what durability costs: the same set made in this process with each flush mode, as a
//     ratio to no flush at all;
//   - each season's run as a ratio to winter's, and "all" against the four single-season runs
//     it stands for;
//   - the batch's peak resident memory at the small and at the large tile count (one child
//     process each), which must not grow with the number of files;
//   - --update at the large count: a first update (no manifest: every output written) against
//     an update with nothing changed, and one after a single tile changed, in turn.
// Tiles are hard links to templates under distinct names, so 10,000 of them take no room; the
// outputs are real files. The templates are the real aerial photographs of the corpus folder
// in TESSAVANE_CORPUS (scripts/make-corpus.sh makes one: its *su.bmp files), else the bundled
// samples, else synthetic tiles. Every figure is measured in the same run; on a shared
// machine compare the ratios, not the rates. The folders are made in TMPDIR: point it at the
// disk to be measured. (On ext4 without a journal, creating a file first skips every inode
// freed in the last minutes, each skip a lookup, so after a deletion-heavy run such as a
// test suite the batch's file creation costs far more there than on a journalled disk.)
// Usage: bench_batch [tiles=1000] [large=10000] [repeats=2] [parts=all]
//   parts: a comma-separated choice of throughput, durability, seasons, memory, update.
#include "convlib/BitmapReader.h"
#include "convlib/Dxt.h"
#include "convlib/ExtendedBitmapWriter.h"
#include "convlib/FileIo.h"
#include "convlib/kovar.h"
#include "texset/DurableOutput.h"
#include "texset/TextureSet.h"
#include "texset/TileConversion.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr int snowThreshold = 70;

[[noreturn]] void fail(const char *what, const char *detail)
{
    std::fprintf(stderr, "bench_batch: %s: %s\n", what, detail);
    std::exit(1);
}

// A synthetic 256 x 256 tile through the library, for when no samples are bundled: land in
// gradients with fine noise, a strip of water.
void synthesiseTile(const QString &path, int seed, const QString &scratch)
{
    std::vector<unsigned char> tga(18, 0);
    tga[2] = 2;
    tga[13] = 1;
    tga[15] = 1;
    tga[16] = 32;
    tga[17] = 0x28;
    unsigned state = 12345u + unsigned(seed);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = int((state >> 16) % 24);
            const bool water = x + y / 3 < 50;
            tga.push_back((unsigned char)(water ? 150 : 30 + y / 4 + noise));
            tga.push_back((unsigned char)(water ? 90 : 60 + x / 3 + noise + seed));
            tga.push_back((unsigned char)(water ? 40 : 70 + (x ^ y) / 4 + noise));
            tga.push_back((unsigned char)(water ? 0 : 255));
        }
    const QString targa = scratch + QStringLiteral("/tile.tga");
    QFile file(targa);
    if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char *>(tga.data()),
                                                       qint64(tga.size())) != qint64(tga.size()))
        fail("cannot write", qPrintable(targa));
    file.close();
    char message[KOVAR_MESSAGE_SIZE] = {};
    if (TargaToExtendedBitmap(targa.toUtf8().constData(), path.toUtf8().constData(), message, 11) !=
        0)
        fail("cannot write a tile", message);
}

// The tiles to link to: the corpus's photographs, else the bundled samples, else a few
// synthetic ones.
QStringList templateTiles(const QString &scratch, QString *kind)
{
    QStringList tiles;
    const QString corpus = qEnvironmentVariable("TESSAVANE_CORPUS");
    if (!corpus.isEmpty()) {
        const QDir photos(corpus);
        for (const QString &name : photos.entryList({QStringLiteral("*su.bmp")}, QDir::Files))
            tiles << photos.filePath(name);
        if (tiles.isEmpty())
            fail("no *su.bmp in TESSAVANE_CORPUS", qPrintable(corpus));
        *kind = QStringLiteral("%1 aerial photographs from %2").arg(tiles.size()).arg(corpus);
        return tiles;
    }
    *kind = QStringLiteral("bundled samples");
#ifdef TESSAVANE_SOURCE_DIR
    const QDir samples(QStringLiteral(TESSAVANE_SOURCE_DIR "/samples"));
    for (const QString &name : samples.entryList({QStringLiteral("*su.bmp")}, QDir::Files))
        tiles << samples.filePath(name);
#endif
    if (tiles.isEmpty())
        *kind = QStringLiteral("synthetic tiles");
    if (tiles.isEmpty())
        for (int i = 0; i < 8; ++i) {
            tiles << scratch + QStringLiteral("/template%1.bmp").arg(i);
            synthesiseTile(tiles.back(), i, scratch);
        }
    return tiles;
}

QStringList makeTiles(const QStringList &templates, const QString &folder, int count)
{
    QDir().mkpath(folder);
    QStringList tiles;
    for (int i = 0; i < count; ++i) {
        tiles << folder + QStringLiteral("/%1su.bmp").arg(i, 15, 10, QLatin1Char('0'));
        const QByteArray from = templates[i % templates.size()].toUtf8();
        const QByteArray to = tiles.back().toUtf8();
        if (::link(from.constData(), to.constData()) != 0 &&
            !QFile::copy(templates[i % templates.size()], tiles.back()))
            fail("cannot make", to.constData());
    }
    return tiles;
}

unsigned coreCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 ? unsigned(CPU_COUNT(&set)) : 1;
}

// Starts write-back of everything earlier runs left dirty and waits for it, so that no run
// pays for the one before.
void settleDisk(const QString &folder)
{
    const int fd = ::open(folder.toUtf8().constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// One thread, the command's work without its threads: each tile read and decoded, its snow
// counted and the winter pass run from its start, encoded, and written durably into `dest`.
double floorSeconds(const QStringList &tiles, const QString &dest)
{
    kovar::setDxtEncodeThreads(1);
    texset::TileConversion tile;
    std::uint32_t state = 1;
    const std::filesystem::path folder = dest.toStdString();
    QElapsedTimer timer;
    timer.start();
    // As the command groups them: written with their write-back started at once, then per 64
    // files each one's data waited for, renamed, and the folder flushed once.
    std::vector<texset::PendingOutput> pending;
    const auto commitPending = [&] {
        for (texset::PendingOutput &output : pending)
            output.commit();
        texset::flushFolder(folder);
        pending.clear();
    };
    for (const QString &path : tiles) {
        tile.load(path.toStdString());
        const std::uint32_t start = state;
        state = texset::snowStateAfter(state, tile.snowDraws(snowThreshold));
        tile.applyPass(season::Season::Winter, snowThreshold, start);
        std::string name = QFileInfo(path).fileName().toStdString();
        name.replace(15, 2, "wi");
        const std::filesystem::path target = folder / name;
        pending.emplace_back(target, tile.encode(target), texset::Flush::Grouped);
        if (pending.size() == 64)
            commitPending();
    }
    commitPending();
    return double(timer.nsecsElapsed()) / 1e9;
}

struct BatchRun
{
    double seconds;
    long peakKiB;
    long minorFaults;
};

// Runs tessavane-batch (beside this program) as a child and waits for it, with its resource
// usage.
BatchRun runBatch(const QString &source, const QString &dest, unsigned jobs,
                  const char *season = "winter", const char *extra = nullptr)
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        fail("cannot find", "/proc/self/exe");
    self[length] = '\0';
    const QByteArray program =
        (QFileInfo(QString::fromUtf8(self)).absolutePath() + "/tessavane-batch").toUtf8();
    const QByteArray src = source.toUtf8();
    const QByteArray dst = dest.toUtf8();
    const QByteArray jobCount = QByteArray::number(jobs);
    const QByteArray threshold = QByteArray::number(snowThreshold);
    // Every run at the same strengths: winter at the bench's threshold, hard winter at its
    // default (the hardwinter command takes only the one setting).
    std::vector<const char *> argv{program.constData(), season};
    if (std::string(season) != "hardwinter")
        argv.insert(argv.end(), {"--snow", threshold.constData()});
    argv.insert(argv.end(), {"--jobs", jobCount.constData(), "--quiet"});
    if (extra)
        argv.push_back(extra);
    argv.insert(argv.end(), {src.constData(), dst.constData(), nullptr});
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char **>(argv.data()),
                    environ) != 0)
        fail("cannot start", program.constData());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("tessavane-batch failed", program.constData());
    return BatchRun{seconds, usage.ru_maxrss, usage.ru_minflt};
}

void emptyFolder(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

// The set made in this process with one flush mode, on every core.
double setSeconds(const QStringList &tiles, const QString &dest, texset::Flush flush)
{
    texset::SetOptions options;
    options.seasons = {{season::Season::Winter, snowThreshold}};
    options.jobs = coreCount();
    options.flush = flush;
    const std::string folder = dest.toStdString();
    QElapsedTimer timer;
    timer.start();
    const texset::SetResult result = texset::makeTextureSet(
        std::size_t(tiles.size()),
        [&](std::size_t i) {
            const std::string texture = tiles[qsizetype(i)].toStdString();
            std::string name = QFileInfo(tiles[qsizetype(i)]).fileName().toStdString();
            name.replace(15, 2, "wi");
            return texset::TileRequest{texture, {folder + "/" + name}, {}, {}};
        },
        options, [](const texset::TileOutcome &) {}, [] { return false; });
    if (result.written != tiles.size())
        fail("a set failed", qPrintable(dest));
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    // As tessavane-batch does: freed buffers stay in the heap, so the floor, like the batch,
    // does not pay fresh pages for every tile.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int large = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 2;
    const QStringList parts = QString::fromUtf8(argc > 4 ? argv[4] : "all").split(',');
    const auto wanted = [&](const char *part) {
        return parts.contains(QStringLiteral("all")) || parts.contains(QString::fromUtf8(part));
    };
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/bench_batch-XXXXXX"));
    if (!root.isValid())
        fail("cannot create a temporary folder", qPrintable(root.errorString()));
    QString kind;
    const QStringList templates = templateTiles(root.path(), &kind);
    const unsigned cores = coreCount();
    const QString source = root.filePath(QStringLiteral("in"));
    const QString dest = root.filePath(QStringLiteral("out"));
    const QStringList tiles = makeTiles(templates, source, count);

    std::printf("tessavane-batch winter --snow %d, %d tiles of 256 x 256 (%s), %u cores, "
                "%d repeats, folder %s\n",
                snowThreshold, count, qPrintable(kind), cores, repeats, qPrintable(root.path()));
    BatchRun lastAllCores{};
    if (wanted("throughput") || wanted("memory")) {
        std::printf("Throughput (time as a ratio to the floor's; rate as a multiple of the "
                    "floor's; floor = decode, winter pass, encode, durable write on 1 thread):\n");
        for (int r = 0; r < repeats; ++r) {
            emptyFolder(dest);
            settleDisk(dest);
            const double floor = floorSeconds(tiles, dest);
            emptyFolder(dest);
            settleDisk(dest);
            const BatchRun one = runBatch(source, dest, 1);
            emptyFolder(dest);
            settleDisk(dest);
            const BatchRun all = runBatch(source, dest, cores);
            lastAllCores = all;
            std::printf("  repeat %d: floor (1 thread) %6.1f tiles/s\n", r + 1, count / floor);
            std::printf("            --jobs 1  %6.1f tiles/s  time %.2f x the floor's (target <= "
                        "1.15)  %.0f page faults per tile\n",
                        count / one.seconds, one.seconds / floor, double(one.minorFaults) / count);
            std::printf("            --jobs %u  %6.1f tiles/s  rate %.2f x the floor's (target "
                        ">= %.2f)\n",
                        cores, count / all.seconds, floor / all.seconds, 0.85 * cores);
        }
    }
    if (wanted("durability")) {
        std::printf("What durability costs (the set in-process on %u workers; time as a ratio to "
                    "no flush):\n",
                    cores);
        const struct
        {
            texset::Flush flush;
            const char *name;
        } modes[] = {
            {texset::Flush::None, "no flush"},
            {texset::Flush::Inline, "fdatasync in line, folder fsync per file"},
            {texset::Flush::GroupedNoKick, "fdatasync + folder fsync per group, committing thread"},
            {texset::Flush::Grouped, "as above + sync_file_range at write (default)"},
        };
        std::vector<double> totals(std::size(modes), 0);
        for (int r = 0; r < repeats; ++r)
            for (std::size_t m = 0; m < std::size(modes); ++m) {
                emptyFolder(dest);
                settleDisk(dest);
                totals[m] += setSeconds(tiles, dest, modes[m].flush);
            }
        for (std::size_t m = 0; m < std::size(modes); ++m)
            std::printf("  %-55s %6.1f tiles/s  %.3f x\n", modes[m].name,
                        count * repeats / totals[m], totals[m] / totals[0]);
    }
    if (wanted("seasons")) {
        // "all" reads and decodes each tile once for its four outputs; the four single-season runs
        // read it four times. Same tiles, same settings, same workers.
        std::printf("Four seasons (tessavane-batch --jobs %u; time as a ratio to the four separate "
                    "runs):\n",
                    cores);
        const char *const seasons[] = {"winter", "fall", "spring", "hardwinter"};
        double allSeconds = 0;
        double seasonSeconds[std::size(seasons)] = {};
        for (int r = 0; r < repeats; ++r) {
            emptyFolder(dest);
            settleDisk(dest);
            allSeconds += runBatch(source, dest, cores, "all").seconds;
            for (std::size_t s = 0; s < std::size(seasons); ++s) {
                emptyFolder(dest);
                settleDisk(dest);
                seasonSeconds[s] += runBatch(source, dest, cores, seasons[s]).seconds;
            }
        }
        double separateSeconds = 0;
        for (std::size_t s = 0; s < std::size(seasons); ++s) {
            separateSeconds += seasonSeconds[s];
            std::printf("  %-34s %6.1f tiles/s  %.3f x winter's time\n", seasons[s],
                        count * repeats / seasonSeconds[s], seasonSeconds[s] / seasonSeconds[0]);
        }
        std::printf("  winter, fall, spring, hardwinter  %6.1f tiles/s\n",
                    count * repeats / separateSeconds);
        std::printf("  all                                %6.1f tiles/s  %.3f x (target < 1)\n",
                    count * repeats / allSeconds, allSeconds / separateSeconds);
    }
    const QString largeSource = root.filePath(QStringLiteral("in-large"));
    if (wanted("memory") || wanted("update"))
        makeTiles(templates, largeSource, large);
    if (wanted("memory")) {
        std::printf("Peak memory of tessavane-batch --jobs %u:\n", cores);
        emptyFolder(dest);
        settleDisk(dest);
        const BatchRun big = runBatch(largeSource, dest, cores);
        std::printf("  %6d tiles: %7ld KiB\n", count, lastAllCores.peakKiB);
        std::printf("  %6d tiles: %7ld KiB  (%.3f x; target within 10 %%)  %.1f tiles/s\n", large,
                    big.peakKiB, double(big.peakKiB) / double(lastAllCores.peakKiB),
                    large / big.seconds);
    }
    if (wanted("update")) {
        // An update over unchanged tiles reads and hashes each tile and writes nothing; the
        // first update, with no manifest yet, is a whole run that also records the manifest.
        std::printf("--update of %d tiles (tessavane-batch fall --jobs %u; time as a ratio to "
                    "the full run's):\n",
                    large, cores);
        const QString one =
            largeSource + QStringLiteral("/%1su.bmp").arg(large / 2, 15, 10, QLatin1Char('0'));
        for (int r = 0; r < repeats; ++r) {
            emptyFolder(dest);
            settleDisk(dest);
            const BatchRun full = runBatch(largeSource, dest, cores, "fall", "--update");
            settleDisk(dest);
            const BatchRun unchanged = runBatch(largeSource, dest, cores, "fall", "--update");
            // One tile replaced by another photograph: its own fall output alone is rewritten.
            QFile::remove(one);
            if (!QFile::copy(templates[(large / 2 + 1) % templates.size()], one))
                fail("cannot copy", qPrintable(one));
            settleDisk(dest);
            const BatchRun changed = runBatch(largeSource, dest, cores, "fall", "--update");
            QFile::remove(one);
            if (::link(templates[(large / 2) % templates.size()].toUtf8().constData(),
                       one.toUtf8().constData()) != 0)
                fail("cannot link", qPrintable(one));
            std::printf("  repeat %d: full run %.2f s (%.1f tiles/s)  unchanged %.3f x (target "
                        "<= 0.25, goal < 0.10)  one tile changed %.3f x\n",
                        r + 1, full.seconds, large / full.seconds, unchanged.seconds / full.seconds,
                        changed.seconds / full.seconds);
        }
    }
    return 0;
}
