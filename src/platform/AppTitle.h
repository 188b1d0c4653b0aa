// The application's title as the program shows it in message boxes and the About dialog.
#pragma once

#include <QString>

namespace platform {

// The executable's file name (without folder) up to its first full stop, with every
// character after the first in lower case: "/opt/bin/TESSAVANE.EXE" gives "Tessavane".
QString applicationTitle(const QString &exePath);

} // namespace platform
