// Reads the fixed version block from PE resources and from this project's ELF section.
#include "platform/VersionInfo.h"

#include "platform/Error.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace platform {

namespace {

constexpr std::uint16_t resourceTypeVersion = 16;
constexpr std::uint32_t elfNoBits = 8;         // SHT_NOBITS: a section without file data
constexpr qint64 maxVersionResource = 0x10000; // its length field is 16 bits
constexpr qint64 maxSectionNames = 16 * 1024 * 1024;
constexpr std::uint32_t maxElfSections = 1u << 20;

// Bounds-checked random access to the device; every failure throws with a reason.
class Reader
{
  public:
    Reader(QIODevice &device, bool bigEndian)
        : m_device(device), m_size(device.size()), m_bigEndian(bigEndian)
    {}

    void setBigEndian(bool bigEndian) { m_bigEndian = bigEndian; }

    QByteArray bytes(std::uint64_t offset, std::uint64_t length, const char *what) const
    {
        const auto size = static_cast<std::uint64_t>(m_size);
        if (offset > size || length > size - offset)
            throw Error(std::string(what) + " lies beyond the end of the file");
        if (!m_device.seek(static_cast<qint64>(offset)))
            throw Error(std::string("cannot seek to the ") + what);
        QByteArray data = m_device.read(static_cast<qint64>(length));
        if (static_cast<std::uint64_t>(data.size()) != length)
            throw Error(std::string("cannot read the ") + what);
        return data;
    }

    std::uint64_t number(const QByteArray &data, qsizetype at, int width) const
    {
        if (at < 0 || at + width > data.size())
            throw Error("a field lies outside its structure");
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const auto byte =
                static_cast<unsigned char>(data[at + (m_bigEndian ? i : width - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }
    std::uint16_t u16(const QByteArray &d, qsizetype at) const
    {
        return std::uint16_t(number(d, at, 2));
    }
    std::uint32_t u32(const QByteArray &d, qsizetype at) const
    {
        return std::uint32_t(number(d, at, 4));
    }
    std::uint64_t u64(const QByteArray &d, qsizetype at) const { return number(d, at, 8); }

    std::uint32_t u32At(std::uint64_t offset, const char *what) const
    {
        return u32(bytes(offset, 4, what), 0);
    }

    FixedFileInfo fixedFileInfo(const QByteArray &data, qsizetype at) const
    {
        std::array<std::uint32_t, 13> words{};
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = u32(data, at + qsizetype(4 * i));
        if (words[0] != fixedFileInfoSignature)
            throw Error("the fixed version block has a wrong signature");
        return FixedFileInfo{words[0], words[1], words[2], words[3],  words[4],  words[5], words[6],
                             words[7], words[8], words[9], words[10], words[11], words[12]};
    }

  private:
    QIODevice &m_device;
    qint64 m_size;
    bool m_bigEndian;
};

// A PE section's place in memory and in the file.
struct PeSection
{
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

class PeReader
{
  public:
    explicit PeReader(Reader &reader) : m_reader(reader) {}

    FixedFileInfo read()
    {
        const std::uint32_t peOffset = m_reader.u32At(0x3C, "PE header offset");
        if (m_reader.u32At(peOffset, "PE signature") != 0x00004550)
            throw Error("it has a DOS header but no PE signature");
        const QByteArray coff = m_reader.bytes(std::uint64_t(peOffset) + 4, 20, "COFF header");
        const std::uint16_t sectionCount = m_reader.u16(coff, 2);
        const std::uint16_t optionalSize = m_reader.u16(coff, 16);
        const std::uint64_t optionalOffset = std::uint64_t(peOffset) + 24;
        const QByteArray optional = m_reader.bytes(optionalOffset, optionalSize, "optional header");

        qsizetype directories = 0;
        const std::uint16_t magic = m_reader.u16(optional, 0);
        if (magic == 0x10B)
            directories = 96;
        else if (magic == 0x20B)
            directories = 112;
        else
            throw Error("the optional header has an unknown magic number");
        const std::uint32_t directoryCount = m_reader.u32(optional, directories - 4);
        if (directoryCount < 3)
            throw Error("it has no resources");
        const std::uint32_t resourceRva = m_reader.u32(optional, directories + 2 * 8);
        if (resourceRva == 0)
            throw Error("it has no resources");

        const QByteArray table = m_reader.bytes(optionalOffset + optionalSize,
                                                std::uint64_t(sectionCount) * 40, "section table");
        for (qsizetype i = 0; i < sectionCount; ++i)
            m_sections.push_back({m_reader.u32(table, 40 * i + 12),
                                  m_reader.u32(table, 40 * i + 16),
                                  m_reader.u32(table, 40 * i + 20)});

        // Resource directory: type, then name, then language; every offset is relative to
        // the start of the resource data, and the fixed depth rules out loops.
        const std::uint64_t typeEntry = findEntry(resourceRva, resourceTypeVersion);
        const std::uint64_t nameDirectory = subdirectory(resourceRva, typeEntry);
        const std::uint64_t nameEntry = findEntry(nameDirectory, std::nullopt);
        const std::uint64_t languageDirectory = subdirectory(resourceRva, nameEntry);
        const std::uint64_t languageEntry = findEntry(languageDirectory, std::nullopt);
        const std::uint32_t target = m_reader.u32(at(languageEntry, 8, "resource entry"), 4);
        if (target & 0x80000000u)
            throw Error("the version resource directory is nested too deeply");
        const QByteArray dataEntry =
            at(std::uint64_t(resourceRva) + target, 16, "resource data entry");
        const std::uint32_t dataRva = m_reader.u32(dataEntry, 0);
        const std::uint32_t dataSize = m_reader.u32(dataEntry, 4);
        const QByteArray resource =
            at(dataRva, std::uint32_t(std::min<qint64>(dataSize, maxVersionResource)),
               "version resource");
        return versionBlock(resource);
    }

  private:
    // The file bytes of length bytes at a memory address, all inside one section's file data.
    QByteArray at(std::uint64_t rva, std::uint32_t length, const char *what) const
    {
        for (const PeSection &s : m_sections) {
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
                const std::uint64_t into = rva - s.virtualAddress;
                if (length > s.rawSize - into)
                    throw Error(std::string(what) + " runs past the end of its section");
                return m_reader.bytes(s.rawOffset + into, length, what);
            }
        }
        throw Error(std::string(what) + " lies outside every section");
    }

    // The address of the entry with the given id, or of the first entry when id is empty.
    std::uint64_t findEntry(std::uint64_t directory, std::optional<std::uint16_t> id) const
    {
        const QByteArray header = at(directory, 16, "resource directory");
        const std::uint32_t count =
            std::uint32_t(m_reader.u16(header, 12)) + m_reader.u16(header, 14);
        if (count == 0)
            throw Error("it has no version resource");
        const QByteArray entries = at(directory + 16, count * 8, "resource directory");
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t name = m_reader.u32(entries, 8 * i);
            if (!id || (!(name & 0x80000000u) && (name & 0xFFFF) == *id))
                return directory + 16 + 8 * i;
        }
        throw Error("it has no version resource");
    }

    std::uint64_t subdirectory(std::uint64_t base, std::uint64_t entry) const
    {
        const std::uint32_t target = m_reader.u32(at(entry, 8, "resource entry"), 4);
        if (!(target & 0x80000000u))
            throw Error("the version resource directory is incomplete");
        return base + (target & 0x7FFFFFFFu);
    }

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO" in UTF-16,
    // padding to four bytes, then the fixed block.
    FixedFileInfo versionBlock(const QByteArray &resource) const
    {
        static const char16_t key[] = u"VS_VERSION_INFO";
        constexpr qsizetype keyBytes = sizeof key; // with the terminating zero
        constexpr qsizetype valueAt = (6 + keyBytes + 3) & ~qsizetype(3);
        if (resource.size() < valueAt)
            throw Error("the version resource is too short");
        const qsizetype length = std::min<qsizetype>(m_reader.u16(resource, 0), resource.size());
        for (qsizetype i = 0; i < keyBytes / 2; ++i)
            if (m_reader.u16(resource, 6 + 2 * i) != key[i])
                throw Error("the version resource has no VS_VERSION_INFO key");
        if (m_reader.u16(resource, 2) < sizeof(FixedFileInfo) ||
            length < valueAt + qsizetype(sizeof(FixedFileInfo)))
            throw Error("the version resource has no fixed version block");
        return m_reader.fixedFileInfo(resource, valueAt);
    }

    Reader &m_reader;
    std::vector<PeSection> m_sections;
};

FixedFileInfo readElf(Reader &reader)
{
    const QByteArray ident = reader.bytes(0, 16, "ELF identification");
    const char elfClass = ident[4];
    if (ident[5] != 1 && ident[5] != 2)
        throw Error("the ELF header names an unknown byte order");
    reader.setBigEndian(ident[5] == 2);
    const bool wide = elfClass == 2;
    if (!wide && elfClass != 1)
        throw Error("the ELF header names an unknown class");

    const QByteArray header = reader.bytes(0, wide ? 64 : 52, "ELF header");
    const std::uint64_t tableOffset = wide ? reader.u64(header, 0x28) : reader.u32(header, 0x20);
    const std::uint16_t entrySize = reader.u16(header, wide ? 0x3A : 0x2E);
    std::uint32_t count = reader.u16(header, wide ? 0x3C : 0x30);
    std::uint32_t namesIndex = reader.u16(header, wide ? 0x3E : 0x32);
    const qsizetype minEntry = wide ? 64 : 40;
    if (tableOffset == 0)
        throw Error("it has no section table");
    if (entrySize < minEntry)
        throw Error("its section headers are too small");

    // Counts too large for the header live in the first section header.
    if (count == 0 || namesIndex == 0xFFFF) {
        const QByteArray first = reader.bytes(tableOffset, entrySize, "first section header");
        if (count == 0)
            count = std::uint32_t(std::min<std::uint64_t>(
                wide ? reader.u64(first, 0x20) : reader.u32(first, 0x14), maxElfSections + 1));
        if (namesIndex == 0xFFFF)
            namesIndex = reader.u32(first, wide ? 0x28 : 0x18);
    }
    if (count > maxElfSections)
        throw Error("its section table is implausibly large");
    if (namesIndex >= count)
        throw Error("its section name table is missing");

    const QByteArray table =
        reader.bytes(tableOffset, std::uint64_t(count) * entrySize, "section table");
    struct Section
    {
        std::uint32_t name, type;
        std::uint64_t offset, size;
    };
    auto section = [&](std::uint32_t i) {
        const qsizetype s = qsizetype(i) * entrySize;
        if (wide)
            return Section{reader.u32(table, s), reader.u32(table, s + 4),
                           reader.u64(table, s + 0x18), reader.u64(table, s + 0x20)};
        return Section{reader.u32(table, s), reader.u32(table, s + 4), reader.u32(table, s + 0x10),
                       reader.u32(table, s + 0x14)};
    };

    const Section names = section(namesIndex);
    if (names.type == elfNoBits || names.size > std::uint64_t(maxSectionNames))
        throw Error("its section name table is damaged");
    const QByteArray nameTable = reader.bytes(names.offset, names.size, "section name table");
    const QByteArray wanted(versionSectionName, sizeof versionSectionName); // with its zero
    for (std::uint32_t i = 0; i < count; ++i) {
        const Section s = section(i);
        if (s.name >= std::uint64_t(nameTable.size()) ||
            nameTable.mid(s.name, wanted.size()) != wanted)
            continue;
        if (s.type == elfNoBits || s.size < sizeof(FixedFileInfo))
            throw Error("its version section is too short");
        return reader.fixedFileInfo(
            reader.bytes(s.offset, sizeof(FixedFileInfo), "version section"), 0);
    }
    throw Error("it has no version section");
}

FixedFileInfo readAny(QIODevice &device)
{
    Reader reader(device, false);
    const QByteArray magic = reader.bytes(0, 4, "file signature");
    if (magic.startsWith("MZ")) {
        PeReader pe(reader);
        return pe.read();
    }
    if (magic == QByteArray("\x7f"
                            "ELF"))
        return readElf(reader);
    throw Error("it is neither a Windows program or library nor an ELF file");
}

QString failure(const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot read the version of \"%1\": %2").arg(name, reason);
}

} // namespace

std::optional<FixedFileInfo> readFixedFileInfo(QIODevice &device, const QString &name,
                                               QString *error)
{
    try {
        return readAny(device);
    } catch (const Error &e) {
        if (error)
            *error = failure(name, QString::fromUtf8(e.what()));
    }
    return std::nullopt;
}

std::optional<FixedFileInfo> readFixedFileInfo(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = failure(path, file.errorString());
        return std::nullopt;
    }
    return readFixedFileInfo(file, path, error);
}

QString productVersionText(const FixedFileInfo &info)
{
    return QString::number(info.productVersionMS >> 16) + QStringLiteral(".00.") +
           QString::number(static_cast<std::int32_t>(info.productVersionLS));
}

} // namespace platform
