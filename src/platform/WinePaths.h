// Maps Windows paths to Linux paths through a Wine prefix, and finds the prefix to use.
#pragma once

#include <QString>

namespace platform {

struct WinePathOptions
{
    // Start from the folder that the drive's link in dosdevices points to; otherwise from
    // dosdevices/<drive> as the link stands.
    bool followDriveLink = true;
    // A drive or server that the prefix does not map gives an empty result; otherwise the
    // path under dosdevices, which then does not exist.
    bool requireMappedDrive = false;
};

// Maps a Windows path ("C:\Program Files\...", "\\server\share\...") to a Linux path through
// <winePrefix>/dosdevices ("c:", "unc"). "\" and "/" both separate names; "." and ".." are
// resolved by the text alone, as Windows does, before any folder is looked at. Each name is
// matched without regard to case, as Wine does; from the first name that does not exist the
// rest is appended as written, so the path then simply does not exist. A trailing separator
// after a name stays. Empty for a path without a drive or server, or without a prefix.
QString wineToLinuxPath(const QString &winePrefix, const QString &windowsPath,
                        const WinePathOptions &options = {});

// ${WINEPREFIX:-$HOME/.wine}
QString defaultWinePrefix();

} // namespace platform
