// Tests of the registry file reader and editor: value notation, damaged files, and edits
// that leave every other byte of the file as it was.
#include "platform/Error.h"
#include "platform/RegFile.h"

#include <gtest/gtest.h>

using platform::RegFile;
using platform::RegValue;
namespace regtype = platform::regtype;

namespace {

#define REGEDIT "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT]\r\n"
#define WINE "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"

QByteArray utf16le(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

struct NotationCase
{
    const char *label;
    const char *file;
    const char *key;
    const char *name;
    quint32 type;
    QByteArray data;
};

const char *const Kt = "HKEY_CURRENT_USER\\Software\\KT";

TEST(RegFile, ReadsTheTypeAndDataOfEveryNotation)
{
    for (const NotationCase &c :
         {NotationCase{"escapes", REGEDIT "\"Texture\"=\"C:\\\\FS9\\\\say \\\"hi\\\" \\x\"\r\n", Kt,
                       "Texture", regtype::String, utf16le("C:\\FS9\\say \"hi\" \\x")},
          NotationCase{"dword", REGEDIT "\"Winter\"=dword:0000001F\r\n", Kt, "Winter",
                       regtype::Dword, QByteArray::fromHex("1f000000")},
          NotationCase{"expandable text", REGEDIT "\"P\"=hex(2):25,00,41,00,25,00,00,00\r\n", Kt,
                       "P", regtype::ExpandString, QByteArray::fromHex("2500410025000000")},
          NotationCase{"continued hex", REGEDIT "\"B\"=hex:01,02,\\\r\n  03,\\\r\n  04\r\n", Kt,
                       "B", regtype::Binary, QByteArray::fromHex("01020304")},
          NotationCase{"wine key and escapes",
                       WINE "[Software\\\\Microsoft\\\\FS] 1700000000\n#time=1d9f\n"
                            "\"Name\"=\"caf\\xe9\\n\\\\x\"\n",
                       "Software\\Microsoft\\FS", "name", regtype::String,
                       utf16le(QStringLiteral("caf\u00e9\n\\x"))},
          NotationCase{"wine expandable", WINE "[A\\\\B] 1\n\"E\"=str(2):\"%WINDIR%\"\n", "A\\B",
                       "E", regtype::ExpandString, utf16le("%WINDIR%")},
          NotationCase{"wine device type", WINE "[A] 1\n\"D\"=hex(ffff0012):01\n", "A", "D",
                       0xffff0012u, QByteArray::fromHex("01")}}) {
        const RegFile file = RegFile::parse(QByteArray(c.file), QStringLiteral("test.reg"));
        const auto value = file.value(QString::fromUtf8(c.key), QString::fromUtf8(c.name));
        ASSERT_TRUE(value.has_value()) << c.label;
        EXPECT_EQ(value->type, c.type) << c.label;
        EXPECT_EQ(value->data.toHex(' '), c.data.toHex(' ')) << c.label;
    }
}

struct DamageCase
{
    const char *label;
    const char *file;
    int line;
};

TEST(RegFile, DamagedFileIsReportedWithFileAndLine)
{
    for (const DamageCase &c :
         {DamageCase{"unknown first line", "REGEDIT3\r\n", 1},
          DamageCase{"value before key", "Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n",
                     2},
          DamageCase{"unclosed text", REGEDIT "\"a\"=\"b\r\n", 4},
          DamageCase{"bad dword", REGEDIT "\"a\"=dword:123456789\r\n", 4},
          DamageCase{"bad continued byte", REGEDIT "\"a\"=hex:01,\\\r\n  0g\r\n", 4},
          DamageCase{"continued past end", REGEDIT "\"a\"=hex:01,\\\r\n", 4},
          DamageCase{"unclosed key", REGEDIT "[HKEY_CURRENT_USER\\X\r\n", 4},
          DamageCase{"stray line", REGEDIT "\"a\"=\"b\"\r\nWinter=70\r\n", 5},
          DamageCase{"wine stamp", WINE "[A] 12x\n", 6}}) {
        std::string message = "(no error)";
        try {
            RegFile::parse(QByteArray(c.file), QStringLiteral("/cfg/user.reg"));
        } catch (const platform::Error &error) {
            message = error.what();
        }
        EXPECT_EQ(message.rfind("/cfg/user.reg, line " + std::to_string(c.line) + ": ", 0), 0u)
            << c.label << ": " << message;
    }
}

TEST(RegFile, LooksUpKeysAndNamesWithoutRegardToCaseLastDefinitionWinning)
{
    const RegFile file = RegFile::parse(REGEDIT "\"Winter\"=\"1\"\r\n\"Fall\"=\"7\"\r\n\r\n"
                                                "[hkey_current_user\\SOFTWARE\\kt]\r\n"
                                                "\"WINTER\"=\"2\"\r\n\"fall\"=-\r\n\r\n"
                                                "[-HKEY_CURRENT_USER\\Software\\KT\\Gone]\r\n"
                                                "\"Winter\"=\"3\"\r\n",
                                        QStringLiteral("t.reg"));
    EXPECT_TRUE(file.hasKey("\\HKCU\\Software\\"));
    EXPECT_FALSE(file.hasKey("HKEY_CURRENT_USER\\Software\\KT\\Frostane"));
    EXPECT_EQ(file.value("HKCU\\Software\\KT", "winter")->toText(), "2");
    EXPECT_FALSE(file.value("HKCU\\Software\\KT", "Fall")) << "a deleted value is missing";
}

TEST(RegFile, LenientParsingKeepsLinesItDoesNotUnderstand)
{
    const QByteArray bytes = WINE "[A] 1\n\"x\"=qword:1\ngarbage\n[B\n\"y\"=\"lost\"\n"
                                  "[C] 2\n\"z\"=\"found\"";
    EXPECT_THROW(RegFile::parse(bytes, "system.reg"), platform::Error);
    const RegFile file = RegFile::parse(bytes, "system.reg", RegFile::Strictness::Lenient);
    EXPECT_EQ(file.toBytes(), bytes);
    EXPECT_FALSE(file.value("A", "x"));
    EXPECT_FALSE(file.value("B", "y"));
    EXPECT_EQ(file.value("C", "z")->toText(), "found");
}

struct EditCase
{
    const char *label;
    QByteArray before;
    const char *key;
    RegValue value;
    QByteArray after;
};

void PrintTo(const EditCase &c, std::ostream *os)
{
    *os << c.label;
}

class Edit : public ::testing::TestWithParam<EditCase>
{};

TEST_P(Edit, ChangesOnlyWhatItMust)
{
    const EditCase &c = GetParam();
    RegFile file = RegFile::parse(c.before, QStringLiteral("t.reg"));
    EXPECT_EQ(file.setValue(QString::fromUtf8(c.key), c.value), c.before != c.after);
    EXPECT_EQ(file.toBytes(), c.after);
    // What was written reads back as the same value.
    const RegFile reread = RegFile::parse(file.toBytes(), QStringLiteral("t.reg"));
    const auto value = reread.value(QString::fromUtf8(c.key), c.value.name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->toText(), c.value.toText());
}

const QByteArray Exported = "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "; kept by hand\r\n"
                            "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                            "\"Texture\"=\"C:\\\\old\"\r\n"
                            "\"winter\" = \"70\"\r\n"
                            "\"Bin\"=hex:01,02,\\\r\n"
                            "  03\r\n"
                            "# unknown\r\n"
                            "\r\n";
const char *const Frostane = "HKEY_CURRENT_USER\\Software\\KT\\Frostane";

QByteArray replaced(QByteArray bytes, const char *from, const char *to)
{
    return bytes.replace(from, to);
}

INSTANTIATE_TEST_SUITE_P(
    RegFile, Edit,
    ::testing::Values(
        EditCase{"replace keeps spelling and place", Exported, "HKCU\\Software\\KT\\Frostane",
                 RegValue::text("WINTER", "-3"),
                 replaced(Exported, "\"winter\" = \"70\"", "\"winter\"=\"-3\"")},
        EditCase{"same value changes nothing", Exported, Frostane, RegValue::text("Winter", "70"),
                 Exported},
        EditCase{"new value after the last one", Exported, Frostane,
                 RegValue::text("Fall", "a\"b\\c"),
                 replaced(Exported, "  03\r\n", "  03\r\n\"Fall\"=\"a\\\"b\\\\c\"\r\n")},
        EditCase{"new key at the end", Exported, "HKEY_CURRENT_USER\\New",
                 RegValue::text("Fall", "12"),
                 Exported + "[HKEY_CURRENT_USER\\New]\r\n\"Fall\"=\"12\"\r\n"},
        EditCase{"file without a last line end",
                 "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\"",
                 "HKEY_CURRENT_USER\\L", RegValue::text("c", "d"),
                 "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\"\n\n"
                 "[HKEY_CURRENT_USER\\L]\n\"c\"=\"d\"\n"},
        EditCase{"text with a line break goes as hex", Exported, Frostane,
                 RegValue::text("Texture", "/a\nb"),
                 replaced(Exported, "\"Texture\"=\"C:\\\\old\"",
                          "\"Texture\"=hex(1):2f,00,61,00,0a,00,62,00,00,00")},
        EditCase{"wine file keeps its stamps", WINE "[Software\\\\A] 1700000000\n#time=1d9f\n",
                 "Software\\A", RegValue::text("y", QStringLiteral("\u00e9")),
                 WINE "[Software\\\\A] 1700000000\n#time=1d9f\n\"y\"=\"\\xe9\"\n"}));

TEST(RegFile, Utf16FileStaysUtf16WithOtherLinesUntouched)
{
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                        "\"Texture\"=\"C:\\\\FS9 \u00e9\"\r\n"
                                        "\"Winter\"=\"70\"\r\n\r\n");
    RegFile file = RegFile::parse("\xff\xfe" + utf16le(text), QStringLiteral("t.reg"));
    EXPECT_EQ(file.value(Frostane, "Texture")->toText(), QStringLiteral("C:\\FS9 \u00e9"));
    ASSERT_TRUE(file.setValue(Frostane, RegValue::text("Winter", "80")));
    EXPECT_EQ(file.toBytes(), "\xff\xfe" + utf16le(QString(text).replace("\"70\"", "\"80\"")));
}

TEST(RegFile, ANewExportFileIsUtf16WithAByteOrderMark)
{
    RegFile file;
    ASSERT_TRUE(
        file.setValue(Frostane, RegValue::text("Texture", QStringLiteral("/Gr\u00f6\u00dfe"))));
    ASSERT_TRUE(file.setValue(Frostane, RegValue::text("Texture1", "/a\nb")));
    EXPECT_EQ(file.toBytes(),
              "\xff\xfe" + utf16le(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                                  "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                                  "\"Texture\"=\"/Gr\u00f6\u00dfe\"\r\n"
                                                  "\"Texture1\"=hex(1):2f,00,61,00,0a,00,62,00,"
                                                  "00,00\r\n")));
}

TEST(RegFile, DeletedKeyHoldsNoValuesAndIsAddedAnewAfterTheDeletion)
{
    const QByteArray bytes = REGEDIT "\"Winter\"=\"1\"\r\n\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                     "\"Fall\"=\"7\"\r\n\r\n"
                                     "[-HKEY_CURRENT_USER\\Software\\KT]\r\n\r\n"
                                     "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"x\"=\"y\"\r\n";
    RegFile file = RegFile::parse(bytes, QStringLiteral("t.reg"));
    // Deleting a key deletes the keys below it too.
    EXPECT_FALSE(file.value(Kt, "Winter"));
    EXPECT_FALSE(file.value(Frostane, "Fall"));
    EXPECT_FALSE(file.hasKey(Kt));
    EXPECT_FALSE(file.hasKey(Frostane));
    EXPECT_TRUE(file.hasKey("HKEY_CURRENT_USER\\Software"));
    EXPECT_EQ(file.value("HKEY_CURRENT_USER\\Software\\Other", "x")->toText(), "y");

    ASSERT_TRUE(file.setValue(Frostane, RegValue::text("Fall", "12")));
    EXPECT_EQ(file.toBytes(), bytes + "\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                                      "\"Fall\"=\"12\"\r\n");
    const RegFile reread = RegFile::parse(file.toBytes(), QStringLiteral("t.reg"));
    EXPECT_EQ(reread.value(Frostane, "Fall")->toText(), "12");
    EXPECT_FALSE(reread.value(Kt, "Winter"));
}

TEST(RegFile, Regedit4FileIsReadAndWrittenInItsCodePage)
{
    // "Gr\xf6\xdfe \x80" is "Größe €" in the Windows code page; hex(2) text is code-page
    // bytes with a terminating zero.
    const QByteArray bytes = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                             "\"Texture\"=\"C:\\\\Gr\xf6\xdf"
                             "e \x80\"\r\n"
                             "\"Path\"=hex(2):25,41,25,e9,00\r\n";
    RegFile file = RegFile::parse(bytes, QStringLiteral("old.reg"));
    EXPECT_EQ(file.value(Frostane, "Texture")->toText(),
              QStringLiteral("C:\\Gr\u00f6\u00dfe \u20ac"));
    EXPECT_EQ(file.value(Frostane, "Path")->toText(), QStringLiteral("%A%\u00e9"));

    ASSERT_TRUE(file.setValue(Frostane, RegValue::text("Texture1", QStringLiteral("/\u00c4"))));
    ASSERT_TRUE(file.setValue(Frostane, RegValue::text("Winter", "a\nb")));
    EXPECT_EQ(file.toBytes(), bytes + "\"Texture1\"=\"/\xc4\"\r\n"
                                      "\"Winter\"=hex(1):61,0a,62,00\r\n");
    const RegFile reread = RegFile::parse(file.toBytes(), QStringLiteral("old.reg"));
    EXPECT_EQ(reread.value(Frostane, "Winter")->toText(), "a\nb");

    // A character outside the code page cannot be written in this form.
    try {
        file.setValue(Frostane, RegValue::text("Fall", QStringLiteral("\u65e5")));
        ADD_FAILURE() << "no error";
    } catch (const platform::Error &error) {
        EXPECT_STREQ(error.what(), "The value 'Fall' holds characters that a REGEDIT4 file "
                                   "(Windows code page 1252) cannot hold");
    }
    EXPECT_FALSE(file.value(Frostane, "Fall"));
}

} // namespace
