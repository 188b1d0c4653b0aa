// Times tessavane-batch on a winter set of many tiles beside the codec floor (the same tiles
// decoded and encoded by the conversion library with nothing around it), and prints the
// program's peak resident memory for a small and a large run: it must not grow with the
// number of files. Usage: bench_batch [small=200] [large=1000]
#include "convlib/kovar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern char **environ;

namespace {

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

// The tiles to copy: the bundled samples, else a few synthetic ones.
QStringList templateTiles(const QString &scratch)
{
    QStringList tiles;
#ifdef TESSAVANE_SOURCE_DIR
    const QDir samples(QStringLiteral(TESSAVANE_SOURCE_DIR "/samples"));
    for (const QString &name : samples.entryList({QStringLiteral("*su.bmp")}, QDir::Files))
        tiles << samples.filePath(name);
#endif
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
        if (!QFile::copy(templates[i % templates.size()], tiles.back()))
            fail("cannot copy to", qPrintable(tiles.back()));
    }
    return tiles;
}

double codecFloorSeconds(const QStringList &tiles, const QString &scratch)
{
    char message[KOVAR_MESSAGE_SIZE] = {};
    const QByteArray tga = (scratch + QStringLiteral("/floor.tga")).toUtf8();
    const QByteArray out = (scratch + QStringLiteral("/floor.bmp")).toUtf8();
    QElapsedTimer timer;
    timer.start();
    for (const QString &tile : tiles)
        if (TargaFromExtendedBitmap(tga.constData(), tile.toUtf8().constData(), message) != 0 ||
            TargaToExtendedBitmap(tga.constData(), out.constData(), message, 11) != 0)
            fail("codec floor", message);
    return double(timer.nsecsElapsed()) / 1e9;
}

struct BatchRun
{
    double seconds;
    long peakKiB;
};

// Runs tessavane-batch (beside this program) and waits for it, with its resource usage.
BatchRun runBatch(const QString &source, const QString &dest)
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
    const char *argv[] = {program.constData(), "winter",        "--snow",        "70",
                          "--quiet",           src.constData(), dst.constData(), nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char **>(argv),
                    environ) != 0)
        fail("cannot start", program.constData());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("tessavane-batch failed", program.constData());
    return BatchRun{seconds, usage.ru_maxrss};
}

} // namespace

int main(int argc, char **argv)
{
    const int small = argc > 1 ? std::atoi(argv[1]) : 200;
    const int large = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir root;
    if (!root.isValid())
        fail("cannot create a temporary folder", qPrintable(root.errorString()));
    const QStringList templates = templateTiles(root.path());

    std::printf("tessavane-batch winter, 256 x 256 tiles (%s)\n",
                templates.first().contains(QStringLiteral("/samples/")) ? "bundled samples"
                                                                        : "synthetic tiles");
    for (const int count : {small, large}) {
        const QString source = root.filePath(QStringLiteral("in%1").arg(count));
        const QString dest = root.filePath(QStringLiteral("out%1").arg(count));
        QDir().mkpath(dest);
        const QStringList tiles = makeTiles(templates, source, count);
        const double floor = codecFloorSeconds(tiles, root.path());
        const BatchRun run = runBatch(source, dest);
        std::printf("  %5d tiles: codec floor %7.1f tiles/s   batch %7.1f tiles/s (%.2f x the "
                    "floor's time)   batch peak memory %6ld KiB\n",
                    count, count / floor, count / run.seconds, run.seconds / floor, run.peakKiB);
        QDir(source).removeRecursively();
        QDir(dest).removeRecursively();
    }
    return 0;
}
