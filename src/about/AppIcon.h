// The program icon, rendered at every hicolor size: main window, application and About dialog.
#pragma once

#include <QIcon>

namespace about {

// The sizes the icon is rendered at, in pixels, smallest first.
inline constexpr int applicationIconSizes[] = {16, 32, 48, 64, 128, 256};

QIcon applicationIcon();

} // namespace about
