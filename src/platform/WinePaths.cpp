// Maps Windows paths to Linux paths through a Wine prefix, and finds the prefix to use.
#include "platform/WinePaths.h"

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

QString wineToLinuxPath(const QString &winePrefix, const QString &windowsPath,
                        const WinePathOptions &options)
{
    if (winePrefix.isEmpty())
        return QString();
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

    const QString devices = QDir::cleanPath(winePrefix + QStringLiteral("/dosdevices"));
    const QString device = findEntry(devices, root);
    const QString link = devices + u'/' + (device.isEmpty() ? root : device);
    bool missing = device.isEmpty() || !QFileInfo(link).isDir();
    if (missing && options.requireMappedDrive)
        return QString();
    const QString base =
        missing || !options.followDriveLink ? link : QFileInfo(link).canonicalFilePath();

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
    QString local =
        base == QLatin1String("/") ? u'/' + resolved.join(u'/') : base + u'/' + resolved.join(u'/');
    if (rest.endsWith(u'\\'))
        local += u'/';
    return local;
}

QString defaultWinePrefix()
{
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    return prefix.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : prefix;
}

} // namespace platform
