// Start-up and the end of the program: the error box, the program folder, the exit code.
#include "FormFixture.h"

#include "about/AboutForm.h"
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "platform/SettingsStore.h"
#include "settings/StoredSettings.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The built program, run without a display and without a platform chosen for it.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

TEST(CommandLine, VersionAndHelpPrintAndEndWithoutADisplay)
{
    const struct
    {
        const char *option;
        QString expected;
    } rows[] = {{"--version", QStringLiteral("Tessavane " TESSAVANE_VERSION "\n")},
                {"--help", QStringLiteral("Usage: Tessavane [TEXTURE | FOLDER]\n")}};
    for (const auto &row : rows) {
        QProcess program;
        program.setProcessEnvironment(withoutDisplay());
        program.start(QStringLiteral(TESSAVANE_WINDOW_PROGRAM), {QString::fromLatin1(row.option)});
        ASSERT_TRUE(program.waitForFinished(60000)) << row.option;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << row.option;
        EXPECT_EQ(program.exitCode(), 0) << row.option;
        EXPECT_TRUE(QString::fromUtf8(program.readAllStandardOutput()).startsWith(row.expected))
            << row.option;
        EXPECT_EQ(program.readAllStandardError(), QByteArray()) << row.option;
    }
    // A failed write to standard output is no success.
    QProcess full;
    full.setProcessEnvironment(withoutDisplay());
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QStringLiteral(TESSAVANE_WINDOW_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(full.waitForFinished(60000));
    EXPECT_NE(full.exitCode(), 0);
}

// The id of a process that has ended: a run killed mid-write.
qint64 endedProcessId()
{
    QProcess ended;
    ended.start(QStringLiteral("/bin/true"), {});
    const qint64 id = ended.waitForStarted() ? ended.processId() : 0;
    ended.waitForFinished();
    return id;
}

// Starts program in folder by their bytes (QProcess would pass names as UTF-8 and lose the
// other bytes).
pid_t launch(const std::string &folder, const std::vector<std::string> &arguments,
             const std::vector<std::string> &environment)
{
    std::vector<char *> argv, envp;
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : environment)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return child;
}

bool waitFor(const std::function<bool()> &condition)
{
    for (int i = 0; i < 1200; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A program and a working folder whose names are not UTF-8: the lists open in the working
// folder by its bytes, the working files stay in the program's folder (never the user's
// working folder, whose own "tempw.bmp" survives), the texture named on the command line is
// previewed, a temporary that a killed run left is removed at start, and a stop signal saves
// the settings and ends the program by that signal.
TEST(StopSignal, SavesTheSettingsAndEndsAProgramInAFolderThatIsNotUtf8)
{
    QTemporaryDir scratch;
    const fs::path root = scratch.path().toStdString();
    const fs::path program = root / "program\xe9";
    const fs::path start = root / "tiles\xff";
    fs::create_directories(program);
    fs::create_directories(start);
    // QTemporaryDir would remove the folders by names that lose their bytes.
    const auto remove = qScopeGuard([&] {
        std::error_code ignored;
        fs::remove_all(program, ignored);
        fs::remove_all(start, ignored);
    });
    const fs::path built = TESSAVANE_WINDOW_PROGRAM;
    fs::copy_file(built, program / "Tessavane");
    fs::copy_file(built.parent_path() / "libkovar.so", program / "libkovar.so");
    const std::string tile = "030123210321200su.bmp";
    fs::copy_file(fs::path(TESSAVANE_SOURCE_DIR) / "samples" / tile, start / tile);
    std::ofstream(start / "tempw.bmp") << "the user's own file";
    const fs::path stale = program / (".kovar-" + std::to_string(endedProcessId()) + "-1.tmp");
    std::ofstream(stale) << "left by a killed run";

    const std::vector<std::string> environment = {"HOME=" + (root / "home").string(),
                                                  "XDG_CONFIG_HOME=" + (root / "config").string(),
                                                  "XDG_CACHE_HOME=" + (root / "cache").string(),
                                                  "WINEPREFIX=" + (root / "wine").string(),
                                                  "QT_QPA_PLATFORM=offscreen",
                                                  "PATH=/usr/bin:/bin"};
    const pid_t child = launch(start, {(program / "Tessavane").string(), tile}, environment);
    ASSERT_GT(child, 0);
    const bool previewed =
        waitFor([&] { return !fs::exists(stale) && fs::exists(program / "tempf.bmp"); });
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }));
    EXPECT_TRUE(previewed) << "no preview in the program's folder, or the stale file stayed";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;

    std::ifstream mine(start / "tempw.bmp");
    std::string text;
    std::getline(mine, text);
    EXPECT_EQ(text, "the user's own file");
    EXPECT_FALSE(fs::exists(start / "main.bmp"));
    EXPECT_FALSE(fs::exists(program / "tempw.bmp")) << "the close deletes its own";
    EXPECT_TRUE(fs::exists(program / "main.bmp"));

    settings::StoredSettings stored(QString::fromStdString((root / "config/KT/user.reg").string()));
    EXPECT_EQ(stored.sourceFolder(QString()), platform::decodeFileName(start.string()));
    EXPECT_EQ(stored.destinationFolder(QString()), platform::decodeFileName(program.string()));
}

TEST(ErrorBox, ShowsTheMessageWithAFullStopUnderTheTitle)
{
    const platform::Error error("Cannot open folder \"/nowhere\": No such file or directory");
    const auto box = TApplication::makeErrorBox(QStringLiteral("Tessavane"), error);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Tessavane"));
    EXPECT_EQ(box->text(),
              QStringLiteral("Cannot open folder \"/nowhere\": No such file or directory."));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(ErrorBox, ShowsFolderNamesThatLookLikeMarkupAsWritten)
{
    const platform::Error error(
        "Cannot open folder \"/t/<b>old</b> tiles/<i>tiles\": Permission denied");
    const auto box = TApplication::makeErrorBox(QStringLiteral("Tessavane"), error);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(
        label->text(),
        QStringLiteral("Cannot open folder \"/t/<b>old</b> tiles/<i>tiles\": Permission denied."));
}

TEST(ProgramFolder, ExecutableFolderWhenWritableElseThePerUserCache)
{
    QTemporaryDir root;
    EXPECT_EQ(chooseProgramFolder(root.path()), root.path() + QLatin1Char('/'));

    qputenv("XDG_CACHE_HOME", (root.path() + QStringLiteral("/cache")).toUtf8());
    EXPECT_EQ(chooseProgramFolder(QStringLiteral("/proc/sys")),
              root.path() + QStringLiteral("/cache/tessavane/"));
    EXPECT_TRUE(QDir(root.path() + QStringLiteral("/cache/tessavane")).exists());
    qunsetenv("XDG_CACHE_HOME");
}

TEST(ProgramFolder, AnUnknownOrRelativeFolderGivesTheCacheNeverTheWorkingFolder)
{
    QTemporaryDir root;
    qputenv("XDG_CACHE_HOME", (root.path() + QStringLiteral("/cache")).toUtf8());
    for (const QString &folder : {QString(), QStringLiteral("."), QStringLiteral("bin")})
        EXPECT_EQ(chooseProgramFolder(folder), root.path() + QStringLiteral("/cache/tessavane/"))
            << folder.toStdString();
    qunsetenv("XDG_CACHE_HOME");
}

TEST(DestinationFolder, TheProgramFolderWhenItIsTheExecutablesElseTessavaneInThePictures)
{
    QTemporaryDir root;
    EXPECT_EQ(chooseDestinationFolder(root.path() + QLatin1Char('/'), root.path()),
              root.path() + QLatin1Char('/'));
    // An installed program keeps its working files in the cache, its sets elsewhere.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", root.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toUtf8());
    const QString destination = chooseDestinationFolder(
        root.path() + QStringLiteral("/.cache/tessavane/"), QStringLiteral("/usr/bin"));
    EXPECT_EQ(destination, root.path() + QStringLiteral("/Pictures/Tessavane"));
    qputenv("HOME", home);
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(ProgramFolder, AnInstalledProgramUsesTheCacheEvenWhenItsFolderIsWritable)
{
    // <prefix>/bin beside the library in its private folder, as the install rules lay it out.
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("prefix/bin"));
    QDir(root.path()).mkpath(QStringLiteral("prefix/" TESSAVANE_PRIVATE_LIBDIR));
    QFile library(root.path() + QStringLiteral("/prefix/" TESSAVANE_PRIVATE_LIBDIR "/libkovar.so"));
    ASSERT_TRUE(library.open(QIODevice::WriteOnly));
    library.close();
    const QString bin = root.path() + QStringLiteral("/prefix/bin");

    qputenv("XDG_CACHE_HOME", (root.path() + QStringLiteral("/cache")).toUtf8());
    EXPECT_EQ(chooseProgramFolder(bin), root.path() + QStringLiteral("/cache/tessavane/"));
    EXPECT_TRUE(QDir(bin).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    qunsetenv("XDG_CACHE_HOME");

    // Without XDG_CACHE_HOME the cache is ~/.cache.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", root.path().toUtf8());
    EXPECT_EQ(chooseProgramFolder(bin), root.path() + QStringLiteral("/.cache/tessavane/"));
    qputenv("HOME", home);
}

TEST_F(FormFixture, ClosingTheWindowEndsTheProgramWithCodeZero)
{
    QTimer::singleShot(0, [] {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (qobject_cast<TForm1 *>(window))
                window->close();
    });
    EXPECT_EQ(runTessavane(environment), 0);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(QFile::exists(environment.settingsFile));
}

TEST_F(FormFixture, StartedInAFolderThatCannotBeListedTheWindowOpensOnTheStoredFolders)
{
    const QString source = copySamples(QStringLiteral("source"), 2);
    const QString destination = path(QStringLiteral("out"));
    QDir().mkpath(destination);
    writeSettings(QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2\"\n")
                      .arg(source, destination));
    const QString previous = QDir::currentPath();
    const QString start = path(QStringLiteral("start"));
    // A deleted folder for everyone; one that can be entered but not listed where
    // permissions hold (not for root).
    QList<bool> deleted = {true};
    if (geteuid() != 0)
        deleted << false;
    for (bool gone : deleted) {
        ASSERT_TRUE(QDir().mkpath(start));
        ASSERT_TRUE(QDir::setCurrent(start));
        if (gone)
            ASSERT_TRUE(QDir().rmdir(start));
        else
            ASSERT_TRUE(QFile::setPermissions(start, QFileDevice::ExeOwner));
        QStringList shown;
        int listed = -1;
        QTimer::singleShot(0, [&] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (auto *main = qobject_cast<TForm1 *>(window)) {
                    shown << main->DirectoryListBox1->Directory()
                          << main->DirectoryListBox2->Directory() << main->destinationFolder();
                    listed = main->FileListBox1->count();
                    main->close();
                }
            }
        });
        EXPECT_EQ(runTessavane(environment), 0);
        QDir::setCurrent(previous);
        QFile::setPermissions(start, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner);
        QDir().rmdir(start);
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        EXPECT_EQ(shown, QStringList({source, destination, destination})) << gone;
        EXPECT_EQ(listed, 2) << gone;
        errors.clear();
    }
}

TEST_F(FormFixture, FailedStartShowsTheErrorAndReturnsZero)
{
    writeSettings(QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Fall\"=hex:01,02\n"));
    EXPECT_EQ(runTessavane(environment), 0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first(), QStringLiteral("Invalid data type for 'Fall'"));
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeWindow());
}

TEST_F(FormFixture, AboutButtonShowsTheDialogWithTheHelpTextEachTime)
{
    TForm1 &window = makeForm();
    TAboutForm dialog;
    window.AboutForm = &dialog;
    QStringList shown;
    window.showAboutModal = [&](TAboutForm &form) { shown << form.helpText(); };
    window.about->click();
    dialog.setHelpText(QString());
    window.about->click();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], shown[1]);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral(
        "Program for creating variably 'seasoned' textures from photoreal textures in FS2004\n\n"
        "Double-click a season image to save individually\n\n")));
}

} // namespace
