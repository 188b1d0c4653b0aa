// Resolves a bare library name to a file the way a program loader searches for it.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The folders searched for a bare name, in order: the program folder, the folders of
// ldLibraryPath, the system library folders, then the folders of path. Both lists are
// colon-separated; empty entries are skipped; a folder listed twice is kept once.
QStringList librarySearchFolders(const QString &programFolder, const QString &ldLibraryPath,
                                 const QStringList &systemFolders, const QString &path);

// The same for the running program: its own folder, LD_LIBRARY_PATH, the private library
// folder of an installed program, the folders of "/etc/ld.so.conf" and the loader's default
// folders, PATH.
QStringList librarySearchFolders();

// The folders named by an ld.so.conf-style file, following its "include" lines (with
// wildcards in the file name), then "/lib" and "/usr/lib". A missing file adds nothing.
QStringList systemLibraryFolders(const QString &confFile = QStringLiteral("/etc/ld.so.conf"));

// The file names tried for a bare name: the name itself, and for "x.dll" also "libx.so".
QStringList libraryFileNames(const QString &bareName);

// The first existing file among folders x libraryFileNames(bareName), folder by folder;
// empty when there is none or when bareName is not a bare file name.
QString findLibrary(const QString &bareName, const QStringList &folders);

} // namespace platform
