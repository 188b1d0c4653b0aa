// Times a winter texture set made by the real window (offscreen) over copies of the sample
// tiles, beside the codec floor: the same tiles decoded and encoded by the library with no
// pipeline around them. Prints the peak resident memory after 200 and after 1,000 files.
#include "app/Form1.h"
#include "controls/DirectoryListBox.h"
#include "controls/FileListBox.h"
#include "convlib/kovar.h"
#include "platform/ErrorSink.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Fills `folder` with `count` summer textures copied from the samples, named as FS2004 does.
QStringList makeTiles(const QString &folder, int count)
{
    const QDir samples(QStringLiteral(TESSAVANE_SOURCE_DIR "/samples"));
    const QStringList names = samples.entryList({QStringLiteral("*su.bmp")}, QDir::Files);
    QDir().mkpath(folder);
    QStringList tiles;
    for (int i = 0; i < count && !names.isEmpty(); ++i) {
        const QString name = QStringLiteral("%1su.bmp").arg(i, 15, 10, QLatin1Char('0'));
        QFile::copy(samples.filePath(names[i % names.size()]), folder + QLatin1Char('/') + name);
        tiles << folder + QLatin1Char('/') + name;
    }
    return tiles;
}

double codecFloorSeconds(const QStringList &tiles, const QString &scratch)
{
    char buffer[1024] = {};
    const QByteArray tga = (scratch + QStringLiteral("/floor.tga")).toUtf8();
    const QByteArray out = (scratch + QStringLiteral("/floor.bmp")).toUtf8();
    QElapsedTimer timer;
    timer.start();
    for (const QString &tile : tiles) {
        if (TargaFromExtendedBitmap(tga.constData(), tile.toUtf8().constData(), buffer) != 0 ||
            TargaToExtendedBitmap(tga.constData(), out.constData(), buffer, 11) != 0) {
            std::fprintf(stderr, "error: %s\n", buffer);
            std::exit(1);
        }
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

double textureSetSeconds(TForm1 &form, const QString &source)
{
    form.DirectoryListBox1->setDirectory(source);
    QElapsedTimer timer;
    timer.start();
    form.Button3Click();
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::setErrorHandler([](const std::exception &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        std::exit(1);
    });
    const int small = argc > 1 ? std::atoi(argv[1]) : 200;
    const int large = argc > 2 ? std::atoi(argv[2]) : 1000;

    QTemporaryDir root;
    FormEnvironment environment;
    environment.programFolder = root.filePath(QStringLiteral("program"));
    QDir().mkpath(environment.programFolder);
    environment.settingsFile = root.filePath(QStringLiteral("user.reg"));
    environment.winePrefix = root.filePath(QStringLiteral("wine"));
    QDir().mkpath(root.filePath(QStringLiteral("out")));
    TForm1 form(environment);
    form.show();
    form.DirectoryListBox2->setDirectory(root.filePath(QStringLiteral("out")));

    const QStringList smallTiles = makeTiles(root.filePath(QStringLiteral("small")), small);
    const double floorSeconds = codecFloorSeconds(smallTiles, root.path());
    const double setSeconds = textureSetSeconds(form, root.filePath(QStringLiteral("small")));
    const long rssSmall = peakResidentKiB();
    std::printf("winter texture set, %d tiles of 256 x 256 through the window (offscreen)\n",
                small);
    std::printf("  codec floor      %8.1f tiles/s\n", small / floorSeconds);
    std::printf("  texture set      %8.1f tiles/s   %.2f x the floor's time (target <= 1.5)\n",
                small / setSeconds, setSeconds / floorSeconds);
    std::printf("  peak resident memory after %5d files: %6ld KiB\n", small, rssSmall);

    QDir(root.filePath(QStringLiteral("out"))).removeRecursively();
    QDir().mkpath(root.filePath(QStringLiteral("out")));
    makeTiles(root.filePath(QStringLiteral("large")), large);
    const double largeSeconds = textureSetSeconds(form, root.filePath(QStringLiteral("large")));
    std::printf("  peak resident memory after %5d files: %6ld KiB   (%.1f tiles/s)\n", large,
                peakResidentKiB(), large / largeSeconds);
    return 0;
}
