// Registry values and the forms of registry file, shared by the dialects and the document.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace platform {

// Registry value types the program names.
namespace regtype {
inline constexpr quint32 None = 0;
inline constexpr quint32 String = 1;
inline constexpr quint32 ExpandString = 2;
inline constexpr quint32 Binary = 3;
inline constexpr quint32 Dword = 4;
inline constexpr quint32 MultiString = 7;

// Text and expandable text.
inline bool isText(quint32 type)
{
    return type == String || type == ExpandString;
}
// Types whose data is text (a list of texts for MultiString).
inline bool holdsText(quint32 type)
{
    return isText(type) || type == MultiString;
}
} // namespace regtype

// "Windows Registry Editor Version 5.00", "REGEDIT4", "WINE REGISTRY Version 2".
enum class RegFormat { Regedit5, Regedit4, Wine2 };

// One registry value: its name, type and the bytes the registry holds.
struct RegValue
{
    QString name; // empty for the key's default value ("@")
    quint32 type = regtype::String;
    QByteArray data; // text types hold UTF-16LE code units

    static RegValue text(const QString &name, const QString &text);
    static RegValue dword(const QString &name, quint32 number);

    // The value as a program reading text from the registry sees it: text and expandable
    // text as stored (up to a terminating zero, nothing expanded); a value of another type
    // that holds no data reads as empty text. Throws Error("Invalid data type for '<name>'")
    // for a value of another type.
    QString toText() const;
};

} // namespace platform
