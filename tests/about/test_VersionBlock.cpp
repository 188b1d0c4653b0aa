// The version block that tessavane_embed_version() adds, read back from a real program, a
// real shared library found by its ".dll" name, and a stripped copy.
#include "platform/LibrarySearch.h"
#include "platform/VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t versionMS = (TESSAVANE_VERSION_MAJOR << 16) | TESSAVANE_VERSION_MINOR;
constexpr std::uint32_t versionLS = (TESSAVANE_VERSION_PATCH << 16) | TESSAVANE_VERSION_TWEAK;

void expectProjectVersion(const std::optional<platform::FixedFileInfo> &info, std::uint32_t type)
{
    ASSERT_TRUE(info);
    EXPECT_EQ(info->signature, platform::fixedFileInfoSignature);
    EXPECT_EQ(info->productVersionMS, versionMS);
    EXPECT_EQ(info->productVersionLS, versionLS);
    EXPECT_EQ(info->fileVersionMS, versionMS);
    EXPECT_EQ(info->fileVersionLS, versionLS);
    EXPECT_EQ(info->fileType, type);
}

TEST(VersionBlock, TheProgramCarriesTheProjectVersion)
{
    QString error;
    const auto info = platform::readFixedFileInfo(QCoreApplication::applicationFilePath(), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    expectProjectVersion(info, 1);
}

TEST(VersionBlock, ASharedLibraryCarriesItAndIsFoundByItsDllName)
{
    const QString file = platform::findLibrary(QStringLiteral("aboutfixture.dll"),
                                               {QStringLiteral(TESSAVANE_FIXTURE_LIBRARY_DIR)});
    ASSERT_FALSE(file.isEmpty());
    EXPECT_TRUE(file.endsWith(QStringLiteral("/libaboutfixture.so")));
    expectProjectVersion(platform::readFixedFileInfo(file), 2);
}

TEST(VersionBlock, StrippingKeepsIt)
{
    const QString strip = QStandardPaths::findExecutable(QStringLiteral("strip"));
    if (strip.isEmpty())
        GTEST_SKIP() << "no strip program";
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("stripped"));
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    ASSERT_EQ(QProcess::execute(strip, {QStringLiteral("--strip-all"), copy}), 0);
    expectProjectVersion(platform::readFixedFileInfo(copy), 1);
}

} // namespace
