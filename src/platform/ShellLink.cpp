// Shell Link (".LNK") reading and Windows-to-local path mapping.
#include "platform/ShellLink.h"

#include "convlib/ByteReader.h"
#include "platform/AnsiCodePage.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "platform/WinePaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

constexpr std::uint32_t headerSize = 0x4C;
constexpr std::uint32_t hasTargetIdList = 0x1;
constexpr std::uint32_t hasLinkInfo = 0x2;
constexpr std::uint32_t hasName = 0x4;
constexpr std::uint32_t hasRelativePath = 0x8;
constexpr std::uint32_t hasWorkingDir = 0x10;
constexpr std::uint32_t isUnicode = 0x80;
constexpr std::uint32_t forceNoLinkInfo = 0x100;
constexpr std::uint32_t volumeIdAndLocalBasePath = 0x1;
constexpr qint64 maxLinkFile = 1024 * 1024;

// {00021401-0000-0000-C000-000000000046} as stored (little-endian fields).
const char linkClassId[16] = {0x01,       0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                              char(0xC0), 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// The shortcut's bytes: numbers through the bounds-checked reader, zero-terminated strings
// inside a given end.
class Bytes
{
  public:
    explicit Bytes(const QByteArray &data)
        : m_reader({reinterpret_cast<const std::uint8_t *>(data.constData()),
                    static_cast<std::size_t>(data.size())},
                   std::string())
    {}

    void need(qint64 at, qint64 length, const char *what) const
    {
        if (at < 0 || length < 0)
            throw Error(std::string(what) + " runs past the end of the file");
        m_reader.require(std::uint64_t(at), std::uint64_t(length), what);
    }
    std::uint32_t u16(qint64 at, const char *what) const
    {
        need(at, 2, what);
        return m_reader.u16(std::uint64_t(at), what);
    }
    std::uint32_t u32(qint64 at, const char *what) const
    {
        need(at, 4, what);
        return m_reader.u32(std::uint64_t(at), what);
    }
    QByteArrayView mid(qint64 at, qint64 length, const char *what) const
    {
        need(at, length, what);
        const std::span<const std::uint8_t> part =
            m_reader.bytes(std::uint64_t(at), std::uint64_t(length), what);
        return QByteArrayView(part.data(), qsizetype(part.size()));
    }
    // A zero-terminated string in the system code page, inside [at, end).
    QString ansiz(qint64 at, qint64 end, const char *what) const
    {
        const QByteArrayView text = mid(at, end - at, what);
        const qsizetype zero = text.indexOf('\0');
        if (zero < 0)
            throw Error(std::string(what) + " has no end");
        return fromAnsi(text.first(zero));
    }
    // A zero-terminated UTF-16 string inside [at, end).
    QString unicodez(qint64 at, qint64 end, const char *what) const
    {
        QString text;
        for (qint64 i = at;; i += 2) {
            if (i + 2 > end)
                throw Error(std::string(what) + " has no end");
            const auto c = static_cast<char16_t>(u16(i, what));
            if (c == 0)
                return text;
            text.append(QChar(c));
        }
    }

  private:
    kovar::ByteReader m_reader;
};

ShellLink parse(const QByteArray &data)
{
    const Bytes b(data);
    if (b.u32(0, "header") != headerSize ||
        b.mid(4, 16, "header") != QByteArrayView(linkClassId, 16))
        throw Error("it is not a shortcut file");
    const std::uint32_t flags = b.u32(20, "header");
    qint64 at = headerSize;
    if (flags & hasTargetIdList)
        at += 2 + b.u16(at, "item id list");

    ShellLink link;
    if (flags & hasLinkInfo) {
        const qint64 info = at;
        const std::uint32_t size = b.u32(info, "link information");
        b.need(info, size, "link information");
        const qint64 end = info + size;
        const std::uint32_t infoHeader = b.u32(info + 4, "link information");
        const std::uint32_t infoFlags = b.u32(info + 8, "link information");
        if (!(flags & forceNoLinkInfo) && (infoFlags & volumeIdAndLocalBasePath)) {
            if (infoHeader >= 0x24) {
                const std::uint32_t base = b.u32(info + 28, "link information");
                const std::uint32_t suffix = b.u32(info + 32, "link information");
                link.targetPath =
                    b.unicodez(info + base, end, "local base path") +
                    (suffix ? b.unicodez(info + suffix, end, "path suffix") : QString());
            } else {
                const std::uint32_t base = b.u32(info + 16, "link information");
                const std::uint32_t suffix = b.u32(info + 24, "link information");
                link.targetPath = b.ansiz(info + base, end, "local base path") +
                                  (suffix ? b.ansiz(info + suffix, end, "path suffix") : QString());
            }
        }
        at = end;
    }

    // String data: each a 16-bit character count, then the characters.
    const bool unicode = flags & isUnicode;
    auto nextString = [&](const char *what) {
        const std::uint32_t count = b.u16(at, what);
        const qint64 bytes = qint64(count) * (unicode ? 2 : 1);
        const qint64 start = at + 2;
        b.need(start, bytes, what);
        at = start + bytes;
        if (!unicode)
            return fromAnsi(b.mid(start, bytes, what));
        QString text;
        for (qint64 i = start; i < at; i += 2)
            text.append(QChar(char16_t(b.u16(i, what))));
        return text;
    };
    if (flags & hasName)
        nextString("description");
    if (flags & hasRelativePath)
        link.relativePath = nextString("relative path");
    if (flags & hasWorkingDir)
        link.workingFolder = nextString("working folder");
    if (link.targetPath.isEmpty() && link.relativePath.isEmpty())
        throw Error("it names no local target");
    return link;
}

QString failure(const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot read the shortcut \"%1\": %2").arg(displayFileName(name), reason);
}

} // namespace

std::optional<ShellLink> parseShellLink(const QByteArray &data, const QString &name, QString *error)
{
    try {
        return parse(data);
    } catch (const std::runtime_error &e) { // ours, and the byte reader's
        if (error)
            *error = failure(name, QString::fromUtf8(e.what()));
    }
    return std::nullopt;
}

std::optional<ShellLink> readShellLink(const QString &path, QString *error)
{
    QFile file;
    QString reason;
    if (!openForReading(file, path, &reason)) {
        if (error)
            *error = failure(path, reason);
        return std::nullopt;
    }
    if (file.size() > maxLinkFile) {
        if (error)
            *error = failure(path, QStringLiteral("it is too large for a shortcut"));
        return std::nullopt;
    }
    return parseShellLink(file.readAll(), path, error);
}

QString localPathForWindowsPath(const QString &windowsPath, const QString &winePrefix)
{
    if (windowsPath.startsWith(u'/'))
        return windowsPath;
    return wineToLinuxPath(winePrefix, windowsPath,
                           {.followDriveLink = false, .requireMappedDrive = true});
}

std::optional<ShellLink> resolveShellLink(const QString &path, const QString &winePrefix,
                                          QString *error)
{
    std::optional<ShellLink> link = readShellLink(path, error);
    if (!link)
        return std::nullopt;
    QString target = localPathForWindowsPath(link->targetPath, winePrefix);
    if (target.isEmpty() && !link->relativePath.isEmpty()) {
        QString relative = link->relativePath;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        target = QDir::cleanPath(QFileInfo(path).absoluteDir().filePath(relative));
    }
    if (target.isEmpty()) {
        if (error)
            *error = failure(
                path,
                QStringLiteral("no Wine prefix maps its target \"%1\"").arg(link->targetPath));
        return std::nullopt;
    }
    link->targetPath = target;
    link->workingFolder = localPathForWindowsPath(link->workingFolder, winePrefix);
    return link;
}

} // namespace platform
