// Shortcut files built here in the Shell Link binary format, damaged ones, and the mapping of
// their Windows paths through a Wine prefix.
#include "platform/ShellLink.h"

#include "ShellLinkFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

#include <functional>
#include <random>

namespace {

using namespace fixtures;

LinkOptions viewerLink()
{
    LinkOptions o;
    o.ansiBase = "C:\\Tools\\";
    o.ansiSuffix = "Viewer.exe";
    o.name = QStringLiteral("Image viewer");
    o.relativePath = QStringLiteral(".\\Tools\\Viewer.exe");
    o.workingDir = QStringLiteral("C:\\Tools");
    return o;
}

TEST(ShellLink, ReadsLocalBasePathSuffixAndWorkingFolder)
{
    QString error;
    const auto link =
        platform::parseShellLink(buildLink(viewerLink()), QStringLiteral("v.lnk"), &error);
    ASSERT_TRUE(link) << error.toStdString();
    EXPECT_EQ(link->targetPath, QStringLiteral("C:\\Tools\\Viewer.exe"));
    EXPECT_EQ(link->workingFolder, QStringLiteral("C:\\Tools"));
    EXPECT_EQ(link->relativePath, QStringLiteral(".\\Tools\\Viewer.exe"));
}

TEST(ShellLink, SkipsTheItemIdList)
{
    LinkOptions o = viewerLink();
    o.idList = true;
    const auto link = platform::parseShellLink(buildLink(o), QStringLiteral("v.lnk"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, QStringLiteral("C:\\Tools\\Viewer.exe"));
}

TEST(ShellLink, PrefersTheUtf16PathsOfTheLinkInformation)
{
    LinkOptions o = viewerLink();
    o.ansiBase = "C:\\Donn?es\\";
    o.ansiSuffix = "?diteur.exe";
    o.unicodeBase = QStringLiteral("C:\\Données\\");
    o.unicodeSuffix = QStringLiteral("Éditeur ✓.exe");
    const auto link = platform::parseShellLink(buildLink(o), QStringLiteral("v.lnk"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, QStringLiteral("C:\\Données\\Éditeur ✓.exe"));
}

TEST(ShellLink, DecodesEightBitTextInTheWindowsCodePage)
{
    LinkOptions o = viewerLink();
    o.ansiBase = "C:\\Prix\x80\\";
    o.unicodeStrings = false;
    o.workingDir = QStringLiteral("C:\\Donn\u00e9es");
    const auto link = platform::parseShellLink(buildLink(o), QStringLiteral("v.lnk"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, QStringLiteral("C:\\Prix€\\Viewer.exe"));
    EXPECT_EQ(link->workingFolder, QStringLiteral("C:\\Données"));
}

TEST(ShellLink, EveryTruncationFailsCleanly)
{
    LinkOptions o = viewerLink();
    o.idList = true;
    const QByteArray whole = buildLink(o);
    for (qsizetype length = 0; length < whole.size(); ++length)
        EXPECT_FALSE(platform::parseShellLink(whole.left(length), QStringLiteral("v.lnk")))
            << "cut at " << length;
}

struct Damage
{
    const char *name;
    std::function<void(QByteArray &)> apply;
};

void PrintTo(const Damage &d, std::ostream *os)
{
    *os << d.name;
}

class DamagedLink : public ::testing::TestWithParam<Damage>
{};

TEST_P(DamagedLink, FailsWithAReasonNamingTheLink)
{
    QByteArray data = buildLink(viewerLink());
    GetParam().apply(data);
    QString error;
    EXPECT_FALSE(platform::parseShellLink(data, QStringLiteral("Editor.lnk"), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the shortcut \"Editor.lnk\": ")))
        << error.toStdString();
}

constexpr qsizetype linkInfo = 0x4C;

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedLink,
    ::testing::Values(Damage{"WrongHeaderSize", [](QByteArray &d) { d[0] = 0x4D; }},
                      Damage{"WrongClassId", [](QByteArray &d) { d[4] = 0x02; }},
                      Damage{"LinkInfoPastEnd", [](QByteArray &d) { d[linkInfo + 1] = 0x70; }},
                      Damage{"BasePathOutsideLinkInfo",
                             [](QByteArray &d) { d[linkInfo + 16] = char(0xF0); }},
                      Damage{"UnterminatedBasePath",
                             [](QByteArray &d) {
                                 // The link information ends right after the suffix's first
                                 // character.
                                 const qsizetype suffix = d.indexOf("Viewer.exe");
                                 d[linkInfo] = char(suffix + 1 - linkInfo);
                             }},
                      Damage{"StringPastEnd", [](QByteArray &d) { d.chop(1); }},
                      Damage{"NoTarget", [](QByteArray &d) {
                                 d = buildLink(LinkOptions{
                                     false, {}, {}, {}, {}, {}, {}, QStringLiteral("C:\\"), true});
                             }}));

TEST(ShellLink, RandomDamageFailsCleanlyOrStillNamesATarget)
{
    LinkOptions o = viewerLink();
    o.unicodeBase = QStringLiteral("C:\\Tools\\");
    o.unicodeSuffix = QStringLiteral("Viewer.exe");
    const QByteArray whole = buildLink(o);
    std::mt19937 random(1401);
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = whole;
        for (int i = 0; i < 3; ++i)
            data[qsizetype(random() % std::uint32_t(data.size()))] = char(random());
        if (const auto link = platform::parseShellLink(data, QStringLiteral("v.lnk"))) {
            EXPECT_FALSE(link->targetPath.isEmpty() && link->relativePath.isEmpty());
        }
    }
}

// A Wine prefix whose drive C: is a folder with "Program Files/Viewer/Viewer.exe".
class WinePaths : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        prefix = root.filePath(QStringLiteral("prefix"));
        driveC = root.filePath(QStringLiteral("drive_c"));
        ASSERT_TRUE(QDir().mkpath(driveC + QStringLiteral("/Program Files/Viewer")));
        ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/dosdevices")));
        ASSERT_TRUE(QFile::link(driveC, prefix + QStringLiteral("/dosdevices/c:")));
        QFile exe(driveC + QStringLiteral("/Program Files/Viewer/Viewer.exe"));
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    }

    QString onDriveC(const char *path) const
    {
        return prefix + QStringLiteral("/dosdevices/c:") + QString::fromUtf8(path);
    }

    QTemporaryDir root;
    QString prefix;
    QString driveC;
};

TEST_F(WinePaths, DrivePathsFindTheirFilesWithoutRegardToCase)
{
    EXPECT_EQ(platform::localPathForWindowsPath(
                  QStringLiteral("c:\\PROGRAM FILES\\viewer\\VIEWER.EXE"), prefix),
              onDriveC("/Program Files/Viewer/Viewer.exe"));
    EXPECT_EQ(
        platform::localPathForWindowsPath(QStringLiteral("C:\\Program Files\\Viewer\\"), prefix),
        onDriveC("/Program Files/Viewer/"));
}

TEST_F(WinePaths, MissingNamesAreKeptAsWritten)
{
    EXPECT_EQ(
        platform::localPathForWindowsPath(QStringLiteral("C:\\program files\\New\\A.exe"), prefix),
        onDriveC("/Program Files/New/A.exe"));
}

TEST_F(WinePaths, PathsThatCannotBeMappedGiveNothing)
{
    EXPECT_TRUE(platform::localPathForWindowsPath(QStringLiteral("D:\\x.exe"), prefix).isEmpty());
    EXPECT_TRUE(platform::localPathForWindowsPath(QStringLiteral("C:\\x.exe"), {}).isEmpty());
    EXPECT_TRUE(
        platform::localPathForWindowsPath(QStringLiteral("\\\\server\\share\\x.exe"), prefix)
            .isEmpty());
    EXPECT_TRUE(
        platform::localPathForWindowsPath(QStringLiteral("relative.exe"), prefix).isEmpty());
    EXPECT_EQ(platform::localPathForWindowsPath(QStringLiteral("/usr/bin/env"), prefix),
              QStringLiteral("/usr/bin/env"));
}

TEST_F(WinePaths, ResolvesALinkFileToLocalTargetAndWorkingFolder)
{
    LinkOptions o = viewerLink();
    o.ansiBase = "C:\\PROGRAM FILES\\VIEWER\\";
    o.workingDir = QStringLiteral("C:\\Program Files");
    const QString path = root.filePath(QStringLiteral("Viewer.lnk"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(buildLink(o));
    file.close();

    QString error;
    const auto link = platform::resolveShellLink(path, prefix, &error);
    ASSERT_TRUE(link) << error.toStdString();
    EXPECT_EQ(link->targetPath, onDriveC("/Program Files/Viewer/Viewer.exe"));
    EXPECT_EQ(link->workingFolder, onDriveC("/Program Files"));
}

TEST_F(WinePaths, WithoutAMappableTargetTheRelativePathIsUsed)
{
    LinkOptions o;
    o.relativePath = QStringLiteral("..\\drive_c\\Program Files\\Viewer\\Viewer.exe");
    const QString path = root.filePath(QStringLiteral("links/Viewer.lnk"));
    QDir().mkpath(root.filePath(QStringLiteral("links")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(buildLink(o));
    file.close();

    const auto link = platform::resolveShellLink(path, {});
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, driveC + QStringLiteral("/Program Files/Viewer/Viewer.exe"));
    EXPECT_TRUE(link->workingFolder.isEmpty());
}

TEST_F(WinePaths, ADrivePathWithoutPrefixOrRelativePathCannotBeResolved)
{
    LinkOptions o = viewerLink();
    o.relativePath.clear();
    const QString path = root.filePath(QStringLiteral("Viewer.lnk"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(buildLink(o));
    file.close();

    QString error;
    EXPECT_FALSE(platform::resolveShellLink(path, {}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no Wine prefix maps its target")))
        << error.toStdString();
    EXPECT_FALSE(platform::resolveShellLink(root.filePath(QStringLiteral("none.lnk")), prefix));
}

} // namespace
