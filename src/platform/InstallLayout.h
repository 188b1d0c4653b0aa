// Where the program's own conversion library lives: beside the program in a build or a
// self-contained folder, or in a private library folder of an installation.
#pragma once

#include <QString>

namespace platform {

// The private library folder of an installed program at executableFolder: the folder that the
// program's run path names, such as "<prefix>/lib/tessavane" for "<prefix>/bin". Cleaned,
// without a trailing "/".
QString privateLibraryFolder(const QString &executableFolder);

// True when executableFolder holds an installed program: the conversion library is in the
// private library folder and not beside the program. The folder of an installed program is
// shared with other programs (such as /usr/bin) and never receives the working files.
bool isInstalledProgramFolder(const QString &executableFolder);

} // namespace platform
