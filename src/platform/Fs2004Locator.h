// Finds the FS2004 texture folder through the registry of a Wine prefix.
#pragma once

#include <QString>

namespace platform {

struct Fs2004Location
{
    bool found = false;    // the installation key holds a non-empty text "EXE path"
    QString exePath;       // that value, as stored (a Windows path)
    QString textureFolder; // exePath + "\scenery\world\Texture" as a Linux path
};

// Reads <winePrefix>/system.reg (read only): the key
// Software\Microsoft\Microsoft Games\Flight Simulator\9.0, where a 64-bit prefix keeps it
// for 32-bit programs (Software\Wow6432Node\...) or directly, value "EXE path". The Windows
// path is mapped through the prefix's dosdevices folder and resolved component by component
// without regard to case, as Wine does; from the first component that does not exist the
// rest is appended as written, so the folder then simply cannot be entered.
Fs2004Location locateFs2004(const QString &winePrefix);

// Maps a Windows path ("C:\Program Files\...", "\\server\share\...") to a Linux path in the
// prefix as described above; empty for a path without a drive or server.
QString wineToLinuxPath(const QString &winePrefix, const QString &windowsPath);

// ${WINEPREFIX:-$HOME/.wine}
QString defaultWinePrefix();

} // namespace platform
