// The dialects of registry files: how each form writes its first line, key headers and value
// lines, and how it escapes names and text. The Windows export form ("Windows Registry Editor
// Version 5.00"), its ANSI form ("REGEDIT4", whose text in hex(N) data is code-page bytes) and
// Wine's registry files ("WINE REGISTRY Version 2": C escapes, "str(N):" text, a timestamp
// after each key) each have one. Lines reach a dialect as text; the text layer (RegText) turns
// bytes into lines and back.
#pragma once

#include "platform/RegText.h"
#include "platform/RegValue.h"

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <optional>

namespace platform {

// A key header as read: "[path]", or "[-path]" (the key and everything below it deleted).
struct RegKeyLine
{
    QString path;
    bool deletion = false;
};

// A value line as read: the value, or `"name"=-` (the value deleted).
struct RegValueLine
{
    RegValue value;
    bool deletion = false;
};

class RegDialect
{
  public:
    virtual ~RegDialect() = default;

    static const RegDialect &of(RegFormat format);
    // The dialect whose first line the text is; nullptr when it is none.
    static const RegDialect *byFirstLine(QStringView text);

    virtual RegFormat format() const = 0;
    virtual QLatin1String firstLine() const = 0;
    // The encoding of a new file.
    virtual regtext::Encoding newFileEncoding() const = 0;
    // The encoding of a read file whose bytes announced `announced`.
    virtual regtext::Encoding readEncoding(regtext::Encoding announced) const { return announced; }
    // The line end of a new file.
    virtual QLatin1String lineEnd() const { return QLatin1String("\r\n"); }

    // Reading: each returns false and sets reason for a line it cannot read.
    virtual bool readKeyLine(QStringView text, RegKeyLine &out, QString &reason) const;
    // `"name"=` or `@=`; dataPos ends at the data.
    bool readValueName(QStringView text, QString &name, qsizetype &dataPos, QString &reason) const;
    bool readValueData(QStringView data, RegValueLine &out, QString &reason) const;
    // Whether the data of a value line is hexadecimal, whose long lists go on in the next
    // lines after a trailing backslash.
    static bool isHexData(QStringView data);

    // Writing: lines without their line end; a long value takes several lines.
    virtual QString keyLine(const QString &keyPath) const;
    QString valueLine(const RegValue &value, QStringView lineEnd) const;
    // Why the key path or the value's name cannot be written; empty when they can.
    virtual QString refusal(const QString &keyPath, const RegValue &value) const;

  protected:
    // Reads an escaped text from s[pos] (just after the opening character) up to the closing
    // character; pos ends just after it.
    std::optional<QString> unescape(QStringView s, qsizetype &pos, QChar close) const;
    // Reads the escape at s[i] (a backslash with a character after it) into out; returns the
    // index after it. The export forms know only \\ and \" (any other backslash stays as
    // written).
    virtual qsizetype readEscape(QStringView s, qsizetype i, QString &out) const;
    virtual QString quote(QStringView text) const;
    // A text value between quotes, or nothing when it must go as hex.
    virtual std::optional<QString> quotedText(quint32 type, const QString &text) const;
    // Whether text may be written as str(N):"...".
    virtual bool readsTypedText() const { return false; }
    // The hex(N) bytes of text data as the form stores them, and back to UTF-16LE.
    virtual QByteArray textToHex(const QByteArray &utf16) const { return utf16; }
    virtual QByteArray textFromHex(const QByteArray &stored) const { return stored; }
};

} // namespace platform
