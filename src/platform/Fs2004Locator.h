// Finds the FS2004 texture folder through the registry of a Wine prefix.
#pragma once

#include "platform/WinePaths.h"

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
// path is mapped through the prefix by wineToLinuxPath, into the folder the drive's link
// points to; when a folder does not exist, the texture folder simply cannot be entered.
Fs2004Location locateFs2004(const QString &winePrefix);

} // namespace platform
