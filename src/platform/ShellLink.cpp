// Shell Link (".LNK") reading and Windows-to-local path mapping.
#include "platform/ShellLink.h"

#include "platform/Error.h"
#include "platform/WinePaths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

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

QString decodeCodePage(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder(bytes);
}

// Little-endian fields of a byte array; reading past its end throws.
class Bytes
{
  public:
    explicit Bytes(const QByteArray &data) : m_data(data) {}

    void need(qint64 at, qint64 length, const char *what) const
    {
        if (at < 0 || length < 0 || at > m_data.size() || length > m_data.size() - at)
            throw Error(std::string(what) + " runs past the end of the file");
    }
    std::uint32_t u(qint64 at, int width, const char *what) const
    {
        need(at, width, what);
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(m_data[at + i]);
        return value;
    }
    // A zero-terminated string in the system code page, inside [at, end).
    QString ansiz(qint64 at, qint64 end, const char *what) const
    {
        need(at, end - at, what);
        const qsizetype zero = m_data.indexOf('\0', at);
        if (zero < 0 || zero >= end)
            throw Error(std::string(what) + " has no end");
        return decodeCodePage(m_data.mid(at, zero - at));
    }
    // A zero-terminated UTF-16 string inside [at, end).
    QString unicodez(qint64 at, qint64 end, const char *what) const
    {
        QString text;
        for (qint64 i = at;; i += 2) {
            if (i + 2 > end)
                throw Error(std::string(what) + " has no end");
            const auto c = static_cast<char16_t>(u(i, 2, what));
            if (c == 0)
                return text;
            text.append(QChar(c));
        }
    }
    QByteArray mid(qint64 at, qint64 length, const char *what) const
    {
        need(at, length, what);
        return m_data.mid(at, length);
    }

  private:
    const QByteArray &m_data;
};

ShellLink parse(const QByteArray &data)
{
    const Bytes b(data);
    if (b.u(0, 4, "header") != headerSize || b.mid(4, 16, "header") != QByteArray(linkClassId, 16))
        throw Error("it is not a shortcut file");
    const std::uint32_t flags = b.u(20, 4, "header");
    qint64 at = headerSize;
    if (flags & hasTargetIdList)
        at += 2 + b.u(at, 2, "item id list");

    ShellLink link;
    if (flags & hasLinkInfo) {
        const qint64 info = at;
        const std::uint32_t size = b.u(info, 4, "link information");
        b.need(info, size, "link information");
        const qint64 end = info + size;
        const std::uint32_t infoHeader = b.u(info + 4, 4, "link information");
        const std::uint32_t infoFlags = b.u(info + 8, 4, "link information");
        if (!(flags & forceNoLinkInfo) && (infoFlags & volumeIdAndLocalBasePath)) {
            if (infoHeader >= 0x24) {
                const std::uint32_t base = b.u(info + 28, 4, "link information");
                const std::uint32_t suffix = b.u(info + 32, 4, "link information");
                link.targetPath =
                    b.unicodez(info + base, end, "local base path") +
                    (suffix ? b.unicodez(info + suffix, end, "path suffix") : QString());
            } else {
                const std::uint32_t base = b.u(info + 16, 4, "link information");
                const std::uint32_t suffix = b.u(info + 24, 4, "link information");
                link.targetPath = b.ansiz(info + base, end, "local base path") +
                                  (suffix ? b.ansiz(info + suffix, end, "path suffix") : QString());
            }
        }
        at = end;
    }

    // String data: each a 16-bit character count, then the characters.
    const bool unicode = flags & isUnicode;
    auto nextString = [&](const char *what) {
        const std::uint32_t count = b.u(at, 2, what);
        const qint64 bytes = qint64(count) * (unicode ? 2 : 1);
        const qint64 start = at + 2;
        b.need(start, bytes, what);
        at = start + bytes;
        if (!unicode)
            return decodeCodePage(b.mid(start, bytes, what));
        QString text;
        for (qint64 i = start; i < at; i += 2)
            text.append(QChar(char16_t(b.u(i, 2, what))));
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
    return QStringLiteral("Cannot read the shortcut \"%1\": %2").arg(name, reason);
}

} // namespace

std::optional<ShellLink> parseShellLink(const QByteArray &data, const QString &name, QString *error)
{
    try {
        return parse(data);
    } catch (const Error &e) {
        if (error)
            *error = failure(name, QString::fromUtf8(e.what()));
    }
    return std::nullopt;
}

std::optional<ShellLink> readShellLink(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = failure(path, file.errorString());
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
