// The text layer of registry files: a file's bytes as lines of text in its encoding, and text
// back to bytes. It knows nothing of keys and values; the dialects (RegDialect) read and write
// the lines, the document (RegFile) keeps them.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace platform::regtext {

// UTF-8 (a line that is not valid UTF-8 reads as Latin-1), UTF-16LE, or the Windows code page
// of "REGEDIT4" files.
enum class Encoding { Utf8, Utf16Le, Ansi };

// One line of the file as a slice of its bytes, line end included.
struct Line
{
    qsizetype start = 0;
    qsizetype size = 0;
};

// The encoding the first bytes announce: UTF-16LE by its byte-order mark, else UTF-8;
// nothing for UTF-16BE, which registry files never use.
std::optional<Encoding> encodingOf(QByteArrayView bytes);

// The lines of the bytes; the last one may lack a line end. A UTF-16LE line ends at a
// "\n" code unit, never at a 0x0a byte inside another character.
QList<Line> splitLines(QByteArrayView bytes, Encoding encoding);

// The line's text without its line end ("\n" or "\r\n"), and without the byte-order mark when
// the line is the file's first.
QString lineText(QByteArrayView bytes, const Line &line, Encoding encoding);

// The text of some bytes as they stand, line ends included (a UTF-8 byte-order mark at the
// start is kept as U+FEFF).
QString decode(QByteArrayView bytes, Encoding encoding);

// The bytes of the text; nothing when the encoding cannot hold a character (only Ansi).
std::optional<QByteArray> encode(QStringView text, Encoding encoding);

bool endsWithLineEnd(QByteArrayView raw, Encoding encoding);

// Registry text data: UTF-16LE code units.
QByteArray utf16Bytes(QStringView text);
// The code units up to the first zero unit (or the end); an odd last byte is ignored.
QString textUpToZero(QByteArrayView data);
// Every code unit, zeros included.
QString allUnits(QByteArrayView data);

} // namespace platform::regtext
