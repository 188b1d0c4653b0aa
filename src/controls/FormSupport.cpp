#include "controls/FormSupport.h"

#include <QPushButton>

namespace controls {

bool hasFontFamily(const QString &family)
{
    return QFontDatabase::families().contains(family);
}

QFont layoutFont(const QString &family, QFontDatabase::SystemFont fallback)
{
    QFont font = hasFontFamily(family) ? QFont(family) : QFontDatabase::systemFont(fallback);
    font.setPixelSize(11);
    return font;
}

void pressOnEnter(QPushButton *button)
{
    // An auto-default button takes Return and Enter while focused, also outside a dialog.
    button->setAutoDefault(true);
}

} // namespace controls
