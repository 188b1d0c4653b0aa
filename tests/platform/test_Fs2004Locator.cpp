// Tests of the FS2004 lookup in a fake Wine prefix: its registry, its drive links and
// folders whose names differ in case from the registered path.
#include "platform/Fs2004Locator.h"

#include "WinePrefixFixture.h"

using platform::Fs2004Location;

namespace {

const char *const Fs9Key = "[Software\\\\Microsoft\\\\Microsoft Games\\\\Flight Simulator\\\\9.0] "
                           "1700000000\n#time=1d9f0a1b2c3d4e5\n";
const char *const Wow64Key = "[Software\\\\Wow6432Node\\\\microsoft\\\\MICROSOFT GAMES\\\\flight "
                             "simulator\\\\9.0] 1700000000\n";
const char *const Fs9Exe = "C:\\\\Program Files\\\\Microsoft Games\\\\FS9";

// A registry as Wine writes it, with the given keys after some unrelated ones.
QByteArray wineRegistry(const QByteArray &keys)
{
    return "WINE REGISTRY Version 2\n"
           ";; All keys relative to \\\\Machine\n"
           "\n"
           "#arch=win64\n"
           "\n"
           "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
           "#time=1d9f0a1b2c3d4e5\n"
           "\"DigitalProductId\"=hex:00,01,\\\n"
           "  02,03\n"
           "\"SystemRoot\"=str(2):\"C:\\\\windows\"\n"
           "\"Odd\"=hex(ffff0012):00\n"
           "\n" +
           keys;
}

class FakePrefix : public fixtures::FakePrefix
{
  protected:
    void writeRegistry(const QByteArray &bytes) const
    {
        QFile file(m_prefix + "/system.reg");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

struct FoundCase
{
    const char *label;
    QByteArray keys;
    const char *exePath;
};

void PrintTo(const FoundCase &c, std::ostream *os)
{
    *os << c.label;
}

class Fs2004Found : public FakePrefix, public ::testing::WithParamInterface<FoundCase>
{};

TEST_P(Fs2004Found, GivesTheTextureFolderWithItsRealSpelling)
{
    writeRegistry(wineRegistry(GetParam().keys));
    const Fs2004Location location = platform::locateFs2004(m_prefix);
    EXPECT_TRUE(location.found);
    EXPECT_EQ(location.exePath, QString::fromUtf8(GetParam().exePath));
    EXPECT_EQ(location.textureFolder, fs9Texture());
    EXPECT_TRUE(QFileInfo(location.textureFolder).isDir());
}

INSTANTIATE_TEST_SUITE_P(
    Registries, Fs2004Found,
    ::testing::Values(
        FoundCase{"plain key", QByteArray(Fs9Key) + "\"EXE Path\"=\"" + Fs9Exe + "\"\n",
                  "C:\\Program Files\\Microsoft Games\\FS9"},
        FoundCase{"wow64 key, other case, trailing backslash",
                  QByteArray(Wow64Key) +
                      "\"exe path\"=\"c:\\\\program files\\\\microsoft games\\\\fs9\\\\\"\n",
                  "c:\\program files\\microsoft games\\fs9\\"},
        FoundCase{"wow64 key empty, plain key set",
                  QByteArray(Wow64Key) + "\"EXE path\"=\"\"\n\n" + Fs9Key + "\"EXE path\"=\"" +
                      Fs9Exe + "\"\n",
                  "C:\\Program Files\\Microsoft Games\\FS9"},
        FoundCase{"expandable text",
                  QByteArray(Fs9Key) + "\"EXE path\"=str(2):\"" + Fs9Exe + "\"\n",
                  "C:\\Program Files\\Microsoft Games\\FS9"}));

struct NotFoundCase
{
    const char *label;
    QByteArray registry; // empty: no system.reg at all
};

void PrintTo(const NotFoundCase &c, std::ostream *os)
{
    *os << c.label;
}

class Fs2004NotFound : public FakePrefix, public ::testing::WithParamInterface<NotFoundCase>
{};

TEST_P(Fs2004NotFound, ReportsNothing)
{
    if (!GetParam().registry.isEmpty())
        writeRegistry(GetParam().registry);
    const Fs2004Location location = platform::locateFs2004(m_prefix);
    EXPECT_FALSE(location.found);
    EXPECT_TRUE(location.textureFolder.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Registries, Fs2004NotFound,
    ::testing::Values(
        NotFoundCase{"no file", QByteArray()},
        NotFoundCase{"not a registry", "[Software\\\\Microsoft] 1\n\"EXE path\"=\"C:\\\\FS9\"\n"},
        NotFoundCase{"no key", wineRegistry("")},
        NotFoundCase{"no value", wineRegistry(QByteArray(Fs9Key) + "\"Path\"=\"C:\\\\FS9\"\n")},
        NotFoundCase{"empty value", wineRegistry(QByteArray(Fs9Key) + "\"EXE path\"=\"\"\n")},
        NotFoundCase{"dword value",
                     wineRegistry(QByteArray(Fs9Key) + "\"EXE path\"=dword:00000001\n")}));

} // namespace
