#include "app/Startup.h"

#include "about/AboutForm.h"
#include "about/AppIcon.h"
#include "platform/ErrorSink.h"
#include "platform/FileNames.h"
#include "platform/InstallLayout.h"
#include "platform/SettingsStore.h"
#include "platform/StopRequest.h"
#include "platform/WinePaths.h"
#include "texset/StaleTemporaries.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// By the folder's bytes, so that a name that is not UTF-8 is probed where it is.
bool canWriteIn(const QString &folder)
{
    QByteArray probe = platform::encodeFileName(folder) + "/.tessavane-probe-XXXXXX";
    const int descriptor = ::mkostemp(probe.data(), O_CLOEXEC);
    if (descriptor < 0)
        return false;
    ::close(descriptor);
    ::unlink(probe.constData());
    return true;
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

QString chooseProgramFolder(const QString &executableFolder)
{
    // An installed program's folder is shared with other programs, even when it can be
    // written (by root, for instance). A folder that is not absolute would be taken from the
    // working folder, which belongs to the user.
    if (executableFolder.startsWith(QLatin1Char('/')) &&
        !platform::isInstalledProgramFolder(executableFolder) && canWriteIn(executableFolder))
        return withSlash(QDir::cleanPath(executableFolder));
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = cache + QStringLiteral("/tessavane");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/');
}

QString chooseDestinationFolder(const QString &programFolder, const QString &executableFolder)
{
    if (executableFolder.startsWith(QLatin1Char('/')) &&
        withSlash(QDir::cleanPath(executableFolder)) == programFolder)
        return programFolder;
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    return pictures + QStringLiteral("/Tessavane");
}

FormEnvironment defaultEnvironment()
{
    FormEnvironment environment;
    const QString executableFolder = platform::executableFolder();
    environment.programFolder = chooseProgramFolder(executableFolder);
    environment.destinationDefault =
        chooseDestinationFolder(environment.programFolder, executableFolder);
    environment.settingsFile = platform::SettingsStore::defaultFilePath();
    environment.winePrefix = platform::defaultWinePrefix();
    environment.beep = [] { QApplication::beep(); };
    environment.stopRequested = [] { return platform::stopRequested(); };
    return environment;
}

int runTessavane(const FormEnvironment &environment, const QString &openPath)
{
    QApplication::setWindowIcon(about::windowIcon());
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TAboutForm> aboutForm;
    // A failure while the windows are built is shown, and the program ends without a window.
    const bool started = platform::guarded([&] {
        form = std::make_unique<TForm1>(environment);
        aboutForm = std::make_unique<TAboutForm>();
        form->AboutForm = aboutForm.get();
    });
    if (!started)
        return 0;

    // What a run killed mid-write left behind: outputs' temporaries in the destination, and
    // in the program folder.
    for (const QString &folder : {form->destinationFolder(), environment.programFolder})
        texset::removeStaleTemporaries(platform::toNativePath(folder));

    // A stop signal closes the windows as the close box does once the event in hand (a
    // texture set stops after its texture in hand) has ended.
    std::unique_ptr<QSocketNotifier> stopWatch;
    if (platform::stopDescriptor() >= 0) {
        stopWatch =
            std::make_unique<QSocketNotifier>(platform::stopDescriptor(), QSocketNotifier::Read);
        QObject::connect(stopWatch.get(), &QSocketNotifier::activated, [&stopWatch] {
            stopWatch->setEnabled(false);
            QApplication::closeAllWindows();
        });
    }

    // Shown in the centre of the screen, whatever the screen's size.
    if (const QScreen *screen = form->screen())
        form->move(screen->availableGeometry().center() - form->rect().center());
    form->show();
    if (!openPath.isEmpty())
        platform::guarded([&] { form->openPath(openPath); });
    QApplication::exec();
    return 0;
}
