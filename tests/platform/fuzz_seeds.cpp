// Writes the seed inputs of the platform fuzz targets, built from the tests' own fixtures:
// registry files of every form and encoding, shortcuts, PE and ELF files with a version block.
// Usage: platform_fuzz_seeds <folder>  (makes <folder>/regfile, shelllink and versioninfo)
#include "ShellLinkFixtures.h"
#include "VersionFixtures.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <cstdio>

namespace {

bool write(const QString &folder, int index, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/seed-%1").arg(index));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray utf16le(const QString &text)
{
    QByteArray out("\xff\xfe");
    for (QChar c : text)
        out.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return out;
}

QList<QByteArray> registryFiles()
{
    const QByteArray values = "[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
                              "\"Texture\"=\"C:\\\\FS9\\\\say \\\"hi\\\"\"\r\n"
                              "@=\"default\"\r\n"
                              "\"Winter\"=dword:0000001f\r\n"
                              "\"Path\"=hex(2):25,00,41,00,00,00\r\n"
                              "\"Blob\"=hex:01,02,\\\r\n  03\r\n"
                              "\"Gone\"=-\r\n"
                              "; a comment\r\n"
                              "[-HKEY_CURRENT_USER\\Software\\Old]\r\n";
    return {
        "Windows Registry Editor Version 5.00\r\n\r\n" + values,
        utf16le(QString::fromLatin1("Windows Registry Editor Version 5.00\r\n\r\n" + values)),
        "\xef\xbb\xbfWindows Registry Editor Version 5.00\n\n[HKCU\\Software\\KT]\n\"A\"=\"b\"",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KT\\Frostane]\r\n"
        "\"Texture\"=\"C:\\\\Gr\xf6\xdf"
        "e \x80\"\r\n\"Path\"=hex(2):25,41,25,e9,00\r\n",
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21\n\n#arch=win64\n\n"
        "[Software\\\\KT\\\\Frostane] 1700000000\n#time=1d9a1b2c3d4e5f6\n"
        "\"Texture\"=\"C:\\\\x\\x0141\\n\\t\\033\"\n\"Path\"=str(2):\"%A%\"\n"
        "\"N\"=dword:00000010\n",
    };
}

QList<QByteArray> shortcuts()
{
    fixtures::LinkOptions viewer;
    viewer.ansiBase = "C:\\Tools\\";
    viewer.ansiSuffix = "Viewer.exe";
    viewer.name = QStringLiteral("Image viewer");
    viewer.relativePath = QStringLiteral(".\\Tools\\Viewer.exe");
    viewer.workingDir = QStringLiteral("C:\\Tools");
    fixtures::LinkOptions unicode = viewer;
    unicode.idList = true;
    unicode.unicodeBase = QStringLiteral("C:\\Programme\\\u0141\u00f3d\u017a\\");
    unicode.unicodeSuffix = QStringLiteral("Editor.exe");
    fixtures::LinkOptions ansiStrings = viewer;
    ansiStrings.unicodeStrings = false;
    fixtures::LinkOptions relativeOnly;
    relativeOnly.relativePath = QStringLiteral("..\\Editor.exe");
    return {fixtures::buildLink(viewer), fixtures::buildLink(unicode),
            fixtures::buildLink(ansiStrings), fixtures::buildLink(relativeOnly)};
}

QList<QByteArray> versionFiles()
{
    fixtures::PeOptions wide;
    wide.wide = true;
    fixtures::PeOptions iconFirst;
    iconFirst.iconTypeFirst = true;
    fixtures::ElfOptions narrow;
    narrow.wide = false;
    fixtures::ElfOptions big;
    big.bigEndian = true;
    return {fixtures::buildPe(),  fixtures::buildPe(wide),    fixtures::buildPe(iconFirst),
            fixtures::buildElf(), fixtures::buildElf(narrow), fixtures::buildElf(big)};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QList<std::pair<QString, QList<QByteArray>>> sets = {
        {QStringLiteral("regfile"), registryFiles()},
        {QStringLiteral("shelllink"), shortcuts()},
        {QStringLiteral("versioninfo"), versionFiles()}};
    for (const auto &[name, seeds] : sets) {
        for (qsizetype i = 0; i < seeds.size(); ++i) {
            if (!write(folder + u'/' + name, int(i), seeds[i])) {
                std::fprintf(stderr, "Cannot write the seeds into %s\n", argv[1]);
                return 1;
            }
        }
    }
    return 0;
}
