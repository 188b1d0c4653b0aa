// What the program's windows share in building their controls: the layout font, handlers
// that report their failures, and push buttons that Enter presses.
#pragma once

#include "platform/ErrorSink.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>

class QPushButton;

namespace controls {

// The layouts place their controls in pixels and never scale, so their text is 11 pixels high
// (8 points at 96 dots per inch) whatever the screen: the family where it is installed, else
// the system's font of the fallback kind.
QFont layoutFont(const QString &family = QStringLiteral("MS Sans Serif"),
                 QFontDatabase::SystemFont fallback = QFontDatabase::GeneralFont);

// Whether the family is installed, so that layoutFont() uses it.
bool hasFontFamily(const QString &family);

// Wraps a handler for connect(): its failure is shown by the one error handler and never
// unwinds through the toolkit's event delivery.
template <class F> auto handler(F f)
{
    return [f] { platform::guarded(f); };
}

// Return and keypad Enter press the button while it has the focus, as Space does.
void pressOnEnter(QPushButton *button);

} // namespace controls
