// Finds the FS2004 texture folder through the registry of a Wine prefix.
#include "platform/Fs2004Locator.h"

#include "platform/Error.h"
#include "platform/RegFile.h"

#include <QFileInfo>
#include <QStringList>

namespace platform {

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

} // namespace platform
