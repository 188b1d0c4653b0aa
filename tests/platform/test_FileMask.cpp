// Wildcard matching and the listing of matching plain files in a folder.
#include "platform/Error.h"
#include "platform/FileMask.h"
#include "platform/FileNames.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSummer = QStringLiteral("???????????????su.bmp");

struct MaskCase
{
    const char *name;
    const char *mask;
    bool matches;
};

TEST(FileMask, Matches)
{
    for (const MaskCase &c :
         {MaskCase{"012345678901234su.bmp", "???????????????su.bmp", true},
          MaskCase{"ABCDEFGHIJKLMNOSU.BMP", "???????????????su.bmp", true},
          MaskCase{"01234567890123su.bmp", "???????????????su.bmp", false},
          MaskCase{"0123456789012345su.bmp", "???????????????su.bmp", false},
          MaskCase{"012345678901234fa.bmp", "???????????????su.bmp", false},
          MaskCase{"ÄÖÜäöüßéèàçñøåæsu.bmp", "???????????????su.bmp", true},
          MaskCase{"\xF0\x9F\x8C\xB2", "?", true}, // one character, two UTF-16 units
          MaskCase{"", "*", true}, MaskCase{"a", "", false},
          MaskCase{"tile.bmp.png", "*.bmp", false}, MaskCase{"abcabcx", "*abcx", true},
          MaskCase{"aXbX", "a*b*c", false}, MaskCase{"*ab", "*b", true}})
        EXPECT_EQ(platform::matchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)),
                  c.matches)
            << c.name << " against " << c.mask;
}

TEST(FileMask, ListsMatchingPlainVisibleFilesSortedWithoutCase)
{
    QTemporaryDir dir;
    const auto native = [&](const char *name) { return QFile::encodeName(dir.filePath(name)); };
    for (const char *name :
         {"bbbbbbbbbbbbbbbsu.bmp", "aaaaaaaaaaaaaabsu.bmp", "AAAAAAAAAAAAAAASU.BMP",
          "ddddddddddddddsu.bmp", "fffffffffffffffa.bmp", ".hhhhhhhhhhhhhhsu.bmp"})
        ASSERT_TRUE(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    ASSERT_EQ(mkdir(native("iiiiiiiiiiiiiiisu.bmp"), 0700), 0);
    ASSERT_EQ(symlink("missing", native("jjjjjjjjjjjjjjjsu.bmp")), 0);
    ASSERT_EQ(symlink("bbbbbbbbbbbbbbbsu.bmp", native("kkkkkkkkkkkkkkksu.bmp")), 0);
    ASSERT_EQ(mkfifo(native("lllllllllllllllsu.bmp"), 0600), 0);

    const QStringList expected = {"AAAAAAAAAAAAAAASU.BMP", "aaaaaaaaaaaaaabsu.bmp",
                                  "bbbbbbbbbbbbbbbsu.bmp", "kkkkkkkkkkkkkkksu.bmp"};
    EXPECT_EQ(platform::listMatchingFiles(dir.path(), kSummer), expected);
}

TEST(FileMask, UnreadableFolderNamesFolderAndReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile(dir.filePath("plain")).open(QIODevice::WriteOnly));
    for (const auto &[name, reason] : {std::pair{"missing", "No such file or directory"},
                                       std::pair{"plain", "Not a directory"}}) {
        const QString folder = dir.filePath(name);
        try {
            platform::listMatchingFiles(folder, kSummer);
            ADD_FAILURE() << "no error for " << name;
        } catch (const platform::Error &error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_TRUE(message.contains(u'"' + folder + u'"')) << error.what();
            EXPECT_TRUE(message.contains(QLatin1String(reason))) << error.what();
        }
    }
}

} // namespace

namespace {

// Every byte string comes back from decodeFileName as itself; valid UTF-8 decodes as UTF-8,
// and each byte outside it (overlong forms, surrogates, beyond U+10FFFF, cut sequences) is one
// character, shown as its Latin-1 letter or U+FFFD.
TEST(FileNames, EveryByteStringRoundTrips)
{
    const struct
    {
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", QString::fromUtf8("café")},
        {"caf\xE9", QString::fromUtf8("café")},
        {"\xFF\xFE", QString::fromUtf8("ÿþ")},
        {"\xC0\x80", QString::fromUtf8("À\uFFFD")},
        {"\xED\xA0\x80", QString::fromUtf8("í\u00A0\uFFFD")},
        {"\xF4\x90\x80\x80", QString::fromUtf8("ô\uFFFD\uFFFD\uFFFD")},
        {"\xE2\x82", QString::fromUtf8("â\uFFFD")},
        {"\xF0\x9F\x98\x80x", QString::fromUtf8("😀x")},
    };
    for (const auto &c : cases) {
        const QString name = platform::decodeFileName(c.bytes);
        EXPECT_EQ(platform::encodeFileName(name), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(platform::displayFileName(name), c.shown) << c.bytes.toHex().constData();
    }
    EXPECT_EQ(platform::decodeFileName("caf\xE9").size(), 4);
}

// The listing gives names that open, however their bytes are.
TEST(FileNames, ListedNamesOpen)
{
    QTemporaryDir dir;
    const QByteArray native = QFile::encodeName(dir.path()) + "/\xE9t\xE9";
    ASSERT_EQ(::mkdir(native.constData(), 0700), 0);
    const QStringList folders = platform::listSubfolders(dir.path());
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(::access(platform::toNativePath(dir.path() + u'/' + folders[0]).c_str(), X_OK), 0);
}

} // namespace
