#include "app/Startup.h"

#include "about/AboutForm.h"
#include "about/AppIcon.h"
#include "platform/ErrorSink.h"
#include "platform/InstallLayout.h"
#include "platform/SettingsStore.h"
#include "platform/WinePaths.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryFile>

#include <memory>

namespace {

bool canWriteIn(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.tessavane-probe-XXXXXX"));
    return probe.open();
}

} // namespace

QString chooseProgramFolder(const QString &executableFolder)
{
    // An installed program's folder is shared with other programs, even when it can be
    // written (by root, for instance).
    if (!platform::isInstalledProgramFolder(executableFolder) && canWriteIn(executableFolder))
        return QDir(executableFolder).absolutePath() + QLatin1Char('/');
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = cache + QStringLiteral("/tessavane");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/');
}

FormEnvironment defaultEnvironment()
{
    FormEnvironment environment;
    environment.programFolder = chooseProgramFolder(QCoreApplication::applicationDirPath());
    environment.settingsFile = platform::SettingsStore::defaultFilePath();
    environment.winePrefix = platform::defaultWinePrefix();
    environment.beep = [] { QApplication::beep(); };
    return environment;
}

int runTessavane(const FormEnvironment &environment)
{
    QApplication::setWindowIcon(about::applicationIcon());
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
    // Shown in the centre of the screen, whatever the screen's size.
    if (const QScreen *screen = form->screen())
        form->move(screen->availableGeometry().center() - form->rect().center());
    form->show();
    QApplication::exec();
    return 0;
}
