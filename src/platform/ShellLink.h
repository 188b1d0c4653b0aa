// Reads Windows shortcut (".LNK") files and maps Windows paths to local ones.
//
// The reader follows the public Shell Link binary format: the 76-byte header with the
// shell link class id, the optional item id list (skipped), the link information with the
// local base path and common path suffix, and the string data (relative path, working
// folder) in the system code page or UTF-16. Not supported: network targets (they fall back
// to the relative path when the link has one), searching for a moved target, the extra
// data blocks after the string data.
#pragma once

#include <QString>

#include <optional>

class QByteArray;

namespace platform {

struct ShellLink
{
    QString targetPath;    // as stored: usually a Windows path such as "C:\Tools\Viewer.exe"
    QString workingFolder; // as stored; empty when the link names none
    QString relativePath;  // the target relative to the link file, when stored
};

// Parses a shortcut held in data; name stands for it in messages. On failure returns
// nothing and, when error is given, sets it to a message naming the link and the reason.
std::optional<ShellLink> parseShellLink(const QByteArray &data, const QString &name,
                                        QString *error = nullptr);

// Reads and parses the shortcut file at path.
std::optional<ShellLink> readShellLink(const QString &path, QString *error = nullptr);

// The local file for a path read from a shortcut. A drive path ("C:\Tools\x.exe") goes
// through wineToLinuxPath, staying under <winePrefix>/dosdevices/c:; an absolute local path
// stays as it is. Empty when the prefix does not map the path's drive or server.
QString localPathForWindowsPath(const QString &windowsPath, const QString &winePrefix);

// The shortcut's target and working folder as local paths: the stored target path mapped
// through the Wine prefix, or, without one, the relative path taken from the link's folder.
std::optional<ShellLink> resolveShellLink(const QString &path, const QString &winePrefix,
                                          QString *error = nullptr);

} // namespace platform
