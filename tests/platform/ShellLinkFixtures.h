// Shortcut files in the Shell Link binary format, built byte by byte for the tests of the
// shortcut reader and of the program button.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace fixtures {

struct LinkOptions
{
    bool idList = false;
    QByteArray ansiBase; // local base path in the code page; empty: no link information
    QByteArray ansiSuffix;
    QString unicodeBase; // when set, the link information carries UTF-16 paths too
    QString unicodeSuffix;
    QString name;
    QString relativePath;
    QString workingDir;
    bool unicodeStrings = true;
};

class Writer
{
  public:
    QByteArray data;
    void u16(std::uint32_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void put(std::uint32_t v, int width)
    {
        for (int i = 0; i < width; ++i)
            data.append(char((v >> (8 * i)) & 0xFF));
    }
    void utf16z(const QString &text)
    {
        for (QChar c : text)
            u16(c.unicode());
        u16(0);
    }
    void patch32(qsizetype at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data[at + i] = char((v >> (8 * i)) & 0xFF);
    }
};

inline QByteArray buildLink(const LinkOptions &o)
{
    std::uint32_t flags = 0;
    if (o.idList)
        flags |= 0x1;
    if (!o.ansiBase.isEmpty())
        flags |= 0x2;
    if (!o.name.isEmpty())
        flags |= 0x4;
    if (!o.relativePath.isEmpty())
        flags |= 0x8;
    if (!o.workingDir.isEmpty())
        flags |= 0x10;
    if (o.unicodeStrings)
        flags |= 0x80;

    Writer w;
    w.u32(0x4C);
    w.data.append(QByteArray::fromHex("0114020000000000C000000000000046"));
    w.u32(flags);
    w.data.append(QByteArray(0x4C - 24, '\0'));
    if (o.idList) {
        w.u16(6);
        w.data.append("\x04\0ab\0\0", 6);
    }
    if (!o.ansiBase.isEmpty()) {
        const qsizetype start = w.data.size();
        const std::uint32_t header = o.unicodeBase.isEmpty() ? 0x1C : 0x24;
        w.u32(0); // size, patched below
        w.u32(header);
        w.u32(1); // volume id and local base path
        w.u32(header);
        const qsizetype offsets = w.data.size();
        w.u32(0);
        w.u32(0);
        w.u32(0);
        if (header == 0x24) {
            w.u32(0);
            w.u32(0);
        }
        w.u32(0x11); // volume id: size, drive type, serial, label offset, empty label
        w.u32(3);
        w.u32(0x1234);
        w.u32(0x10);
        w.data.append('\0');
        w.patch32(offsets, std::uint32_t(w.data.size() - start));
        w.data.append(o.ansiBase).append('\0');
        w.patch32(offsets + 8, std::uint32_t(w.data.size() - start));
        w.data.append(o.ansiSuffix).append('\0');
        if (header == 0x24) {
            w.patch32(offsets + 12, std::uint32_t(w.data.size() - start));
            w.utf16z(o.unicodeBase);
            w.patch32(offsets + 16, std::uint32_t(w.data.size() - start));
            w.utf16z(o.unicodeSuffix);
        }
        w.patch32(start, std::uint32_t(w.data.size() - start));
    }
    auto string = [&](const QString &text) {
        if (text.isEmpty())
            return;
        w.u16(std::uint32_t(text.size()));
        if (o.unicodeStrings) {
            for (QChar c : text)
                w.u16(c.unicode());
        } else {
            w.data.append(text.toLatin1());
        }
    };
    string(o.name);
    string(o.relativePath);
    string(o.workingDir);
    return w.data;
}

} // namespace fixtures
