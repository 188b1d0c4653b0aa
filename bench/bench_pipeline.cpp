// Times the preview pipeline of the main window on a bundled texture: from the first library
// call to the three loaded pictures.
#include "app/Form1.h"
#include "controls/DirectoryListBox.h"
#include "controls/FileListBox.h"
#include "platform/ErrorSink.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::setErrorHandler([](const std::exception &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        std::exit(1);
    });

    QTemporaryDir root;
    const QDir samples(QStringLiteral(TESSAVANE_SOURCE_DIR "/samples"));
    const QStringList names = samples.entryList({QStringLiteral("*su.bmp")}, QDir::Files);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no sample textures in %s\n", qPrintable(samples.path()));
        return 1;
    }
    QDir().mkpath(root.filePath(QStringLiteral("source")));
    QFile::copy(samples.filePath(names.first()),
                root.filePath(QStringLiteral("source/")) + names.first());

    FormEnvironment environment;
    environment.programFolder = root.filePath(QStringLiteral("program"));
    QDir().mkpath(environment.programFolder);
    environment.settingsFile = root.filePath(QStringLiteral("user.reg"));
    environment.winePrefix = root.filePath(QStringLiteral("wine"));
    TForm1 form(environment);
    form.DirectoryListBox1->setDirectory(root.filePath(QStringLiteral("source")));
    form.FileListBox1->selectItem(0);

    constexpr int kRuns = 200;
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        form.ViewClick();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("preview pipeline, one 256 x 256 DXT1 tile (%s), %d runs\n",
                qPrintable(names.first()), kRuns);
    std::printf("  median %.2f ms   fastest %.2f ms   90th percentile %.2f ms   (target < 10 ms)\n",
                times[times.size() / 2], times.front(), times[times.size() * 9 / 10]);
    return 0;
}
