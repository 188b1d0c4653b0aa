// Reads and edits registry files: the Windows export format ("Windows Registry Editor
// Version 5.00"), its older ANSI form ("REGEDIT4") and Wine's registry files ("WINE REGISTRY
// Version 2").
//
// Both hold keys as "[path]" headers followed by their values, one value a line:
//   "name"="text"       text (\\ and \" escapes; Wine also knows C escapes and \x hex)
//   @="text"            the key's default value (empty name)
//   "name"=dword:0000001f
//   "name"=hex:01,02    binary; hex(N): any other type N, e.g. hex(2): expandable text as
//                       UTF-16LE bytes; long lists go on with "\" at the end of the line
//   "name"=str(2):"..." Wine's notation for expandable text
//   "name"=-            (export format) the value is deleted
//   [-path]             (export format) the key and everything below it are deleted; the
//                       values above such a line no longer exist
// Wine follows a header with a timestamp and writes "#time=" lines; lines starting with
// "#" or ";" are kept as they are. Files are UTF-8 (with or without BOM) or UTF-16LE with
// BOM; a line that is not valid UTF-8 is read as Latin-1. A new export-format file is
// UTF-16LE with BOM, the form regedit itself writes and imports whatever the names hold.
// "REGEDIT4" files are in the Windows-1252 code page, their hex(N) text values too.
//
// Every line the program does not change is written back byte for byte, in the file's own
// form, so comments, other keys and Wine's metadata survive an edit.
//
// Not supported: UTF-16BE, comments after a value on the same line.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {

// Registry value types the program names.
namespace regtype {
inline constexpr quint32 None = 0;
inline constexpr quint32 String = 1;
inline constexpr quint32 ExpandString = 2;
inline constexpr quint32 Binary = 3;
inline constexpr quint32 Dword = 4;
inline constexpr quint32 MultiString = 7;
} // namespace regtype

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

class RegFile
{
  public:
    enum class Format { Regedit5, Regedit4, Wine2 };
    // Strict rejects any line it does not understand; Lenient keeps such lines as they are
    // and ignores them (for reading files another program maintains).
    enum class Strictness { Strict, Lenient };

    // A new file holding only the format's first line (Regedit5: UTF-16LE with BOM).
    explicit RegFile(Format format = Format::Regedit5);

    // Throws Error naming the file and line when the text is not a registry file.
    static RegFile parse(const QByteArray &bytes, const QString &fileName,
                         Strictness strictness = Strictness::Strict);
    // Reads and parses a file; throws Error naming the file and the reason.
    static RegFile load(const QString &filePath, Strictness strictness = Strictness::Strict);

    Format format() const { return m_format; }
    QByteArray toBytes() const;

    // Key paths are components separated by "\" ("HKEY_CURRENT_USER\Software\KT"); empty
    // components are ignored, and key and value names compare without regard to case.
    bool hasKey(const QString &keyPath) const;
    std::optional<RegValue> value(const QString &keyPath, const QString &name) const;

    // Sets the value, adding the key when missing; a value that exists keeps its place and
    // the spelling of its name. Returns false, changing nothing, when the file already holds
    // the same value. Throws Error when the name cannot be written in this format.
    bool setValue(const QString &keyPath, const RegValue &value);

  private:
    enum class Encoding { Utf8, Utf16Le, Ansi };
    enum class Kind { Other, Version, Key, Value };

    // One line of the file, or several joined by continuation backslashes.
    struct Entry
    {
        Kind kind = Kind::Other;
        qsizetype start = -1; // the bytes as read: a slice of the source, line ends included
        qsizetype size = 0;
        QByteArray raw;        // the bytes of an entry written since (start < 0)
        QString keyPath;       // Key: its folded path; Value: the folded path of its key
        bool live = true;      // false for "[-key]" headers and the values that follow them
        bool deletion = false; // Value: "name"=- ; Key: "[-key]"
        bool blank = false;    // Other: an empty line
        RegValue value;
    };

    struct Line
    {
        qsizetype start = 0;
        qsizetype size = 0; // line end included
    };

    static QString foldKeyPath(const QString &path);
    static QList<Line> splitLines(const QByteArray &bytes, Encoding encoding);
    QString lineText(const QByteArray &bytes, const Line &line) const;
    QByteArray encode(const QString &text) const;
    bool endsWithLineEnd(QByteArrayView raw) const;
    QByteArrayView bytesOf(const Entry &entry) const;
    QString keyHeader(const QString &keyPath) const;
    QString valueLine(const RegValue &value) const;
    QString quote(const QString &text) const;
    qsizetype lastValueIndex(const QString &foldedKey, const QString &name) const;
    qsizetype lastDeletion(const QString &foldedKey) const;
    bool isExportFormat() const { return m_format != Format::Wine2; }
    void ensureLineEnd(qsizetype index);

    Format m_format = Format::Regedit5;
    Encoding m_encoding = Encoding::Utf8;
    QString m_lineEnd;
    bool m_hasVersion = true; // false for a file of blank lines only
    QList<Entry> m_entries;
    QByteArray m_source; // the file as read
};

} // namespace platform
