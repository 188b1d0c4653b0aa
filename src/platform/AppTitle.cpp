// The application's title, derived from the executable's file name.
#include "platform/AppTitle.h"

#include <algorithm>

namespace platform {

QString applicationTitle(const QString &exePath)
{
    const qsizetype slash =
        std::max(exePath.lastIndexOf(QLatin1Char('/')), exePath.lastIndexOf(QLatin1Char('\\')));
    QString name = exePath.mid(slash + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

} // namespace platform
