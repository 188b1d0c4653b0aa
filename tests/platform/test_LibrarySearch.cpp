// Bare library names resolved through ordered folders, and the loader's configuration files.
#include "platform/LibrarySearch.h"

#include "platform/FileNames.h"
#include "platform/InstallLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <sys/stat.h>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

void writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(LibraryFileNames, DllNamesAlsoMatchTheirSharedObject)
{
    EXPECT_EQ(platform::libraryFileNames("kovar.dll"), (QStringList{"kovar.dll", "libkovar.so"}));
    EXPECT_EQ(platform::libraryFileNames("KTDDS.DLL"), (QStringList{"KTDDS.DLL", "libKTDDS.so"}));
    for (const char *name : {"libz.so", ".dll", "kovar.dll.bak"})
        EXPECT_EQ(platform::libraryFileNames(name), QStringList{name});
}

class FindLibrary : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString folder(const char *name) const { return root.filePath(QString::fromLatin1(name)); }

    QTemporaryDir root;
};

TEST_F(FindLibrary, TheFirstFolderHoldingTheFileWins)
{
    touch(folder("b/ktace.dll"));
    touch(folder("c/ktace.dll"));
    const QStringList folders{folder("a"), folder("b"), folder("c")};
    EXPECT_EQ(platform::findLibrary(QStringLiteral("ktace.dll"), folders), folder("b/ktace.dll"));
}

TEST_F(FindLibrary, EachFolderIsSearchedForBothNamesBeforeTheNext)
{
    touch(folder("a/libkovar.so"));
    touch(folder("b/kovar.dll"));
    EXPECT_EQ(platform::findLibrary(QStringLiteral("kovar.dll"), {folder("a"), folder("b")}),
              folder("a/libkovar.so"));
    touch(folder("a/kovar.dll"));
    EXPECT_EQ(platform::findLibrary(QStringLiteral("kovar.dll"), {folder("a"), folder("b")}),
              folder("a/kovar.dll"));
}

TEST_F(FindLibrary, MissingLibrariesAndFoldersGiveNothing)
{
    touch(folder("a/kovar24.dll"));
    EXPECT_TRUE(
        platform::findLibrary(QStringLiteral("kttwack.dll"), {folder("missing"), folder("a")})
            .isEmpty());
    QDir().mkpath(folder("a/ktpng.dll")); // a folder of that name is no library
    EXPECT_TRUE(platform::findLibrary(QStringLiteral("ktpng.dll"), {folder("a")}).isEmpty());
}

TEST_F(FindLibrary, OnlyBareNamesAreLookedUp)
{
    touch(folder("a/sub/kovar.dll"));
    touch(folder("kovar.dll"));
    const QStringList folders{folder("a")};
    for (const char *name : {"sub/kovar.dll", "../kovar.dll", "sub\\kovar.dll", "", ".", ".."})
        EXPECT_TRUE(platform::findLibrary(QString::fromLatin1(name), folders).isEmpty()) << name;
}

TEST(LibrarySearchFolders, ProgramThenLoaderPathThenSystemThenPathEachOnce)
{
    const QStringList folders = platform::librarySearchFolders(
        QStringLiteral("/p"), QStringLiteral("/l1::/l2:"),
        {QStringLiteral("/s1"), QStringLiteral("/l1")}, QStringLiteral("/b1:/p:/b2"));
    EXPECT_EQ(folders, (QStringList{"/p", "/l1", "/l2", "/s1", "/b1", "/b2"}));
}

TEST_F(FindLibrary, AnInstalledProgramFindsItsLibraryInThePrivateFolder)
{
    // <prefix>/bin with the library in its private folder (<prefix>/lib/tessavane, or
    // <prefix>/lib/<triplet>/tessavane on a multiarch system), as "cmake --install" leaves it.
    const QString bin = folder("prefix/bin");
    QDir().mkpath(bin);
    EXPECT_FALSE(platform::isInstalledProgramFolder(bin)); // no library anywhere
    const QString privateFolder = platform::privateLibraryFolder(bin);
    EXPECT_EQ(privateFolder, folder("prefix/" TESSAVANE_PRIVATE_LIBDIR));
    touch(privateFolder + QStringLiteral("/libkovar.so"));
    EXPECT_TRUE(platform::isInstalledProgramFolder(bin));
    EXPECT_EQ(platform::findLibrary(QStringLiteral("kovar.dll"), {bin, privateFolder}),
              privateFolder + QStringLiteral("/libkovar.so"));

    // A library beside the program (the build tree, a self-contained copy) wins.
    touch(bin + QStringLiteral("/libkovar.so"));
    EXPECT_FALSE(platform::isInstalledProgramFolder(bin));
    EXPECT_FALSE(platform::isInstalledProgramFolder(bin + QStringLiteral("/libkovar.so")));
    EXPECT_EQ(platform::findLibrary(QStringLiteral("kovar.dll"), {bin, privateFolder}),
              bin + QStringLiteral("/libkovar.so"));
}

TEST_F(FindLibrary, AFolderNamedInLatin1FindsItsLibraryByBytes)
{
    const QByteArray bytes = QFile::encodeName(root.path()) + "/Sc\xe8nes";
    ASSERT_EQ(::mkdir(bytes.constData(), 0700), 0);
    FILE *file = std::fopen((bytes + "/libkovar.so").constData(), "wb");
    ASSERT_TRUE(file);
    std::fclose(file);
    const QString folder = platform::decodeFileName(bytes);
    EXPECT_EQ(platform::findLibrary(QStringLiteral("kovar.dll"), {folder}),
              folder + QStringLiteral("/libkovar.so"));
}

TEST(LibrarySearchFolders, TheRunningProgramAlsoSearchesItsPrivateFolder)
{
    const QStringList folders = platform::librarySearchFolders();
    ASSERT_GE(folders.size(), 2);
    EXPECT_TRUE(folders.contains(platform::privateLibraryFolder(folders.first())));
}

TEST(SystemLibraryFolders, FollowsIncludesAndEndsWithTheDefaultFolders)
{
    QTemporaryDir root;
    const QString conf = root.filePath(QStringLiteral("ld.so.conf"));
    writeText(conf, "# the loader's folders\n"
                    "/opt/first/lib   # trailing comment\n"
                    "include conf.d/*.conf\n"
                    "hwcap 0 nosegneg\n"
                    "/opt/last/lib\n");
    writeText(root.filePath(QStringLiteral("conf.d/b.conf")), "/opt/b/lib\n");
    writeText(root.filePath(QStringLiteral("conf.d/a.conf")),
              "/opt/a/lib:/opt/a/lib64\ninclude " +
                  root.filePath(QStringLiteral("loop.conf")).toUtf8() + "\n");
    writeText(root.filePath(QStringLiteral("conf.d/ignored.txt")), "/opt/ignored\n");
    // A file that includes itself must not hang the reader.
    writeText(root.filePath(QStringLiteral("loop.conf")),
              "/opt/loop/lib\ninclude " + root.filePath(QStringLiteral("loop.conf")).toUtf8() +
                  "\n");

    EXPECT_EQ(platform::systemLibraryFolders(conf),
              (QStringList{"/opt/first/lib", "/opt/a/lib", "/opt/a/lib64", "/opt/loop/lib",
                           "/opt/b/lib", "/opt/last/lib", "/lib", "/usr/lib"}));
}

TEST(SystemLibraryFolders, AMissingFileGivesTheDefaultFolders)
{
    EXPECT_EQ(platform::systemLibraryFolders(QStringLiteral("/nonexistent/ld.so.conf")),
              (QStringList{"/lib", "/usr/lib"}));
}

} // namespace
