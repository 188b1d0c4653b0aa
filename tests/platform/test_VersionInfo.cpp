// Fixed version blocks read from small PE and ELF files built byte by byte, damaged files that
// must fail cleanly, and the version text of the About dialog.
#include "platform/VersionInfo.h"

#include "VersionFixtures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>

namespace {

using namespace fixtures;

std::optional<platform::FixedFileInfo> readBytes(const QByteArray &bytes, QString *error = nullptr)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return platform::readFixedFileInfo(buffer, QStringLiteral("test.dll"), error);
}

// --- Version text --------------------------------------------------------------------------

struct TextCase
{
    std::uint32_t ms, ls;
    const char *text;
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.text;
}

class ProductVersionText : public ::testing::TestWithParam<TextCase>
{};

TEST_P(ProductVersionText, MajorThenLiteralZerosThenWholeLowDwordSigned)
{
    platform::FixedFileInfo info;
    info.productVersionMS = GetParam().ms;
    info.productVersionLS = GetParam().ls;
    EXPECT_EQ(platform::productVersionText(info), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Versions, ProductVersionText,
                         ::testing::Values(TextCase{0x00040000, 123, "4.00.123"},
                                           TextCase{0x00010002, 0x00030004, "1.00.196612"},
                                           TextCase{0x00000000, 0, "0.00.0"},
                                           TextCase{0xFFFF0007, 0x80000000,
                                                    "65535.00.-2147483648"}));

// --- PE files -------------------------------------------------------------------------------

} // namespace

namespace fixtures {

void PrintTo(const PeOptions &o, std::ostream *os)
{
    *os << (o.wide ? "PE32+" : "PE32") << (o.iconTypeFirst ? " after icons" : "");
}

void PrintTo(const ElfOptions &o, std::ostream *os)
{
    *os << (o.wide ? "ELF64" : "ELF32") << (o.bigEndian ? " big-endian" : " little-endian");
}

} // namespace fixtures

namespace {

class PeVersion : public ::testing::TestWithParam<PeOptions>
{};

TEST_P(PeVersion, ReadsTheProductVersionOfTheVersionResource)
{
    QString error;
    const auto info = readBytes(buildPe(GetParam()), &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->signature, platform::fixedFileInfoSignature);
    EXPECT_EQ(info->productVersionMS, GetParam().productMS);
    EXPECT_EQ(info->productVersionLS, GetParam().productLS);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PeVersion,
                         ::testing::Values(PeOptions{}, PeOptions{true, false, 0x00010002, 0x30004},
                                           PeOptions{false, true, 0x00070001, 9},
                                           PeOptions{true, true, 0x00020000, 0xFFFFFFFF}));

TEST(PeFile, ReadsAFileOnDisk)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("ktdds.dll"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(buildPe());
    file.close();
    const auto info = platform::readFixedFileInfo(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(platform::productVersionText(*info), QStringLiteral("4.00.123"));
}

TEST(PeFile, EveryTruncationFailsCleanly)
{
    const QByteArray whole = buildPe();
    for (qsizetype length = 0; length < whole.size(); ++length)
        EXPECT_FALSE(readBytes(whole.left(length))) << "cut at " << length;
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

class DamagedPe : public ::testing::TestWithParam<Damage>
{};

TEST_P(DamagedPe, FailsWithAReasonNamingTheFile)
{
    QByteArray data = buildPe();
    GetParam().apply(data);
    QString error;
    EXPECT_FALSE(readBytes(data, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the version of \"test.dll\": ")))
        << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedPe,
    ::testing::Values(
        Damage{"PeOffsetPastEnd", [](QByteArray &d) { Bytes(d).u32(0x3C, 0xFFFFFFF0); }},
        Damage{"NoPeSignature", [](QByteArray &d) { d[0x40] = 'X'; }},
        Damage{"UnknownOptionalMagic", [](QByteArray &d) { Bytes(d).u16(peOptional, 0x999); }},
        Damage{"TooFewDirectories", [](QByteArray &d) { Bytes(d).u32(peOptional + 92, 2); }},
        Damage{"SectionTablePastEnd", [](QByteArray &d) { Bytes(d).u16(peCoff + 2, 0xFFFF); }},
        Damage{"SectionDataPastEnd",
               [](QByteArray &d) { Bytes(d).u32(peOptional + 224 + 20, 0x7FFFFFF0); }},
        Damage{"NoVersionType",
               [](QByteArray &d) { Bytes(d).u32(resourceFile + rootEntries, 14); }},
        Damage{"DirectoryLoopsToItself",
               [](QByteArray &d) { Bytes(d).u32(resourceFile + rootEntries + 4, 0x80000000u); }},
        Damage{"HugeEntryCount",
               [](QByteArray &d) { Bytes(d).u16(resourceFile + 0x20 + 12, 0xFFFF); }},
        Damage{"DataOutsideEverySection",
               [](QByteArray &d) { Bytes(d).u32(resourceFile + dataEntry, 0x9000); }},
        Damage{"DataLongerThanSection",
               [](QByteArray &d) { Bytes(d).u32(resourceFile + dataEntry + 4, 0xFFFFFFFF); }},
        Damage{"WrongKey", [](QByteArray &d) { d[resourceFile + versionResource + 6] = 'X'; }},
        Damage{"NoFixedBlock",
               [](QByteArray &d) { Bytes(d).u16(resourceFile + versionResource + 2, 0); }},
        Damage{"LengthCutsFixedBlock",
               [](QByteArray &d) { Bytes(d).u16(resourceFile + versionResource, 60); }},
        Damage{
            "WrongBlockSignature",
            [](QByteArray &d) { Bytes(d).u32(resourceFile + versionResource + 40, 0xFEEF04BC); }},
        Damage{"NeitherPeNorElf", [](QByteArray &d) { d[0] = 'Z'; }}));

// --- ELF files ------------------------------------------------------------------------------

class ElfVersion : public ::testing::TestWithParam<ElfOptions>
{};

TEST_P(ElfVersion, ReadsTheBlockOfTheVersionSectionInTheFilesByteOrder)
{
    QString error;
    const auto info = readBytes(buildElf(GetParam()), &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->productVersionMS, GetParam().productMS);
    EXPECT_EQ(info->productVersionLS, GetParam().productLS);
    EXPECT_EQ(info->fileType, 1u);
}

INSTANTIATE_TEST_SUITE_P(Classes, ElfVersion,
                         ::testing::Values(ElfOptions{}, ElfOptions{false, false},
                                           ElfOptions{true, true}, ElfOptions{false, true}));

TEST(ElfFile, EveryTruncationFailsCleanly)
{
    const QByteArray whole = buildElf();
    for (qsizetype length = 0; length < whole.size(); ++length)
        EXPECT_FALSE(readBytes(whole.left(length))) << "cut at " << length;
}

class DamagedElf : public ::testing::TestWithParam<Damage>
{};

TEST_P(DamagedElf, FailsWithAReasonNamingTheFile)
{
    QByteArray data = buildElf();
    GetParam().apply(data);
    QString error;
    EXPECT_FALSE(readBytes(data, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the version of \"test.dll\": ")))
        << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedElf,
    ::testing::Values(
        Damage{"UnknownClass", [](QByteArray &d) { d[4] = 3; }},
        Damage{"UnknownByteOrder", [](QByteArray &d) { d[5] = 0; }},
        Damage{"NoSectionTable", [](QByteArray &d) { Bytes(d).u64(0x28, 0); }},
        Damage{"SectionTablePastEnd",
               [](QByteArray &d) { Bytes(d).u64(0x28, 0x7FFFFFFFFFFFFFF0); }},
        Damage{"SmallSectionHeaders", [](QByteArray &d) { Bytes(d).u16(0x3A, 16); }},
        Damage{"NameTableIndexOutOfRange", [](QByteArray &d) { Bytes(d).u16(0x3E, 7); }},
        Damage{"HugeExtendedSectionCount",
               [](QByteArray &d) {
                   Bytes(d).u16(0x3C, 0);
                   Bytes(d).u64(elfTable + 0x20, 0xFFFFFFFFull);
               }},
        Damage{"NameTablePastEnd",
               [](QByteArray &d) { Bytes(d).u64(elfTable + 64 + 0x20, 0x7FFFFFFF); }},
        Damage{"VersionDataPastEnd",
               [](QByteArray &d) { Bytes(d).u64(elfTable + 128 + 0x18, 0xFFFFFFFFFFFF); }},
        Damage{"NameOffsetPastNameTable",
               [](QByteArray &d) { Bytes(d).u32(elfTable + 128, 0x10000); }}));

struct ElfSectionCase
{
    const char *name;
    ElfOptions options;
};

void PrintTo(const ElfSectionCase &c, std::ostream *os)
{
    *os << c.name;
}

class ElfWithoutUsableVersion : public ::testing::TestWithParam<ElfSectionCase>
{};

TEST_P(ElfWithoutUsableVersion, Fails)
{
    EXPECT_FALSE(readBytes(buildElf(GetParam().options)));
}

ElfOptions withName(const char *name)
{
    ElfOptions o;
    o.sectionName = name;
    return o;
}

ElfOptions withSection(std::uint32_t type, std::uint64_t size)
{
    ElfOptions o;
    o.sectionType = type;
    o.sectionSize = size;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Sections, ElfWithoutUsableVersion,
    ::testing::Values(ElfSectionCase{"OtherName", withName(".data")},
                      ElfSectionCase{"LongerName", withName(".tessavane_version2")},
                      ElfSectionCase{"ShorterName", withName(".tessavane_versio")},
                      ElfSectionCase{"NoFileData", withSection(8, 52)},
                      ElfSectionCase{"TooShort", withSection(1, 51)}));

// --- Random damage --------------------------------------------------------------------------

class RandomDamage : public ::testing::TestWithParam<bool>
{};

TEST_P(RandomDamage, NeverReadsOutsideTheFileAndOnlyReturnsSignedBlocks)
{
    const QByteArray whole = GetParam() ? buildElf() : buildPe();
    std::mt19937 random(20040);
    for (int round = 0; round < 3000; ++round) {
        QByteArray data = whole;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i)
            data[qsizetype(random() % std::uint32_t(data.size()))] = char(random());
        if (const auto info = readBytes(data)) {
            EXPECT_EQ(info->signature, platform::fixedFileInfoSignature);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RandomDamage, ::testing::Values(false, true));

// --- Files on disk --------------------------------------------------------------------------

TEST(FileVersion, AMissingFileIsNamedInTheMessage)
{
    QString error;
    EXPECT_FALSE(platform::readFixedFileInfo(QStringLiteral("/nonexistent/kttiff.dll"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("\"/nonexistent/kttiff.dll\"")))
        << error.toStdString();
}

TEST(FileVersion, AFolderIsNotAVersionedFile)
{
    QTemporaryDir folder;
    EXPECT_FALSE(platform::readFixedFileInfo(folder.path()));
}

TEST(FileVersion, ARealElfWithoutVersionSectionSaysSo)
{
    QString error;
    EXPECT_FALSE(platform::readFixedFileInfo(QCoreApplication::applicationFilePath(), &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("it has no version section"))) << error.toStdString();
}

} // namespace
