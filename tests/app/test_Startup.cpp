// Start-up and the end of the program: the error box, the program folder, the exit code.
#include "FormFixture.h"

#include "about/AboutForm.h"
#include "app/Application.h"
#include "app/Startup.h"
#include "platform/Error.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <unistd.h>

namespace {

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

TEST(ProgramFolder, AnInstalledProgramUsesTheCacheEvenWhenItsFolderIsWritable)
{
    // <prefix>/bin beside <prefix>/lib/tessavane/libkovar.so, as the install rules lay it out.
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("prefix/bin"));
    QDir(root.path()).mkpath(QStringLiteral("prefix/lib/tessavane"));
    QFile library(root.path() + QStringLiteral("/prefix/lib/tessavane/libkovar.so"));
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
