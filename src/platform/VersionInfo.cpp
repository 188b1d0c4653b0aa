// Reads the fixed version block from PE resources and from this project's ELF section.
#include "platform/VersionInfo.h"

#include "convlib/ByteReader.h"
#include "platform/Error.h"
#include "platform/FileNames.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace platform {

namespace {

constexpr std::uint16_t resourceTypeVersion = 16;
constexpr std::uint32_t elfNoBits = 8;         // SHT_NOBITS: a section without file data
constexpr qint64 maxVersionResource = 0x10000; // its length field is 16 bits
constexpr qint64 maxSectionNames = 16 * 1024 * 1024;
constexpr std::uint32_t maxElfSections = 1u << 20;
// A device that is no file is read whole, up to this size.
constexpr qint64 maxReadWhole = 256 * 1024 * 1024;

// A structure of the file: a bounds-checked reader of its bytes, offsets relative to it.
using Chunk = kovar::ByteReader;

// The file's bytes through the bounds-checked reader, numbers in the file's byte order.
class Reader
{
  public:
    explicit Reader(std::span<const std::uint8_t> file) : m_file(file), m_in(file, std::string()) {}

    void setBigEndian(bool bigEndian)
    {
        m_order = bigEndian ? Order::BigEndian : Order::LittleEndian;
    }

    Chunk bytes(std::uint64_t offset, std::uint64_t length, const char *what) const
    {
        return Chunk(m_in.bytes(offset, length, what), std::string(), m_order);
    }

    std::uint16_t u16(const Chunk &d, std::uint64_t at) const { return d.u16(at, "a field"); }
    std::uint32_t u32(const Chunk &d, std::uint64_t at) const { return d.u32(at, "a field"); }
    std::uint64_t u64(const Chunk &d, std::uint64_t at) const { return d.u64(at, "a field"); }

    std::uint32_t u32At(std::uint64_t offset, const char *what) const
    {
        return bytes(offset, 4, what).u32(0, what);
    }

    FixedFileInfo fixedFileInfo(const Chunk &data, std::uint64_t at) const
    {
        std::array<std::uint32_t, 13> words{};
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = data.u32(at + 4 * i, "the fixed version block");
        if (words[0] != fixedFileInfoSignature)
            throw Error("the fixed version block has a wrong signature");
        return FixedFileInfo{words[0], words[1], words[2], words[3],  words[4],  words[5], words[6],
                             words[7], words[8], words[9], words[10], words[11], words[12]};
    }

  private:
    using Order = kovar::ByteReader::Order;
    std::span<const std::uint8_t> m_file;
    kovar::ByteReader m_in;
    Order m_order = Order::LittleEndian;
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
        const Chunk coff = m_reader.bytes(std::uint64_t(peOffset) + 4, 20, "COFF header");
        const std::uint16_t sectionCount = m_reader.u16(coff, 2);
        const std::uint16_t optionalSize = m_reader.u16(coff, 16);
        const std::uint64_t optionalOffset = std::uint64_t(peOffset) + 24;
        const Chunk optional = m_reader.bytes(optionalOffset, optionalSize, "optional header");

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

        const Chunk table = m_reader.bytes(optionalOffset + optionalSize,
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
        const Chunk dataEntry = at(std::uint64_t(resourceRva) + target, 16, "resource data entry");
        const std::uint32_t dataRva = m_reader.u32(dataEntry, 0);
        const std::uint32_t dataSize = m_reader.u32(dataEntry, 4);
        const Chunk resource =
            at(dataRva, std::uint32_t(std::min<qint64>(dataSize, maxVersionResource)),
               "version resource");
        return versionBlock(resource);
    }

  private:
    // The file bytes of length bytes at a memory address, all inside one section's file data.
    Chunk at(std::uint64_t rva, std::uint32_t length, const char *what) const
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
        const Chunk header = at(directory, 16, "resource directory");
        const std::uint32_t count =
            std::uint32_t(m_reader.u16(header, 12)) + m_reader.u16(header, 14);
        if (count == 0)
            throw Error("it has no version resource");
        const Chunk entries = at(directory + 16, count * 8, "resource directory");
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
    FixedFileInfo versionBlock(const Chunk &resource) const
    {
        static const char16_t key[] = u"VS_VERSION_INFO";
        constexpr qsizetype keyBytes = sizeof key; // with the terminating zero
        constexpr qsizetype valueAt = (6 + keyBytes + 3) & ~qsizetype(3);
        if (qsizetype(resource.size()) < valueAt)
            throw Error("the version resource is too short");
        const qsizetype length =
            std::min<qsizetype>(m_reader.u16(resource, 0), qsizetype(resource.size()));
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
    const Chunk ident = reader.bytes(0, 16, "ELF identification");
    const int elfClass = ident.u8(4, "ELF class");
    const int byteOrder = ident.u8(5, "ELF byte order");
    if (byteOrder != 1 && byteOrder != 2)
        throw Error("the ELF header names an unknown byte order");
    reader.setBigEndian(byteOrder == 2);
    const bool wide = elfClass == 2;
    if (!wide && elfClass != 1)
        throw Error("the ELF header names an unknown class");

    const Chunk header = reader.bytes(0, wide ? 64 : 52, "ELF header");
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
        const Chunk first = reader.bytes(tableOffset, entrySize, "first section header");
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

    const Chunk table =
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
    const std::span<const std::uint8_t> nameTable =
        reader.bytes(names.offset, names.size, "section name table")
            .bytes(0, names.size, "section name table");
    const QByteArrayView nameBytes(nameTable.data(), qsizetype(nameTable.size()));
    const QByteArrayView wanted(versionSectionName, sizeof versionSectionName); // with its zero
    for (std::uint32_t i = 0; i < count; ++i) {
        const Section s = section(i);
        if (s.name >= std::uint64_t(nameBytes.size()) ||
            !nameBytes.sliced(qsizetype(s.name)).startsWith(wanted))
            continue;
        if (s.type == elfNoBits || s.size < sizeof(FixedFileInfo))
            throw Error("its version section is too short");
        return reader.fixedFileInfo(
            reader.bytes(s.offset, sizeof(FixedFileInfo), "version section"), 0);
    }
    throw Error("it has no version section");
}

FixedFileInfo readAny(std::span<const std::uint8_t> file)
{
    Reader reader(file);
    const std::span<const std::uint8_t> magic =
        reader.bytes(0, 4, "file signature").bytes(0, 4, "file signature");
    if (magic[0] == 'M' && magic[1] == 'Z') {
        PeReader pe(reader);
        return pe.read();
    }
    if (magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
        return readElf(reader);
    throw Error("it is neither a Windows program or library nor an ELF file");
}

// The device's bytes: a file mapped into memory, any other device read whole.
FixedFileInfo readDevice(QIODevice &device)
{
    auto *file = qobject_cast<QFileDevice *>(&device);
    if (file && file->size() > 0) {
        if (uchar *mapped = file->map(0, file->size())) {
            struct Unmap
            {
                QFileDevice *file;
                uchar *mapped;
                ~Unmap() { file->unmap(mapped); }
            } unmap{file, mapped};
            return readAny({mapped, static_cast<std::size_t>(file->size())});
        }
    }
    if (device.size() > maxReadWhole)
        throw Error("it is too large to be read");
    if (!device.seek(0))
        throw Error("cannot seek to its start");
    const QByteArray bytes = device.readAll();
    return readAny({reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size())});
}

QString failure(const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot read the version of \"%1\": %2")
        .arg(displayFileName(name), reason);
}

} // namespace

std::optional<FixedFileInfo> readFixedFileInfo(QIODevice &device, const QString &name,
                                               QString *error)
{
    try {
        return readDevice(device);
    } catch (const std::runtime_error &e) { // ours, and the byte reader's
        if (error)
            *error = failure(name, QString::fromUtf8(e.what()));
    }
    return std::nullopt;
}

std::optional<FixedFileInfo> readFixedFileInfo(const QString &path, QString *error)
{
    QFile file;
    QString reason;
    if (!openForReading(file, path, &reason)) {
        if (error)
            *error = failure(path, reason);
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
