// The program icon, rendered at every hicolor size, and the windows' own small icon.
#pragma once

#include <QIcon>

namespace about {

// The sizes the icon is rendered at, in pixels, smallest first.
inline constexpr int applicationIconSizes[] = {16, 32, 48, 64, 128, 256};

// The program icon at every size, for the desktop's places.
QIcon applicationIcon();

// The windows' own icon: 32 x 32 pixels in at most 16 colours.
QIcon windowIcon();

} // namespace about
