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
// Three layers: the text layer (RegText.h) turns bytes into lines per encoding, the dialects
// (RegDialect.h) read and write the lines of each form, and this document keeps the lines,
// looks values up and changes them.
//
// Not supported: UTF-16BE, comments after a value on the same line.
#pragma once

#include "platform/RegText.h"
#include "platform/RegValue.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace platform {

class RegDialect;

class RegFile
{
  public:
    using Format = RegFormat;
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

    Format format() const;
    QByteArray toBytes() const;

    // Key paths are components separated by "\" ("HKEY_CURRENT_USER\Software\KT"); empty
    // components are ignored, and key and value names compare without regard to case.
    bool hasKey(const QString &keyPath) const;
    std::optional<RegValue> value(const QString &keyPath, const QString &name) const;

    // Whether the file's encoding holds every character of the key path, the value's name
    // and its text (false only for the code page of a "REGEDIT4" file).
    bool canEncode(const QString &keyPath, const RegValue &value) const;

    // Sets the value, adding the key when missing; a value that exists keeps its place and
    // the spelling of its name. Returns false, changing nothing, when the file already holds
    // the same value. Throws Error when the name cannot be written in this format.
    bool setValue(const QString &keyPath, const RegValue &value);

    // The same document in the other export form (Regedit4 to Regedit5 or back), in that
    // form's own encoding and line end: every key, value and comment kept, each line written
    // anew only where the form changes it (the first line, hex(N) text data). Throws Error
    // for Wine files, and when the Regedit4 code page cannot hold a line.
    RegFile convertedTo(Format format) const;

  private:
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

    // Where parse() is in the file: the key whose values follow.
    struct ReadState
    {
        QString key;
        bool inKey = false;
        bool keyLive = false;
    };

    static QString foldKeyPath(const QString &path);
    void readLineEnd(const QList<regtext::Line> &lines);
    bool readKey(QStringView text, Entry &entry, ReadState &state, QString &reason) const;
    // Reads a value line and the lines it goes on in; fatal is set when no reading of the
    // file, however lenient, can go on.
    bool readValue(const QList<regtext::Line> &lines, qsizetype &index, QStringView text,
                   Entry &entry, const ReadState &state, QString &reason, bool &fatal) const;
    QString lineText(const regtext::Line &line) const;
    QByteArray encode(const QString &text) const;
    QByteArrayView bytesOf(const Entry &entry) const;
    qsizetype lastValueIndex(const QString &foldedKey, const QString &name) const;
    qsizetype lastDeletion(const QString &foldedKey) const;
    qsizetype insertionPoint(qsizetype header) const;
    void ensureLineEnd(qsizetype index);
    Entry newLine(Kind kind, const QString &text) const;

    const RegDialect *m_dialect = nullptr;
    regtext::Encoding m_encoding = regtext::Encoding::Utf8;
    QString m_lineEnd;
    bool m_hasVersion = true; // false for a file of blank lines only
    QList<Entry> m_entries;
    QByteArray m_source; // the file as read
};

} // namespace platform
