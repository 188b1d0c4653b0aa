// The Western Windows code page (1252), the 8-bit text of files written for the "ANSI"
// code page, such as "REGEDIT4" registry files.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace platform {

// Every byte has a character: the five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the control characters of the same number, as Windows reads them.
QString fromAnsi(QByteArrayView bytes);
// The bytes of the text, or nothing when a character has no byte in the code page.
std::optional<QByteArray> toAnsi(QStringView text);

} // namespace platform
