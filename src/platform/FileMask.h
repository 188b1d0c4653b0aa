// Wildcard masks over file names, and the listing of the plain files in a folder that match one.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace platform {

// Whether name matches mask: '?' stands for exactly one character, '*' for any run of
// characters (also none); every other character matches itself, letter case ignored.
bool matchesMask(QStringView name, QStringView mask);

// Names (not paths) of the plain files in folder that match mask, sorted by name without
// regard to letter case. Hidden files (names starting with ".") and everything that is not
// a regular file, or a link to one, are left out. Throws platform::Error naming the folder
// and the reason when the folder cannot be read. Folder and names are file names as
// FileNames.h holds them: names that are not valid UTF-8 come back as they are on disk.
QStringList listMatchingFiles(const QString &folder, const QString &mask);

// Names of the subfolders of folder (links to folders included, hidden ones left out), sorted
// and thrown like listMatchingFiles.
QStringList listSubfolders(const QString &folder);

// Orders names without regard to letter case; names that differ only in case keep a fixed
// order. The file list and the folder list sort with it.
bool lessCaseInsensitive(const QString &a, const QString &b);

} // namespace platform
