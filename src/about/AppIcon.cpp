// The program icon, kept as a Qt resource of this library.
#include "about/AppIcon.h"

namespace about {

QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/about/appicon.png"));
}

} // namespace about
