// Small PE and ELF files holding a fixed version block, built byte by byte for the tests of
// the version reader and of the About dialog.
#pragma once

#include "platform/VersionInfo.h"

#include <QByteArray>

#include <cstdint>

namespace fixtures {

// Writes numbers into a byte array in either byte order, growing it as needed.
class Bytes
{
  public:
    explicit Bytes(QByteArray &data, bool bigEndian = false) : m_data(data), m_big(bigEndian) {}

    void put(qsizetype at, std::uint64_t value, int width)
    {
        if (m_data.size() < at + width)
            m_data.resize(at + width, '\0');
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (m_big ? width - 1 - i : i);
            m_data[at + i] = char((value >> shift) & 0xFF);
        }
    }
    void u16(qsizetype at, std::uint64_t v) { put(at, v, 2); }
    void u32(qsizetype at, std::uint64_t v) { put(at, v, 4); }
    void u64(qsizetype at, std::uint64_t v) { put(at, v, 8); }
    void raw(qsizetype at, const QByteArray &bytes)
    {
        if (m_data.size() < at + bytes.size())
            m_data.resize(at + bytes.size(), '\0');
        m_data.replace(at, bytes.size(), bytes);
    }
    void block(qsizetype at, std::uint32_t ms, std::uint32_t ls)
    {
        const std::uint32_t words[13] = {0xFEEF04BD, 0x10000, ms, ls, ms, ls, 0x3F,
                                         0,          0,       1,  0,  0,  0};
        for (int i = 0; i < 13; ++i)
            u32(at + 4 * i, words[i]);
    }

  private:
    QByteArray &m_data;
    bool m_big;
};

// A Windows program with one section, ".rsrc", holding a version resource.
struct PeOptions
{
    bool wide = false;          // PE32+ instead of PE32
    bool iconTypeFirst = false; // another resource type listed before the version type
    std::uint32_t productMS = 0x00040000;
    std::uint32_t productLS = 123;
};

inline constexpr qsizetype peCoff = 0x44;
inline constexpr qsizetype peOptional = peCoff + 20;
inline constexpr qsizetype resourceFile = 0x200; // file offset of the resource data (RVA 0x1000)
inline constexpr qsizetype rootEntries = 16;     // the root directory's entries
inline constexpr qsizetype dataEntry = 0x50;     // offsets inside the resource data
inline constexpr qsizetype versionResource = 0x60;
inline constexpr qsizetype versionLength = 92; // header, key, padding, fixed block

inline QByteArray buildPe(const PeOptions &o = {})
{
    QByteArray data;
    Bytes b(data);
    b.raw(0, "MZ");
    b.u32(0x3C, 0x40);
    b.raw(0x40, QByteArray("PE\0\0", 4));
    b.u16(peCoff, o.wide ? 0x8664 : 0x14C);
    b.u16(peCoff + 2, 1);
    const int optionalSize = o.wide ? 240 : 224;
    b.u16(peCoff + 16, optionalSize);
    b.u16(peOptional, o.wide ? 0x20B : 0x10B);
    const qsizetype directories = peOptional + (o.wide ? 112 : 96);
    b.u32(directories - 4, 16);
    const qsizetype resourceSize = versionResource + versionLength;
    b.u32(directories + 16, 0x1000);
    b.u32(directories + 20, resourceSize);

    const qsizetype section = peOptional + optionalSize;
    b.raw(section, ".rsrc");
    b.u32(section + 8, resourceSize);
    b.u32(section + 12, 0x1000);
    b.u32(section + 16, resourceSize);
    b.u32(section + 20, resourceFile);

    // Type directory, name directory (0x20), language directory (0x38), data entry (0x50).
    const qsizetype r = resourceFile;
    qsizetype entry = r + rootEntries;
    if (o.iconTypeFirst) {
        b.u16(r + 14, 2);
        b.u32(entry, 3);
        b.u32(entry + 4, 0x80000000u | 0x7FFF0000u); // never followed
        entry += 8;
    } else {
        b.u16(r + 14, 1);
    }
    b.u32(entry, 16);
    b.u32(entry + 4, 0x80000000u | 0x20);
    b.u16(r + 0x20 + 14, 1);
    b.u32(r + 0x20 + 16, 1);
    b.u32(r + 0x20 + 20, 0x80000000u | 0x38);
    b.u16(r + 0x38 + 14, 1);
    b.u32(r + 0x38 + 16, 0x409);
    b.u32(r + 0x38 + 20, dataEntry);
    b.u32(r + dataEntry, 0x1000 + versionResource);
    b.u32(r + dataEntry + 4, versionLength);

    const qsizetype v = r + versionResource;
    b.u16(v, versionLength);
    b.u16(v + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (int i = 0; i < 16; ++i)
        b.u16(v + 6 + 2 * i, key[i]);
    b.block(v + 40, o.productMS, o.productLS);
    return data;
}

// An ELF file with a name table and a version section.
struct ElfOptions
{
    bool wide = true;
    bool bigEndian = false;
    QByteArray sectionName = platform::versionSectionName;
    std::uint32_t sectionType = 1; // SHT_PROGBITS
    std::uint64_t sectionSize = 52;
    std::uint32_t productMS = 0x00010002;
    std::uint32_t productLS = 0x00030004;
};

inline constexpr qsizetype elfNames = 0x40;
inline constexpr qsizetype elfBlock = 0x80;
inline constexpr qsizetype elfTable = 0xC0;

inline QByteArray buildElf(const ElfOptions &o = {})
{
    QByteArray data;
    Bytes b(data, o.bigEndian);
    data.resize(16, '\0');
    b.raw(0, QByteArray("\x7f"
                        "ELF",
                        4));
    data[4] = o.wide ? 2 : 1;
    data[5] = o.bigEndian ? 2 : 1;
    data[6] = 1;
    const QByteArray names = QByteArray("\0.shstrtab\0", 11) + o.sectionName + '\0';
    b.raw(elfNames, names);
    b.block(elfBlock, o.productMS, o.productLS);

    const int entrySize = o.wide ? 64 : 40;
    if (o.wide) {
        b.u64(0x28, elfTable);
        b.u16(0x3A, entrySize);
        b.u16(0x3C, 3);
        b.u16(0x3E, 1);
    } else {
        b.u32(0x20, elfTable);
        b.u16(0x2E, entrySize);
        b.u16(0x30, 3);
        b.u16(0x32, 1);
    }
    auto section = [&](int index, std::uint32_t name, std::uint32_t type, std::uint64_t offset,
                       std::uint64_t size) {
        const qsizetype s = elfTable + index * entrySize;
        b.u32(s, name);
        b.u32(s + 4, type);
        if (o.wide) {
            b.u64(s + 0x18, offset);
            b.u64(s + 0x20, size);
            b.u64(s + 0x38, 0);
        } else {
            b.u32(s + 0x10, offset);
            b.u32(s + 0x14, size);
            b.u32(s + 0x24, 0);
        }
    };
    section(0, 0, 0, 0, 0);
    section(1, 1, 3, elfNames, names.size());
    section(2, 11, o.sectionType, elfBlock, o.sectionSize);
    return data;
}

} // namespace fixtures
