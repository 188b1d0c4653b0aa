// Fixed version blocks read from small PE and ELF files built byte by byte, damaged files that
// must fail cleanly, and the version text of the About dialog.
#include "platform/VersionInfo.h"

#include "VersionFixtures.h"
#include "platform/FileNames.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <random>
#include <sys/stat.h>

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

// The About dialog's tests cover the usual forms; here the low dword's sign.
TEST(ProductVersionText, TheLowDwordIsSigned)
{
    platform::FixedFileInfo info;
    info.productVersionMS = 0xFFFF0007;
    info.productVersionLS = 0x80000000;
    EXPECT_EQ(platform::productVersionText(info), QStringLiteral("65535.00.-2147483648"));
}

// --- Good files -----------------------------------------------------------------------------

TEST(VersionInfo, ReadsTheProductVersionOfEveryLayout)
{
    for (const PeOptions &o :
         {PeOptions{}, PeOptions{true, false, 0x00010002, 0x30004},
          PeOptions{false, true, 0x00070001, 9}, PeOptions{true, true, 0x00020000, 0xFFFFFFFF}}) {
        SCOPED_TRACE(testing::Message()
                     << (o.wide ? "PE32+" : "PE32") << (o.iconTypeFirst ? " after icons" : ""));
        QString error;
        const auto info = readBytes(buildPe(o), &error);
        ASSERT_TRUE(info) << error.toStdString();
        EXPECT_EQ(info->signature, platform::fixedFileInfoSignature);
        EXPECT_EQ(info->productVersionMS, o.productMS);
        EXPECT_EQ(info->productVersionLS, o.productLS);
    }
    // ELF files in either class and byte order.
    for (const ElfOptions &o : {ElfOptions{}, ElfOptions{false, false}, ElfOptions{true, true},
                                ElfOptions{false, true}}) {
        SCOPED_TRACE(testing::Message() << (o.wide ? "ELF64" : "ELF32")
                                        << (o.bigEndian ? " big-endian" : " little-endian"));
        QString error;
        const auto info = readBytes(buildElf(o), &error);
        ASSERT_TRUE(info) << error.toStdString();
        EXPECT_EQ(info->productVersionMS, o.productMS);
        EXPECT_EQ(info->productVersionLS, o.productLS);
        EXPECT_EQ(info->fileType, 1u);
    }
}

// --- Damaged files --------------------------------------------------------------------------

TEST(VersionInfo, EveryTruncationFailsCleanly)
{
    for (const QByteArray &whole : {buildPe(), buildElf()})
        for (qsizetype length = 0; length < whole.size(); ++length)
            EXPECT_FALSE(readBytes(whole.left(length))) << "cut at " << length;
}

struct Damage
{
    const char *name;
    std::function<void(QByteArray &)> apply;
    bool elf = false;
};

void PrintTo(const Damage &d, std::ostream *os)
{
    *os << d.name;
}

class DamagedFile : public ::testing::TestWithParam<Damage>
{};

TEST_P(DamagedFile, FailsWithAReasonNamingTheFile)
{
    QByteArray data = GetParam().elf ? buildElf() : buildPe();
    GetParam().apply(data);
    QString error;
    EXPECT_FALSE(readBytes(data, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot read the version of \"test.dll\": ")))
        << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Pe, DamagedFile,
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

INSTANTIATE_TEST_SUITE_P(
    Elf, DamagedFile,
    ::testing::Values(
        Damage{"UnknownClass", [](QByteArray &d) { d[4] = 3; }, true},
        Damage{"UnknownByteOrder", [](QByteArray &d) { d[5] = 0; }, true},
        Damage{"NoSectionTable", [](QByteArray &d) { Bytes(d).u64(0x28, 0); }, true},
        Damage{"SectionTablePastEnd", [](QByteArray &d) { Bytes(d).u64(0x28, 0x7FFFFFFFFFFFFFF0); },
               true},
        Damage{"SmallSectionHeaders", [](QByteArray &d) { Bytes(d).u16(0x3A, 16); }, true},
        Damage{"NameTableIndexOutOfRange", [](QByteArray &d) { Bytes(d).u16(0x3E, 7); }, true},
        Damage{"HugeExtendedSectionCount",
               [](QByteArray &d) {
                   Bytes(d).u16(0x3C, 0);
                   Bytes(d).u64(elfTable + 0x20, 0xFFFFFFFFull);
               },
               true},
        Damage{"NameTablePastEnd",
               [](QByteArray &d) { Bytes(d).u64(elfTable + 64 + 0x20, 0x7FFFFFFF); }, true},
        Damage{"VersionDataPastEnd",
               [](QByteArray &d) { Bytes(d).u64(elfTable + 128 + 0x18, 0xFFFFFFFFFFFF); }, true},
        Damage{"NameOffsetPastNameTable",
               [](QByteArray &d) { Bytes(d).u32(elfTable + 128, 0x10000); }, true}));

// Another name (also one character longer or shorter), no data in the file, or too little.
TEST(VersionInfo, ElfWithoutAUsableVersionSectionFails)
{
    for (const ElfOptions &o :
         {ElfOptions{.sectionName = ".data"}, ElfOptions{.sectionName = ".tessavane_version2"},
          ElfOptions{.sectionName = ".tessavane_versio"}, ElfOptions{.sectionType = 8},
          ElfOptions{.sectionSize = 51}})
        EXPECT_FALSE(readBytes(buildElf(o)))
            << o.sectionName.toStdString() << " " << o.sectionType << " " << o.sectionSize;
}

// --- Random damage --------------------------------------------------------------------------

TEST(VersionInfo, RandomDamageNeverReadsOutsideTheFileAndOnlyReturnsSignedBlocks)
{
    for (const QByteArray &whole : {buildPe(), buildElf()}) {
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
}

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

// A program installed under a folder whose name is not UTF-8 still reads its version, and a
// FIFO in its place fails at once instead of waiting for a writer.
TEST(FileVersion, ReadsByBytesAndRefusesWhatIsNotAFile)
{
    QTemporaryDir root;
    const QByteArray folder = QFile::encodeName(root.path()) + "/caf\xe9 \xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QString path = platform::decodeFileName(folder + "/kovar.dll");
    {
        const QByteArray bytes = buildPe(PeOptions{});
        FILE *file = std::fopen((folder + "/kovar.dll").constData(), "wb");
        ASSERT_TRUE(file);
        ASSERT_EQ(std::fwrite(bytes.constData(), 1, bytes.size(), file), size_t(bytes.size()));
        std::fclose(file);
    }
    QString error;
    const auto info = platform::readFixedFileInfo(path, &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->productVersionMS, PeOptions{}.productMS);

    const QByteArray fifo = folder + "/kttiff.dll";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(platform::readFixedFileInfo(platform::decodeFileName(fifo), &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("it is not a regular file"))) << error.toStdString();
    EXPECT_FALSE(platform::readFixedFileInfo(platform::decodeFileName(folder), &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("it is a folder"))) << error.toStdString();
}

TEST(FileVersion, ARealElfWithoutVersionSectionSaysSo)
{
    QString error;
    EXPECT_FALSE(platform::readFixedFileInfo(QCoreApplication::applicationFilePath(), &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("it has no version section"))) << error.toStdString();
}

} // namespace
