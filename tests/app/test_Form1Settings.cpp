// The window's construction and closing steps: FS2004 lookup, restoring and saving the two
// folders and the two adjustments, deleting the season working files.
#include "FormFixture.h"

#include "controls/NumEdit.h"

#include <QCloseEvent>

namespace {

const char *kHeader = "Windows Registry Editor Version 5.00\n\n";

TEST_F(FormFixture, NoFs2004AndNoSettingsGiveTheDefaults)
{
    TForm1 &window = makeForm();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(window.NumEdit1->text(), QStringLiteral("70"));
    EXPECT_EQ(window.NumEdit2->text(), QStringLiteral("12"));
    EXPECT_EQ(window.DirectoryListBox1->Directory(), QDir::currentPath());
    EXPECT_EQ(window.DirectoryListBox2->Directory(), path(QStringLiteral("program")));
    EXPECT_EQ(window.destinationFolder(), window.DirectoryListBox2->Directory());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FormFixture, Fs2004UnderWineGivesTheSourceFolder)
{
    const QString texture = path(QStringLiteral("wine/drive_c/FS9/Scenery/World/texture"));
    QDir().mkpath(texture);
    QDir().mkpath(path(QStringLiteral("wine/dosdevices")));
    QFile::link(path(QStringLiteral("wine/drive_c")), path(QStringLiteral("wine/dosdevices/c:")));
    QFile reg(path(QStringLiteral("wine/system.reg")));
    ASSERT_TRUE(reg.open(QIODevice::WriteOnly));
    reg.write("WINE REGISTRY Version 2\n\n"
              "[Software\\\\Microsoft\\\\Microsoft Games\\\\Flight Simulator\\\\9.0] 1700000000\n"
              "\"EXE path\"=\"C:\\\\FS9\"\n");
    reg.close();

    TForm1 &window = makeForm();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(window.DirectoryListBox1->Directory(), texture);
    EXPECT_EQ(window.FileListBox1->Directory(), texture);
}

TEST_F(FormFixture, StoredValuesAreRestored)
{
    const QString source = copySamples(QStringLiteral("source"), 1);
    QDir().mkpath(path(QStringLiteral("out")));
    writeSettings(QString::fromLatin1(kHeader) +
                  QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2\"\n"
                                 "\"Winter\"=\"0x20\"\n\"Fall\"=\"$5\"\n")
                      .arg(source, path(QStringLiteral("out"))));
    TForm1 &window = makeForm();
    EXPECT_EQ(window.DirectoryListBox1->Directory(), source);
    EXPECT_EQ(window.FileListBox1->count(), 1);
    EXPECT_TRUE(window.FileListBox1->FileName().isEmpty()); // no preview at start-up
    EXPECT_EQ(window.destinationFolder(), path(QStringLiteral("out")));
    EXPECT_EQ(window.NumEdit1->text(), QStringLiteral("32"));
    EXPECT_EQ(window.NumEdit2->text(), QStringLiteral("5"));
}

TEST_F(FormFixture, StoredFolderThatIsGoneLeavesBothListsWhereTheyStarted)
{
    QDir().mkpath(path(QStringLiteral("out")));
    writeSettings(QString::fromLatin1(kHeader) +
                  QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2\"\n\"Winter\"=\"abc\"\n")
                      .arg(path(QStringLiteral("gone")), path(QStringLiteral("out"))));
    TForm1 &window = makeForm();
    EXPECT_EQ(window.DirectoryListBox1->Directory(), QDir::currentPath());
    EXPECT_EQ(window.DirectoryListBox2->Directory(), QDir::currentPath());
    EXPECT_EQ(window.destinationFolder(), QDir::currentPath());
    EXPECT_EQ(window.NumEdit1->text(), QStringLiteral("70"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FormFixture, StoredValueOfAnotherTypeEndsTheStartUp)
{
    writeSettings(QString::fromLatin1(kHeader) +
                  QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Winter\"=dword:00000020\n"));
    try {
        makeForm();
        FAIL() << "the window was built";
    } catch (const std::exception &error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Winter'");
    }
}

TEST_F(FormFixture, CloseWritesTruncatedValuesAndDeletesSeasonFiles)
{
    TForm1 &window = makeForm();
    QFile(path(QStringLiteral("program/tempw.bmp"))).open(QIODevice::WriteOnly);
    QFile(path(QStringLiteral("program/tempf.bmp"))).open(QIODevice::WriteOnly);
    QFile(path(QStringLiteral("program/main.bmp"))).open(QIODevice::WriteOnly);
    window.NumEdit1->setAllowDecimal(true);
    window.NumEdit2->setAllowDecimal(true);
    window.NumEdit1->setText(QStringLiteral("70.9"));
    window.NumEdit2->setText(QStringLiteral("-3.7"));

    EXPECT_TRUE(window.close());
    const QString stored = readSettings();
    EXPECT_TRUE(stored.contains(QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]")));
    EXPECT_TRUE(stored.contains(QStringLiteral("\"Winter\"=\"70\"")));
    EXPECT_TRUE(stored.contains(QStringLiteral("\"Fall\"=\"-3\"")));
    EXPECT_TRUE(stored.contains(
        QStringLiteral("\"Texture1\"=\"%1\"").arg(path(QStringLiteral("program")))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("program/tempw.bmp"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("program/tempf.bmp"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("program/main.bmp"))));
}

TEST_F(FormFixture, TwoRunsInARowLeaveTheStoreAsTheFirstWroteIt)
{
    copySamples(QStringLiteral("source"), 1);
    QDir().mkpath(path(QStringLiteral("out")));
    writeSettings(QString::fromLatin1(kHeader) +
                  QStringLiteral("; kept\n[HKEY_CURRENT_USER\\Software\\Other]\n\"x\"=\"y\"\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Texture1\"=\"%2/\"\n")
                      .arg(path(QStringLiteral("source")), path(QStringLiteral("out"))));
    makeForm().close();
    form.reset();
    const QString first = readSettings();
    EXPECT_TRUE(first.contains(QStringLiteral("; kept")));
    EXPECT_TRUE(first.contains(QStringLiteral("\"x\"=\"y\"")));
    // The destination is stored as the list keeps it: no trailing separator.
    EXPECT_TRUE(
        first.contains(QStringLiteral("\"Texture1\"=\"%1\"\n").arg(path(QStringLiteral("out")))));
    makeForm().close();
    EXPECT_EQ(readSettings(), first);
}

TEST_F(FormFixture, UnwritableStoreKeepsTheWindowOpen)
{
    TForm1 &window = makeForm();
    // The settings file's folder is taken by a plain file: the store cannot be written.
    QDir(path(QStringLiteral("config"))).removeRecursively();
    QFile blocker(path(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile(path(QStringLiteral("program/tempw.bmp"))).open(QIODevice::WriteOnly);

    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().startsWith(QStringLiteral("Failed to create key Frostane")) ||
                errors.first().startsWith(QStringLiteral("Failed to set data for")))
        << errors.first().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("program/tempw.bmp"))));

    // Once the store can be written again, closing starts over and succeeds.
    QFile::remove(path(QStringLiteral("config")));
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("program/tempw.bmp"))));
}

} // namespace
