// The window's construction and closing steps: FS2004 lookup, restoring and saving the two
// folders and the two adjustments, deleting the season working files.
#include "FormFixture.h"

#include "controls/NumEdit.h"

#include <QCloseEvent>
#include <QMap>
#include <QStringDecoder>

namespace {

const char *kHeader = "Windows Registry Editor Version 5.00\n\n";

// What regedit imports from a .reg file, written independently of the program's own reader:
// the text values of the file's keys by name. A file with a UTF-16LE byte-order mark is
// Unicode, and its hex(1) data UTF-16LE; any other file is read byte by byte in the ANSI
// code page (here its Latin-1 part), its hex(1) data as ANSI up to the first zero.
QMap<QString, QString> importAsRegedit(const QByteArray &bytes)
{
    const bool unicode = bytes.startsWith("\xff\xfe");
    const QString text = unicode ? QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2))
                                 : QString::fromLatin1(bytes);
    QStringList lines;
    QString pending;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        pending += line.trimmed();
        if (pending.endsWith(u'\\') && pending.contains(QLatin1String("=hex"))) {
            pending.chop(1);
            continue;
        }
        lines << pending;
        pending.clear();
    }
    QMap<QString, QString> values;
    for (const QString &line : lines) {
        if (!line.startsWith(u'"'))
            continue;
        const qsizetype equals = line.indexOf(QLatin1String("\"="));
        const QString name = line.mid(1, equals - 1);
        const QString data = line.mid(equals + 2);
        if (data.startsWith(u'"')) {
            QString value;
            for (qsizetype i = 1; i + 1 < data.size(); ++i) {
                if (data[i] == u'\\' && (data[i + 1] == u'\\' || data[i + 1] == u'"'))
                    ++i;
                value += data[i];
            }
            values[name] = value;
        } else if (data.startsWith(QLatin1String("hex(1):"))) {
            QByteArray raw;
            for (const QString &byte : data.mid(7).split(u',', Qt::SkipEmptyParts))
                raw.append(char(byte.toInt(nullptr, 16)));
            QString value =
                unicode ? QStringDecoder(QStringDecoder::Utf16LE)(raw) : QString::fromLatin1(raw);
            values[name] = value.left(value.indexOf(QChar(0)));
        }
    }
    return values;
}

QByteArray fileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

TEST_F(FormFixture, StoredFoldersImportIntoRegeditAsTheyAre)
{
    const QString umlauts = path(QStringLiteral("Gr\u00f6\u00dfe \u00d6sterreich"));
    const QString lineBreak = path(QStringLiteral("two\nlines \u00e9"));
    ASSERT_TRUE(QDir().mkpath(umlauts));
    ASSERT_TRUE(QDir().mkpath(lineBreak));
    TForm1 &window = makeForm();
    window.DirectoryListBox1->setDirectory(umlauts);
    window.DirectoryListBox2->setDirectory(lineBreak);
    ASSERT_TRUE(window.close());
    form.reset();

    const QMap<QString, QString> imported = importAsRegedit(fileBytes(environment.settingsFile));
    EXPECT_EQ(imported.value(QStringLiteral("Texture")), umlauts);
    EXPECT_EQ(imported.value(QStringLiteral("Texture1")), lineBreak);
    EXPECT_EQ(imported.value(QStringLiteral("Winter")), QStringLiteral("70"));
    // And the next start restores both.
    TForm1 &again = makeForm();
    EXPECT_EQ(again.DirectoryListBox1->Directory(), umlauts);
    EXPECT_EQ(again.DirectoryListBox2->Directory(), lineBreak);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormFixture, Regedit4SettingsAreReadAndKeepTheirForm)
{
    const QString source = path(QStringLiteral("Gr\u00f6\u00dfe"));
    ASSERT_TRUE(QDir().mkpath(source));
    QDir().mkpath(path(QStringLiteral("config/KT")));
    QFile file(environment.settingsFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n\"Texture\"=\"" +
               path(QStringLiteral("Gr")).toLatin1() +
               "\xf6\xdf"
               "e\"\r\n\"Winter\"=\"33\"\r\n");
    file.close();

    TForm1 &window = makeForm();
    EXPECT_EQ(window.DirectoryListBox1->Directory(), source);
    EXPECT_EQ(window.NumEdit1->text(), QStringLiteral("33"));
    window.NumEdit1->setText(QStringLiteral("40"));
    ASSERT_TRUE(window.close());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    const QByteArray stored = fileBytes(environment.settingsFile);
    EXPECT_TRUE(stored.startsWith("REGEDIT4\r\n\r\n")) << stored.toStdString();
    const QMap<QString, QString> imported = importAsRegedit(stored);
    EXPECT_EQ(imported.value(QStringLiteral("Texture")), source);
    EXPECT_EQ(imported.value(QStringLiteral("Winter")), QStringLiteral("40"));
    EXPECT_EQ(imported.value(QStringLiteral("Fall")), QStringLiteral("12"));
}

// A folder name the code page cannot hold: the close goes through, the file is written anew
// in the Unicode form with everything in it kept, and the user is told once.
TEST_F(FormFixture, Regedit4SettingsWithAFolderOutsideTheCodePageAreWrittenAnewInUnicode)
{
    const QString source = path(QStringLiteral("\u0141\u00f3d\u017a"));
    ASSERT_TRUE(QDir().mkpath(source));
    QDir().mkpath(path(QStringLiteral("config/KT")));
    QFile file(environment.settingsFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n\"Winter\"=\"33\"\r\n"
        "\"Mine\"=\"Gr\xf6\xdf"
        "e\"\r\n");
    file.close();

    TForm1 &window = makeForm();
    window.DirectoryListBox1->setDirectory(source);
    ASSERT_TRUE(window.close()) << errors.join('\n').toStdString();
    ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Windows Registry Editor Version 5.00")))
        << errors[0].toStdString();

    const QByteArray stored = fileBytes(environment.settingsFile);
    EXPECT_TRUE(stored.startsWith("\xff\xfe")) << "regedit's Unicode export form";
    const QMap<QString, QString> imported = importAsRegedit(stored);
    EXPECT_EQ(imported.value(QStringLiteral("Texture")), source);
    EXPECT_EQ(imported.value(QStringLiteral("Winter")), QStringLiteral("33"));
    EXPECT_EQ(imported.value(QStringLiteral("Mine")), QStringLiteral("Gr\u00f6\u00dfe"));

    // The next start reads it back and the next close says nothing more.
    form.reset();
    errors.clear();
    TForm1 &again = makeForm();
    EXPECT_EQ(again.DirectoryListBox1->Directory(), source);
    ASSERT_TRUE(again.close());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(FormFixture, SettingsAboveAKeyDeletionAreGoneAndAreWrittenAnewAfterIt)
{
    const QString source = copySamples(QStringLiteral("source"), 1);
    writeSettings(QString::fromLatin1(kHeader) +
                  QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                                 "\"Texture\"=\"%1\"\n\"Winter\"=\"33\"\n\n"
                                 "[-HKEY_CURRENT_USER\\Software\\KT]\n")
                      .arg(source));
    TForm1 &window = makeForm();
    EXPECT_EQ(window.DirectoryListBox1->Directory(), QDir::currentPath());
    EXPECT_EQ(window.NumEdit1->text(), QStringLiteral("70"));
    window.NumEdit1->setText(QStringLiteral("50"));
    ASSERT_TRUE(window.close());
    form.reset();

    const QString stored = readSettings();
    const qsizetype deletion = stored.indexOf(QStringLiteral("[-HKEY_CURRENT_USER\\Software\\KT]"));
    ASSERT_GE(deletion, 0);
    EXPECT_GT(stored.lastIndexOf(QStringLiteral("[HKEY_CURRENT_USER\\Software\\KT\\Frostane]")),
              deletion);
    EXPECT_GT(stored.lastIndexOf(QStringLiteral("\"Winter\"=\"50\"")), deletion);
    EXPECT_EQ(makeForm().NumEdit1->text(), QStringLiteral("50"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
