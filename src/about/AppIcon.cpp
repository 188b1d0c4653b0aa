// The program icon, kept as Qt resources of this library, one rendering per size so that the
// toolkit picks a sharp one for each place and scale.
#include "about/AppIcon.h"

namespace about {

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : applicationIconSizes)
        icon.addFile(QStringLiteral(":/about/icon/%1x%1/apps/" TESSAVANE_APP_ID ".png").arg(size),
                     QSize(size, size));
    return icon;
}

QIcon windowIcon()
{
    return QIcon(QStringLiteral(":/about/windowicon.png"));
}

} // namespace about
