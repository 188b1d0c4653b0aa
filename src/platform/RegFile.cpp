// Reads and edits registry files, writing back every untouched line byte for byte.
#include "platform/RegFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace platform {

namespace {

constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

QLatin1String regeditFirstLine()
{
    return QLatin1String("Windows Registry Editor Version 5.00");
}
QLatin1String regedit4FirstLine()
{
    return QLatin1String("REGEDIT4");
}
QLatin1String wineFirstLine()
{
    return QLatin1String("WINE REGISTRY Version 2");
}

[[noreturn]] void fail(const QString &message)
{
    throw Error(message.toStdString());
}

QByteArray utf16Bytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xff));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

char16_t utf16Unit(const QByteArray &data, qsizetype index)
{
    return char16_t(uchar(data[2 * index]) | (uchar(data[2 * index + 1]) << 8));
}

// UTF-16LE code units up to the first zero unit (or the end).
QString textUpToZero(const QByteArray &data)
{
    QString out;
    const qsizetype units = data.size() / 2;
    out.reserve(units);
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = utf16Unit(data, i);
        if (unit == 0)
            break;
        out.append(QChar(unit));
    }
    return out;
}

// Every UTF-16LE code unit of the data, zeros included.
QString allUnits(const QByteArray &data)
{
    QString out(data.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = QChar(utf16Unit(data, i));
    return out;
}

bool isTextType(quint32 type)
{
    return type == regtype::String || type == regtype::ExpandString;
}

// Types whose data is text (a list of texts for MultiString).
bool holdsText(quint32 type)
{
    return isTextType(type) || type == regtype::MultiString;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Parses 1 to 8 hexadecimal digits.
std::optional<quint32> parseHex32(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    quint32 value = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + quint32(d);
    }
    return value;
}

// Reads an escaped text from s[pos] (just after the opening character) up to the closing
// character; pos ends just after the closing character. The export format knows only \\ and
// \" (any other backslash stays as written); Wine also knows C escapes, octal and \x hex.
std::optional<QString> readEscaped(QStringView s, qsizetype &pos, QChar close,
                                   RegFile::Format format)
{
    QString out;
    qsizetype i = pos;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == close) {
            pos = i + 1;
            return out;
        }
        if (c != u'\\' || i + 1 >= s.size()) {
            out += c;
            ++i;
            continue;
        }
        const QChar next = s[i + 1];
        if (format != RegFile::Format::Wine2) {
            if (next == u'\\' || next == u'"') {
                out += next;
                i += 2;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        i += 2;
        switch (next.unicode()) {
        case 'a':
            out += QChar(7);
            break;
        case 'b':
            out += QChar(8);
            break;
        case 'e':
            out += QChar(27);
            break;
        case 'f':
            out += QChar(12);
            break;
        case 'n':
            out += QChar(10);
            break;
        case 'r':
            out += QChar(13);
            break;
        case 't':
            out += QChar(9);
            break;
        case 'v':
            out += QChar(11);
            break;
        case 'x': {
            char16_t unit = 0;
            for (int n = 0; n < 4 && i < s.size() && hexDigit(s[i]) >= 0; ++n, ++i)
                unit = char16_t(unit * 16 + hexDigit(s[i]));
            out += QChar(unit);
            break;
        }
        default:
            if (next >= u'0' && next <= u'7') {
                char16_t unit = char16_t(next.unicode() - '0');
                for (int n = 1; n < 3 && i < s.size() && s[i] >= u'0' && s[i] <= u'7'; ++n, ++i)
                    unit = char16_t(unit * 8 + (s[i].unicode() - '0'));
                out += QChar(unit);
            } else {
                out += next;
            }
        }
    }
    return std::nullopt;
}

// Escapes text the way Wine writes it: printable ASCII as is (backslash and the two quote
// characters escaped), control characters as C or octal escapes, the rest as \x hex.
QString wineEscape(QStringView text, QChar quoteA, QChar quoteB)
{
    static const char controlEscapes[33] = ".......abtnvfr.............e....";
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hasNext = i + 1 < text.size();
        const QChar next = hasNext ? text[i + 1] : QChar();
        if (c > 127) {
            const bool pad = hasNext && next.unicode() < 128 && hexDigit(next) >= 0;
            out += QStringLiteral("\\x") + QString::number(c, 16).rightJustified(pad ? 4 : 0, u'0');
        } else if (c < 32) {
            out += u'\\';
            if (controlEscapes[c] != '.')
                out += QLatin1Char(controlEscapes[c]);
            else if (hasNext && next >= u'0' && next <= u'7')
                out += QString::number(c, 8).rightJustified(3, u'0');
            else
                out += QString::number(c, 8);
        } else {
            if (c == u'\\' || c == quoteA || c == quoteB)
                out += u'\\';
            out += QChar(c);
        }
    }
    return out;
}

// Text the export format can hold between quotes on one line.
bool fitsOnExportLine(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    }
    return text.isValidUtf16();
}

struct ParsedValue
{
    RegValue value;
    bool deletion = false;
};

// Reads `"name"=` or `@=`; dataPos ends at the data.
bool parseValueName(QStringView text, RegFile::Format format, QString &name, qsizetype &dataPos,
                    QString &reason)
{
    qsizetype pos = 1;
    if (text.startsWith(u'@')) {
        name.clear();
    } else {
        const std::optional<QString> quoted = readEscaped(text, pos, u'"', format);
        if (!quoted) {
            reason = QStringLiteral("the value name has no closing quote");
            return false;
        }
        name = *quoted;
    }
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    if (pos >= text.size() || text[pos] != u'=') {
        reason = QStringLiteral("\"=\" is missing after the value name");
        return false;
    }
    ++pos;
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    dataPos = pos;
    return true;
}

// Reads "(N):" after "hex" or "str"; pos ends after the colon.
bool parseTypeSuffix(QStringView data, qsizetype &pos, quint32 &type)
{
    if (pos < data.size() && data[pos] == u'(') {
        const qsizetype close = data.indexOf(u')', pos);
        if (close < 0)
            return false;
        const std::optional<quint32> number = parseHex32(data.mid(pos + 1, close - pos - 1));
        if (!number)
            return false;
        type = *number;
        pos = close + 1;
    }
    if (pos >= data.size() || data[pos] != u':')
        return false;
    ++pos;
    return true;
}

bool parseValueData(QStringView data, RegFile::Format format, ParsedValue &out, QString &reason)
{
    data = data.trimmed();
    if (data == u"-") {
        out.deletion = true;
        return true;
    }
    const bool wineText =
        format == RegFile::Format::Wine2 && data.startsWith(u"str", Qt::CaseInsensitive);
    if (data.startsWith(u'"') || wineText) {
        qsizetype pos = 0;
        out.value.type = regtype::String;
        if (wineText) {
            pos = 3;
            if (!parseTypeSuffix(data, pos, out.value.type) || !data.mid(pos).startsWith(u'"')) {
                reason = QStringLiteral("the text type is not written as str(N):");
                return false;
            }
        }
        ++pos;
        const std::optional<QString> text = readEscaped(data, pos, u'"', format);
        if (!text) {
            reason = QStringLiteral("the text has no closing quote");
            return false;
        }
        if (!data.mid(pos).trimmed().isEmpty()) {
            reason = QStringLiteral("unexpected characters after the closing quote");
            return false;
        }
        out.value.data = utf16Bytes(*text);
        return true;
    }
    if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = data.mid(6).trimmed();
        out.value.type = regtype::Dword;
        if (digits.isEmpty())
            return true; // a number without data
        const std::optional<quint32> number = parseHex32(digits);
        if (!number) {
            reason = QStringLiteral("a dword value needs 1 to 8 hexadecimal digits");
            return false;
        }
        out.value = RegValue::dword(QString(), *number);
        return true;
    }
    if (data.startsWith(u"hex", Qt::CaseInsensitive)) {
        qsizetype pos = 3;
        out.value.type = regtype::Binary;
        if (!parseTypeSuffix(data, pos, out.value.type)) {
            reason = QStringLiteral("the hexadecimal data is not written as hex: or hex(N):");
            return false;
        }
        const QStringView list = data.mid(pos).trimmed();
        if (list.isEmpty())
            return true;
        const QList<QStringView> bytes = list.split(u',');
        out.value.data.reserve(bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const QStringView token = bytes[i].trimmed();
            if (token.isEmpty() && i == bytes.size() - 1 && i > 0)
                break; // a comma after the last byte
            const std::optional<quint32> byte =
                token.size() <= 2 ? parseHex32(token) : std::nullopt;
            if (!byte) {
                reason = QStringLiteral("\"%1\" is not a hexadecimal byte").arg(token);
                return false;
            }
            out.value.data.append(char(*byte));
        }
        return true;
    }
    reason = QStringLiteral("the value data is neither text, dword: nor hex:");
    return false;
}

struct KeyHeader
{
    QString path;
    bool deletion = false;
};

bool parseKeyHeader(QStringView text, RegFile::Format format, KeyHeader &out, QString &reason)
{
    if (format != RegFile::Format::Wine2) {
        if (!text.endsWith(u']')) {
            reason = QStringLiteral("the key name does not end with \"]\"");
            return false;
        }
        QStringView inner = text.mid(1, text.size() - 2);
        out.deletion = inner.startsWith(u'-');
        out.path = (out.deletion ? inner.mid(1) : inner).toString();
    } else {
        qsizetype pos = 1;
        const std::optional<QString> path = readEscaped(text, pos, u']', format);
        if (!path) {
            reason = QStringLiteral("the key name has no closing \"]\"");
            return false;
        }
        const QStringView stamp = text.mid(pos).trimmed();
        for (QChar c : stamp) {
            if (!c.isDigit()) {
                reason = QStringLiteral("unexpected characters after the key name");
                return false;
            }
        }
        out.path = *path;
    }
    if (out.path.split(u'\\', Qt::SkipEmptyParts).isEmpty()) {
        reason = QStringLiteral("the key name is empty");
        return false;
    }
    return true;
}

} // namespace

RegValue RegValue::text(const QString &name, const QString &text)
{
    return RegValue{name, regtype::String, utf16Bytes(text)};
}

RegValue RegValue::dword(const QString &name, quint32 number)
{
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = char((number >> (8 * i)) & 0xff);
    return RegValue{name, regtype::Dword, data};
}

QString RegValue::toText() const
{
    if (isTextType(type))
        return textUpToZero(data);
    if (data.isEmpty())
        return QString();
    fail(QStringLiteral("Invalid data type for '%1'").arg(name));
}

RegFile::RegFile(Format format)
    : m_format(format), m_encoding(format == Format::Regedit5   ? Encoding::Utf16Le
                                   : format == Format::Regedit4 ? Encoding::Ansi
                                                                : Encoding::Utf8),
      m_lineEnd(format == Format::Wine2 ? QStringLiteral("\n") : QStringLiteral("\r\n"))
{
    Entry version;
    version.kind = Kind::Version;
    const QString firstLine = format == Format::Regedit5   ? QString(regeditFirstLine())
                              : format == Format::Regedit4 ? QString(regedit4FirstLine())
                                                           : QString(wineFirstLine());
    version.raw = encode(firstLine + m_lineEnd);
    if (m_encoding == Encoding::Utf16Le)
        version.raw.prepend("\xff\xfe");
    Entry blank;
    blank.blank = true;
    blank.raw = encode(m_lineEnd);
    m_entries = {version, blank};
}

QList<RegFile::Line> RegFile::splitLines(const QByteArray &bytes, Encoding encoding)
{
    QList<Line> lines;
    const qsizetype unit = encoding == Encoding::Utf16Le ? 2 : 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i + unit <= bytes.size(); i += unit) {
        if (bytes[i] == '\n' && (unit == 1 || bytes[i + 1] == '\0')) {
            lines.append(Line{start, i + unit - start});
            start = i + unit;
        }
    }
    if (start < bytes.size())
        lines.append(Line{start, bytes.size() - start});
    return lines;
}

QString RegFile::lineText(const QByteArray &bytes, const Line &line) const
{
    QByteArrayView content = QByteArrayView(bytes).sliced(line.start, line.size);
    if (m_encoding == Encoding::Utf16Le) {
        if (content.endsWith(QByteArrayView("\n\0", 2)))
            content.chop(2);
        QString text(content.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(uchar(content[2 * i]) | (uchar(content[2 * i + 1]) << 8)));
        if (line.start == 0 && text.startsWith(QChar(0xfeff)))
            text.remove(0, 1);
        if (text.endsWith(u'\r'))
            text.chop(1);
        return text;
    }
    if (content.endsWith('\n'))
        content.chop(1);
    if (content.endsWith('\r'))
        content.chop(1);
    if (m_encoding == Encoding::Ansi)
        return fromAnsi(content);
    if (line.start == 0 && content.startsWith("\xef\xbb\xbf"))
        content = content.sliced(3);
    return content.isValidUtf8() ? QString::fromUtf8(content) : QString::fromLatin1(content);
}

RegFile RegFile::parse(const QByteArray &bytes, const QString &fileName, Strictness strictness)
{
    const QString shownName = QDir::toNativeSeparators(fileName);
    auto fail = [&](qsizetype lineIndex, const QString &reason) {
        platform::fail(QStringLiteral("%1, line %2: %3")
                           .arg(shownName, QString::number(lineIndex + 1), reason));
    };

    RegFile file;
    file.m_entries.clear();
    file.m_hasVersion = false;
    if (bytes.startsWith("\xfe\xff"))
        fail(0, QStringLiteral("UTF-16 big-endian text is not supported"));
    file.m_encoding = bytes.startsWith("\xff\xfe") ? Encoding::Utf16Le : Encoding::Utf8;
    const QList<Line> lines = splitLines(bytes, file.m_encoding);
    file.m_entries.reserve(lines.size());
    if (file.m_encoding == Encoding::Utf16Le && bytes.size() % 2 != 0)
        fail(lines.size() - 1, QStringLiteral("the UTF-16 text ends in the middle of a character"));

    file.m_source = bytes;
    bool lineEndFound = false;
    for (const Line &line : lines) {
        const QByteArrayView raw = QByteArrayView(bytes).sliced(line.start, line.size);
        if (file.endsWithLineEnd(raw)) {
            const QByteArray crlf = file.encode(QStringLiteral("\r\n"));
            file.m_lineEnd = raw.endsWith(crlf) ? QStringLiteral("\r\n") : QStringLiteral("\n");
            lineEndFound = true;
            break;
        }
    }

    QString currentKey;
    bool inKey = false;
    bool keyLive = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Entry entry;
        entry.start = lines[i].start;
        entry.size = lines[i].size;
        const QString lineString = file.lineText(bytes, lines[i]);
        const QStringView text = QStringView(lineString).trimmed();
        const qsizetype first = i;
        QString reason;
        if (text.isEmpty()) {
            entry.blank = true;
        } else if (!file.m_hasVersion) {
            if (text == regeditFirstLine()) {
                file.m_format = Format::Regedit5;
            } else if (text == regedit4FirstLine()) {
                // The ANSI form; the rest of the file is read in the code page.
                file.m_format = Format::Regedit4;
                if (file.m_encoding == Encoding::Utf8)
                    file.m_encoding = Encoding::Ansi;
            } else if (text == wineFirstLine())
                file.m_format = Format::Wine2;
            else
                fail(i, QStringLiteral("not a registry file (the first line should be \"%1\")")
                            .arg(regeditFirstLine()));
            entry.kind = Kind::Version;
            file.m_hasVersion = true;
        } else if (text.startsWith(u';') || text.startsWith(u'#')) {
            // comments and Wine's metadata lines
        } else if (text.startsWith(u'[')) {
            KeyHeader header;
            if (parseKeyHeader(text, file.m_format, header, reason)) {
                entry.kind = Kind::Key;
                entry.keyPath = foldKeyPath(header.path);
                entry.deletion = header.deletion;
                entry.live = !header.deletion;
            } else if (strictness == Strictness::Strict) {
                fail(i, reason);
            } else {
                entry.live = false;
            }
            currentKey = entry.keyPath;
            keyLive = entry.live && entry.kind == Kind::Key;
            inKey = true;
        } else if (text.startsWith(u'"') || text.startsWith(u'@')) {
            QString name;
            qsizetype dataPos = 0;
            bool ok = inKey;
            if (!inKey)
                reason = QStringLiteral("a value before the first key");
            else
                ok = parseValueName(text, file.m_format, name, dataPos, reason);
            QString data = ok ? text.mid(dataPos).toString() : QString();
            if (ok && data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
                // Long lists go on in the next lines after a trailing backslash.
                while (data.trimmed().endsWith(u'\\')) {
                    data = data.trimmed();
                    data.chop(1);
                    if (i + 1 >= lines.size())
                        fail(first, QStringLiteral("the value goes on past the end of the file"));
                    ++i;
                    entry.size += lines[i].size;
                    data += file.lineText(bytes, lines[i]).trimmed();
                }
            }
            ParsedValue parsed;
            if (ok)
                ok = parseValueData(data, file.m_format, parsed, reason);
            // Text written as hex(N) in the ANSI form holds code-page bytes.
            if (ok && file.m_format == Format::Regedit4 &&
                data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive) &&
                holdsText(parsed.value.type))
                parsed.value.data = utf16Bytes(fromAnsi(parsed.value.data));
            if (ok) {
                entry.kind = Kind::Value;
                entry.keyPath = currentKey;
                entry.live = keyLive;
                entry.deletion = parsed.deletion;
                entry.value = parsed.value;
                entry.value.name = name;
            } else if (strictness == Strictness::Strict) {
                fail(first, reason);
            }
        } else if (strictness == Strictness::Strict) {
            fail(i, QStringLiteral("the line is neither a key, a value nor a comment"));
        }
        file.m_entries.append(entry);
    }
    if (!lineEndFound)
        file.m_lineEnd =
            file.m_format == Format::Wine2 ? QStringLiteral("\n") : QStringLiteral("\r\n");
    return file;
}

RegFile RegFile::load(const QString &filePath, Strictness strictness)
{
    const QString shownName = QDir::toNativeSeparators(filePath);
    const QFileInfo info(filePath);
    if (info.exists() && !info.isFile())
        fail(QStringLiteral("Cannot read %1: it is not a file").arg(shownName));
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read %1: %2").arg(shownName, file.errorString()));
    if (file.size() > MaxFileSize)
        fail(QStringLiteral("Cannot read %1: the file is larger than %2 MiB")
                 .arg(shownName, QString::number(MaxFileSize / (1024 * 1024))));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read %1: %2").arg(shownName, file.errorString()));
    return parse(bytes, filePath, strictness);
}

QByteArray RegFile::toBytes() const
{
    QByteArray out;
    for (const Entry &entry : m_entries)
        out += bytesOf(entry);
    return out;
}

QString RegFile::foldKeyPath(const QString &path)
{
    QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = part.toCaseFolded();
    if (!parts.isEmpty()) {
        static const QList<std::pair<QLatin1String, QLatin1String>> roots = {
            {QLatin1String("hkcu"), QLatin1String("hkey_current_user")},
            {QLatin1String("hklm"), QLatin1String("hkey_local_machine")},
            {QLatin1String("hkcr"), QLatin1String("hkey_classes_root")},
            {QLatin1String("hku"), QLatin1String("hkey_users")},
            {QLatin1String("hkcc"), QLatin1String("hkey_current_config")},
        };
        for (const auto &[shortName, longName] : roots) {
            if (parts.first() == shortName)
                parts.first() = longName;
        }
    }
    return parts.join(u'\\');
}

bool RegFile::hasKey(const QString &keyPath) const
{
    const QString folded = foldKeyPath(keyPath);
    if (folded.isEmpty())
        return false;
    const QString below = folded + u'\\';
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if (entry.kind == Kind::Key && entry.live &&
            (entry.keyPath == folded || entry.keyPath.startsWith(below)) &&
            i > lastDeletion(entry.keyPath))
            return true;
    }
    return false;
}

qsizetype RegFile::lastDeletion(const QString &foldedKey) const
{
    // "[-key]" deletes the key and every key below it.
    qsizetype found = -1;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if (entry.kind == Kind::Key && entry.deletion &&
            (entry.keyPath == foldedKey || foldedKey.startsWith(entry.keyPath + u'\\')))
            found = i;
    }
    return found;
}

qsizetype RegFile::lastValueIndex(const QString &foldedKey, const QString &name) const
{
    qsizetype found = -1;
    for (qsizetype i = lastDeletion(foldedKey) + 1; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        if (entry.kind == Kind::Value && entry.live && entry.keyPath == foldedKey &&
            QString::compare(entry.value.name, name, Qt::CaseInsensitive) == 0)
            found = i;
    }
    return found;
}

std::optional<RegValue> RegFile::value(const QString &keyPath, const QString &name) const
{
    const qsizetype index = lastValueIndex(foldKeyPath(keyPath), name);
    if (index < 0 || m_entries[index].deletion)
        return std::nullopt;
    return m_entries[index].value;
}

bool RegFile::setValue(const QString &keyPath, const RegValue &value)
{
    const QString folded = foldKeyPath(keyPath);
    if (folded.isEmpty())
        fail(QStringLiteral("No key given for the value '%1'").arg(value.name));
    if (isExportFormat() && !fitsOnExportLine(value.name + keyPath))
        fail(QStringLiteral("The name '%1' cannot be written to a registry file").arg(value.name));
    if (m_encoding == Encoding::Ansi) {
        const QString text = holdsText(value.type) && value.data.size() % 2 == 0
                                 ? textUpToZero(value.data)
                                 : QString();
        if (!toAnsi(value.name + keyPath + text))
            fail(QStringLiteral("The value '%1' holds characters that a REGEDIT4 file (Windows "
                                "code page 1252) cannot hold")
                     .arg(value.name));
    }
    if (!m_hasVersion)
        *this = RegFile(m_format);

    const qsizetype existing = lastValueIndex(folded, value.name);
    if (existing >= 0) {
        Entry &entry = m_entries[existing];
        const RegValue &old = entry.value;
        const bool same =
            !entry.deletion && old.type == value.type &&
            (isTextType(value.type) ? old.toText() == value.toText() : old.data == value.data);
        if (same)
            return false;
        RegValue stored = value;
        stored.name = old.name;
        entry.start = -1;
        entry.raw = encode(valueLine(stored) + m_lineEnd);
        entry.value = stored;
        entry.deletion = false;
        return true;
    }

    Entry entry;
    entry.kind = Kind::Value;
    entry.keyPath = folded;
    entry.value = value;
    entry.raw = encode(valueLine(value) + m_lineEnd);

    // A key deleted further down is added anew after its deletion line.
    qsizetype header = -1;
    for (qsizetype i = lastDeletion(folded) + 1; i < m_entries.size(); ++i) {
        if (m_entries[i].kind == Kind::Key && m_entries[i].live && m_entries[i].keyPath == folded)
            header = i;
    }
    if (header >= 0) {
        // After the key's last value, so blank lines and comments stay between the keys; in
        // a key without values, after the lines that directly follow its header (Wine's
        // "#time=" line).
        qsizetype at = header + 1;
        while (at < m_entries.size() && m_entries[at].kind == Kind::Other && !m_entries[at].blank)
            ++at;
        for (qsizetype i = header + 1; i < m_entries.size() && m_entries[i].kind != Kind::Key;
             ++i) {
            if (m_entries[i].kind == Kind::Value)
                at = i + 1;
        }
        ensureLineEnd(at - 1);
        m_entries.insert(at, entry);
        return true;
    }

    if (!m_entries.isEmpty()) {
        ensureLineEnd(m_entries.size() - 1);
        if (!m_entries.last().blank) {
            Entry blank;
            blank.blank = true;
            blank.raw = encode(m_lineEnd);
            m_entries.append(blank);
        }
    }
    Entry key;
    key.kind = Kind::Key;
    key.keyPath = folded;
    key.raw = encode(keyHeader(keyPath) + m_lineEnd);
    m_entries.append(key);
    m_entries.append(entry);
    return true;
}

void RegFile::ensureLineEnd(qsizetype index)
{
    if (index < 0)
        return;
    Entry &entry = m_entries[index];
    if (!endsWithLineEnd(bytesOf(entry))) {
        entry.raw = bytesOf(entry).toByteArray() + encode(m_lineEnd);
        entry.start = -1;
    }
}

QByteArray RegFile::encode(const QString &text) const
{
    switch (m_encoding) {
    case Encoding::Utf16Le:
        return utf16Bytes(text);
    case Encoding::Ansi:
        // setValue has refused text the code page cannot hold.
        return toAnsi(text).value_or(QByteArray());
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}

QByteArrayView RegFile::bytesOf(const Entry &entry) const
{
    return entry.start >= 0 ? QByteArrayView(m_source).sliced(entry.start, entry.size)
                            : QByteArrayView(entry.raw);
}

bool RegFile::endsWithLineEnd(QByteArrayView raw) const
{
    if (m_encoding == Encoding::Utf16Le)
        return raw.size() % 2 == 0 && raw.endsWith(QByteArrayView("\n\0", 2));
    return raw.endsWith('\n');
}

QString RegFile::keyHeader(const QString &keyPath) const
{
    QStringList parts = keyPath.split(u'\\', Qt::SkipEmptyParts);
    if (isExportFormat())
        return u'[' + parts.join(u'\\') + u']';
    for (QString &part : parts)
        part = wineEscape(part, u'[', u']');
    return u'[' + parts.join(QLatin1String("\\\\")) + u']';
}

QString RegFile::quote(const QString &text) const
{
    if (m_format == Format::Wine2)
        return u'"' + wineEscape(text, u'"', u'"') + u'"';
    QString escaped = text;
    escaped.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' + escaped + u'"';
}

QString RegFile::valueLine(const RegValue &value) const
{
    QString line = (value.name.isEmpty() ? QStringLiteral("@") : quote(value.name)) + u'=';
    QByteArray data = value.data;
    if (isTextType(value.type) && data.size() % 2 == 0) {
        const QString text = textUpToZero(data);
        const bool whole = text.size() == data.size() / 2;
        if (whole && m_format == Format::Wine2)
            return line + (value.type == regtype::String ? QString() : QStringLiteral("str(2):")) +
                   quote(text);
        if (whole && value.type == regtype::String && fitsOnExportLine(text))
            return line + quote(text);
        // Text that cannot stand between quotes goes as hex, with its terminating zero.
        if (whole)
            data.append(2, '\0');
    }
    // The ANSI form holds text as code-page bytes, also in hex.
    if (m_format == Format::Regedit4 && holdsText(value.type) && data.size() % 2 == 0)
        data = toAnsi(allUnits(data)).value_or(data);
    if (value.type == regtype::Dword && data.size() == 4) {
        const quint32 number = uchar(data[0]) | (uchar(data[1]) << 8) | (uchar(data[2]) << 16) |
                               (quint32(uchar(data[3])) << 24);
        return line + QStringLiteral("dword:%1").arg(number, 8, 16, QChar(u'0'));
    }
    line += value.type == regtype::Binary ? QStringLiteral("hex:")
                                          : QStringLiteral("hex(%1):").arg(value.type, 0, 16);
    qsizetype column = line.size();
    for (qsizetype i = 0; i < data.size(); ++i) {
        QString token = QStringLiteral("%1").arg(uchar(data[i]), 2, 16, QChar(u'0'));
        if (i + 1 < data.size())
            token += u',';
        if (i > 0 && column + token.size() > 79) {
            line += u'\\' + m_lineEnd + QStringLiteral("  ");
            column = 2;
        }
        line += token;
        column += token.size();
    }
    return line;
}

} // namespace platform
