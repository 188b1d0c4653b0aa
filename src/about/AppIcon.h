// The program's own 32 x 32, 16-colour icon: main window, application and About dialog.
#pragma once

#include <QIcon>

namespace about {

QIcon applicationIcon();

} // namespace about
