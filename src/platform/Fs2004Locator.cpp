// Finds the FS2004 texture folder through the registry of a Wine prefix.
#include "platform/Fs2004Locator.h"

#include "platform/Error.h"
#include "platform/RegFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace platform {

namespace {

// The name in folder that equals name without regard to case (an exact match first), or an
// empty text.
QString findEntry(const QString &folder, const QString &name)
{
    if (QFileInfo::exists(folder + u'/' + name))
        return name;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (QString::compare(entry, name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return QString();
}

} // namespace

QString wineToLinuxPath(const QString &winePrefix, const QString &windowsPath)
{
    const QString devices = winePrefix + QStringLiteral("/dosdevices");
    QString root;
    QString rest;
    if (windowsPath.size() >= 2 && windowsPath[1] == u':' && windowsPath[0].isLetter() &&
        windowsPath[0].unicode() < 128) {
        root = windowsPath.left(2).toLower();
        rest = windowsPath.mid(2);
    } else if (windowsPath.startsWith(QLatin1String("\\\\"))) {
        root = QStringLiteral("unc");
        rest = windowsPath.mid(2);
    } else {
        return QString();
    }

    const QString device = findEntry(devices, root);
    const QString canonical =
        device.isEmpty() ? QString() : QFileInfo(devices + u'/' + device).canonicalFilePath();
    bool missing = canonical.isEmpty();
    const QString base = missing ? devices + u'/' + root : canonical;

    // Windows drops "." and resolves ".." by the text alone, before touching any folder.
    rest.replace(u'/', u'\\');
    QStringList parts;
    for (const QString &part : rest.split(u'\\', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != QLatin1String("."))
            parts.append(part);
    }

    QStringList resolved;
    for (const QString &part : parts) {
        const QString folder = resolved.isEmpty() ? base : base + u'/' + resolved.join(u'/');
        const QString found = missing ? QString() : findEntry(folder, part);
        missing = found.isEmpty();
        resolved.append(missing ? part : found);
    }
    if (resolved.isEmpty())
        return base;
    return base == QLatin1String("/") ? u'/' + resolved.join(u'/')
                                      : base + u'/' + resolved.join(u'/');
}

Fs2004Location locateFs2004(const QString &winePrefix)
{
    Fs2004Location location;
    const QString registryPath = winePrefix + QStringLiteral("/system.reg");
    if (!QFileInfo(registryPath).isFile())
        return location;
    try {
        const RegFile registry = RegFile::load(registryPath, RegFile::Strictness::Lenient);
        // A 64-bit prefix keeps the keys of 32-bit programs such as FS2004 under Wow6432Node.
        const QStringList keys = {
            QStringLiteral("Software\\Wow6432Node\\Microsoft\\Microsoft Games\\Flight "
                           "Simulator\\9.0"),
            QStringLiteral("Software\\Microsoft\\Microsoft Games\\Flight Simulator\\9.0"),
        };
        for (const QString &key : keys) {
            const std::optional<RegValue> value = registry.value(key, QStringLiteral("EXE path"));
            if (!value)
                continue;
            try {
                location.exePath = value->toText();
            } catch (const Error &) {
                continue; // not text: as if there were no installation
            }
            if (!location.exePath.isEmpty())
                break;
        }
    } catch (const Error &) {
        return location; // an unreadable registry: FS2004 is not found
    }
    if (location.exePath.isEmpty())
        return location;
    location.found = true;
    location.textureFolder =
        wineToLinuxPath(winePrefix, location.exePath + QStringLiteral("\\scenery\\world\\Texture"));
    return location;
}

QString defaultWinePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : prefix;
}

} // namespace platform
