// Tests of the settings store: reading stored values of every form, writing without losing
// anything else in the file, and failures that leave the file as it was.
#include "platform/Error.h"
#include "platform/ErrorSink.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <climits>
#include <csignal>
#include <functional>
#include <sys/resource.h>

using platform::SettingsStore;

namespace {

const QString Section = QStringLiteral("Frostane");

QByteArray storeWith(const QByteArray &values)
{
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n" +
           values + "\r\n";
}

QByteArray utf16le(QStringView text)
{
    QByteArray out;
    for (QChar c : text)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

std::string errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const platform::Error &error) {
        return error.what();
    }
    return "(no error)";
}

// The error of f while files may grow to a few bytes only, as on a full disk.
std::string errorOnAFullDisk(const std::function<void()> &f)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    if (getrlimit(RLIMIT_FSIZE, &old) != 0)
        return "(getrlimit failed)";
    rlimit tight = old;
    tight.rlim_cur = 16;
    if (setrlimit(RLIMIT_FSIZE, &tight) != 0)
        return "(setrlimit failed)";
    const std::string message = errorOf(f);
    setrlimit(RLIMIT_FSIZE, &old);
    return message;
}

class SettingsStoreTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name = "KT/user.reg") const { return m_dir.filePath(name); }

    void put(const QByteArray &bytes, const QString &name = "KT/user.reg") const
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray contents(const QString &name = "KT/user.reg") const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

    // Closes the window the way the program does: the four values, then release.
    static void writeAll(SettingsStore &store, const QString &texture, int winter)
    {
        store.WriteString(Section, "Texture", texture);
        store.WriteString(Section, "Texture1", "/home/u/out");
        store.WriteInteger(Section, "Winter", winter);
        store.WriteInteger(Section, "Fall", 12);
        store.release();
    }

    QTemporaryDir m_dir;
};

// Leading spaces, a sign, "$" or "0x" for hexadecimal; anything else gives the default.
TEST_F(SettingsStoreTest, StoredIntegerReadsLikeTheOriginalConversion)
{
    using Case = std::pair<const char *, int>;
    for (const auto &[stored, expected] :
         {Case{"0x20", 32}, Case{"$20", 32}, Case{"32", 32}, Case{"   32", 32}, Case{"-5", -5},
          Case{"-$10", -16}, Case{"-2147483648", INT_MIN}, Case{"2147483648", 70},
          Case{"0x100000000", 70}, Case{"abc", 70}, Case{"", 70}, Case{"32 ", 70}, Case{"0x", 70},
          Case{"12.5", 70}}) {
        put(storeWith("\"Winter\"=\"" + QByteArray(stored) + "\""));
        SettingsStore store(path());
        EXPECT_EQ(store.ReadInteger(Section, "winter", 70), expected) << '"' << stored << '"';
    }
}

TEST_F(SettingsStoreTest, MissingFileSectionOrValueGivesTheDefault)
{
    {
        SettingsStore store(path());
        EXPECT_EQ(store.ReadString(Section, "Texture", "fs"), "fs");
        EXPECT_EQ(store.ReadInteger(Section, "Winter", 70), 70);
    }
    EXPECT_FALSE(QFileInfo::exists(path())) << "reading must not create the file";

    put("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Other]\r\n"
        "\"Texture\"=\"elsewhere\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
        "\"Fall\"=\"3\"\r\n");
    SettingsStore store(path());
    EXPECT_EQ(store.ReadString(Section, "Texture", "fs"), "fs");
    EXPECT_EQ(store.ReadString("Nowhere", "Fall", "d"), "d");
    EXPECT_EQ(store.ReadInteger(Section, "Fall", 12), 3);
}

TEST_F(SettingsStoreTest, ReadsStoredTextOfEveryForm)
{
    put(storeWith("\"Texture\"=\"\"\r\n"
                  // "%HOME%\x" as expandable text, with its terminating zero
                  "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\r\n"
                  "\"NoDword\"=hex(4):\r\n"
                  "\"NoBinary\"=hex:\r\n"));
    SettingsStore store(path());
    EXPECT_EQ(store.ReadString(Section, "Texture", "d"), "") << "empty text is not the default";
    EXPECT_EQ(store.ReadString(Section, "Expand", "d"), "%HOME%\\x");
    EXPECT_EQ(store.ReadString(Section, "NoDword", "d"), "");
    EXPECT_EQ(store.ReadString(Section, "NoBinary", "d"), "");
    EXPECT_EQ(store.ReadInteger(Section, "NoDword", 70), 70);
}

TEST_F(SettingsStoreTest, ValueOfAnotherTypeIsAnError)
{
    put(storeWith("\"Winter\"=dword:00000046\r\n\"Fall\"=hex(7):41,00,00,00,00,00\r\n"));
    SettingsStore store(path());
    EXPECT_EQ(errorOf([&] { store.ReadString(Section, "Winter", ""); }),
              "Invalid data type for 'Winter'");
    EXPECT_EQ(errorOf([&] { store.ReadInteger(Section, "Winter", 70); }),
              "Invalid data type for 'Winter'");
    EXPECT_EQ(errorOf([&] { store.ReadInteger(Section, "Fall", 12); }),
              "Invalid data type for 'Fall'");
}

TEST_F(SettingsStoreTest, FirstWriteCreatesFolderAndFileThatReadBack)
{
    SettingsStore store(path());
    writeAll(store, "C:\\FS9\\say \"hi\"", -3);
    // regedit's own export form: UTF-16LE with a byte-order mark.
    EXPECT_EQ(contents(), "\xff\xfe" + utf16le(u"Windows Registry Editor Version 5.00\r\n"
                                               "\r\n"
                                               "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                               "\"Texture\"=\"C:\\\\FS9\\\\say \\\"hi\\\"\"\r\n"
                                               "\"Texture1\"=\"/home/u/out\"\r\n"
                                               "\"Winter\"=\"-3\"\r\n"
                                               "\"Fall\"=\"12\"\r\n"));
    SettingsStore again(path());
    EXPECT_EQ(again.ReadString(Section, "Texture", ""), "C:\\FS9\\say \"hi\"");
    EXPECT_EQ(again.ReadInteger(Section, "Winter", 70), -3);
}

TEST_F(SettingsStoreTest, WritesKeepEverythingElseByteForByte)
{
    put("Windows Registry Editor Version 5.00\n"
        "; my notes\n"
        "[HKEY_CURRENT_USER\\Software\\KT\\Other]\n"
        "\"Winter\"=\"1\"\n"
        "#odd line\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
        "\"WINTER\"=\"99\"\n"
        "\"Extra\"=hex:01,02,\\\n"
        "  03\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Elsewhere]\n"
        "@=\"x\"");
    SettingsStore store(path());
    writeAll(store, "/t", 70);
    EXPECT_EQ(contents(), "Windows Registry Editor Version 5.00\n"
                          "; my notes\n"
                          "[HKEY_CURRENT_USER\\Software\\KT\\Other]\n"
                          "\"Winter\"=\"1\"\n"
                          "#odd line\n"
                          "\n"
                          "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\n"
                          "\"WINTER\"=\"70\"\n"
                          "\"Extra\"=hex:01,02,\\\n"
                          "  03\n"
                          "\"Texture\"=\"/t\"\n"
                          "\"Texture1\"=\"/home/u/out\"\n"
                          "\"Fall\"=\"12\"\n"
                          "\n"
                          "[HKEY_CURRENT_USER\\Software\\Elsewhere]\n"
                          "@=\"x\"");
}

TEST_F(SettingsStoreTest, SecondRunWithTheSameValuesLeavesTheFileAsTheFirstWroteIt)
{
    put("Windows Registry Editor Version 5.00\r\n\r\n; notes\r\n");
    {
        SettingsStore first(path());
        writeAll(first, "/fs9/texture", 70);
    }
    const QByteArray afterFirst = contents();
    const QDateTime modified = QFileInfo(path()).lastModified();
    SettingsStore second(path());
    writeAll(second, "/fs9/texture", 70);
    EXPECT_EQ(contents(), afterFirst);
    EXPECT_EQ(QFileInfo(path()).lastModified(), modified) << "an unchanged file is not rewritten";
}

TEST_F(SettingsStoreTest, WriteKeepsWhatAnotherProgramChangedMeanwhile)
{
    put(storeWith("\"Winter\"=\"1\"\r\n"));
    SettingsStore early(path());
    SettingsStore late(path());
    late.WriteString(Section, "Fall", "9");
    early.WriteInteger(Section, "Winter", 2);
    SettingsStore check(path());
    EXPECT_EQ(check.ReadInteger(Section, "Fall", 0), 9);
    EXPECT_EQ(check.ReadInteger(Section, "Winter", 0), 2);
}

TEST_F(SettingsStoreTest, WriteThroughALinkKeepsTheLink)
{
    put(storeWith("\"Winter\"=\"1\"\r\n"), "real/user.reg");
    QDir().mkpath(m_dir.filePath("KT"));
    ASSERT_TRUE(QFile::link(path("real/user.reg"), path()));
    SettingsStore store(path());
    store.WriteInteger(Section, "Winter", 5);
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(contents("real/user.reg"), storeWith("\"Winter\"=\"5\"\r\n"));
}

TEST_F(SettingsStoreTest, DamagedFileIsReportedWithPathAndLineAndNeverWritten)
{
    const QByteArray damaged = storeWith("\"Winter\"=\"70\r\n");
    put(damaged);
    EXPECT_EQ(errorOf([&] { SettingsStore store(path()); }),
              path().toStdString() + ", line 4: the text has no closing quote");

    // Damaged after the store was opened: the write refuses.
    put(storeWith("\"Winter\"=\"70\"\r\n"));
    SettingsStore store(path());
    put(damaged);
    EXPECT_EQ(errorOf([&] { store.WriteInteger(Section, "Winter", 71); }),
              "Failed to set data for 'Winter': " + path().toStdString() +
                  ", line 4: the text has no closing quote");
    EXPECT_EQ(contents(), damaged);
}

TEST_F(SettingsStoreTest, StoreThatCannotBeWrittenReportsTheKeyAndKeepsWhatIsThere)
{
    // The file's place is taken by a folder after the store was opened.
    SettingsStore store(path());
    put("keep", "KT/user.reg/inside");
    const std::string message = errorOf([&] { store.WriteString(Section, "Texture", "/t"); });
    EXPECT_EQ(message.rfind("Failed to create key Frostane: ", 0), 0u) << message;
    EXPECT_NE(message.find(path().toStdString()), std::string::npos) << message;
    EXPECT_EQ(contents("KT/user.reg/inside"), "keep");

    // The folder cannot be made because a file has its name.
    put("plain file", "blocked");
    SettingsStore blocked(path("blocked/KT/user.reg"));
    const std::string blockedMessage =
        errorOf([&] { blocked.WriteInteger(Section, "Winter", 70); });
    EXPECT_EQ(blockedMessage.rfind("Failed to create key Frostane: ", 0), 0u) << blockedMessage;
    EXPECT_EQ(contents("blocked"), "plain file");
}

TEST_F(SettingsStoreTest, WriteThatFailsHalfwayLeavesTheOldFile)
{
    const QByteArray before = storeWith("\"Winter\"=\"70\"\r\n");
    put(before);
    SettingsStore store(path());
    const std::string message =
        errorOnAFullDisk([&] { store.WriteString(Section, "Winter", "71"); });

    EXPECT_EQ(message.rfind("Failed to set data for 'Winter': " + path().toStdString(), 0), 0u)
        << message;
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(QDir(m_dir.filePath("KT")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"user.reg"})
        << "no temporary file is left behind";
    EXPECT_EQ(store.ReadInteger(Section, "Winter", 0), 70);
}

TEST_F(SettingsStoreTest, Regedit4FileThatCannotHoldAValueIsWrittenAnewInUnicodeSayingSoOnce)
{
    // "Gr\xf6\xdfe" is "Größe" in the Windows code page; hex(2) text is code-page bytes.
    put("REGEDIT4\r\n"
        "\r\n"
        "; Gr\xf6\xdf"
        "e notes\r\n"
        "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
        "\"Texture\"=\"C:\\\\Gr\xf6\xdf"
        "e\"\r\n"
        "\"Path\"=hex(2):25,41,25,e9,00\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Winter\"=\"33\"\r\n"
        "\"Gone\"=-\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
        "\"N\"=dword:0000001f\r\n");
    QStringList notices;
    const platform::ErrorHandler previous = platform::setErrorHandler(
        [&](const std::exception &error) { notices << QString::fromUtf8(error.what()); });
    const QString city = QStringLiteral("/home/u/\u0141\u00f3d\u017a");
    {
        SettingsStore store(path());
        writeAll(store, city, 40);
    }
    platform::setErrorHandler(previous);

    EXPECT_EQ(contents(), "\xff\xfe" + utf16le(u"Windows Registry Editor Version 5.00\r\n"
                                               "\r\n"
                                               "; Gr\u00f6\u00dfe notes\r\n"
                                               "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                               "\"Texture\"=\"/home/u/\u0141\u00f3d\u017a\"\r\n"
                                               "\"Path\"=hex(2):25,00,41,00,25,00,e9,00,00,00\r\n"
                                               "\"Blob\"=hex:01,02,\\\r\n"
                                               "  03\r\n"
                                               "\"Winter\"=\"40\"\r\n"
                                               "\"Gone\"=-\r\n"
                                               "\"Texture1\"=\"/home/u/out\"\r\n"
                                               "\"Fall\"=\"12\"\r\n"
                                               "\r\n"
                                               "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                               "\"N\"=dword:0000001f\r\n"));
    ASSERT_EQ(notices.size(), 1) << notices.join('\n').toStdString();
    EXPECT_TRUE(notices[0].contains(path())) << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains("Windows Registry Editor Version 5.00"))
        << notices[0].toStdString();

    SettingsStore again(path());
    EXPECT_EQ(again.ReadString(Section, "Texture", ""), city);
    EXPECT_EQ(again.ReadString(Section, "Path", ""), QStringLiteral("%A%\u00e9"));
    EXPECT_EQ(again.notice(), QString()) << "a store that had nothing to convert says nothing";
}

TEST_F(SettingsStoreTest, Regedit4FileIsLeftAsItWasWhenItsUnicodeFormCannotBeWritten)
{
    const QByteArray before = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                              "\"Winter\"=\"33\"\r\n";
    put(before);
    QStringList notices;
    const platform::ErrorHandler previous = platform::setErrorHandler(
        [&](const std::exception &error) { notices << QString::fromUtf8(error.what()); });
    SettingsStore store(path());
    const std::string message =
        errorOnAFullDisk([&] { store.WriteString(Section, "Texture", QStringLiteral("/\u0141")); });

    EXPECT_EQ(message.rfind("Failed to set data for 'Texture': " + path().toStdString(), 0), 0u)
        << message;
    EXPECT_EQ(contents(), before);
    EXPECT_TRUE(notices.isEmpty()) << "nothing was converted, so nothing is said";
    // The next write, with room, converts and says so.
    store.WriteString(Section, "Texture", QStringLiteral("/\u0141"));
    EXPECT_EQ(notices.size(), 1);
    EXPECT_EQ(store.notice(), notices.value(0));
    platform::setErrorHandler(previous);
    EXPECT_EQ(SettingsStore(path()).ReadInteger(Section, "Winter", 0), 33);
}

} // namespace
