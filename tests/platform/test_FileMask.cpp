// Wildcard matching and the listing of matching plain files in a folder.
#include "platform/Error.h"
#include "platform/FileMask.h"

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
