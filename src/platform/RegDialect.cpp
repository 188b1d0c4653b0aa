// The export, ANSI and Wine forms of registry file lines.
#include "platform/RegDialect.h"

#include "platform/AnsiCodePage.h"

#include <QStringList>

namespace platform {

namespace {

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

// Text the export format can hold between quotes on one line.
bool fitsOnExportLine(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    }
    return text.isValidUtf16();
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

// The character of a C escape letter (\a \b \e \f \n \r \t \v); 0 for any other.
char16_t cEscape(QChar letter)
{
    switch (letter.unicode()) {
    case 'a':
        return 7;
    case 'b':
        return 8;
    case 'e':
        return 27;
    case 'f':
        return 12;
    case 'n':
        return 10;
    case 'r':
        return 13;
    case 't':
        return 9;
    case 'v':
        return 11;
    default:
        return 0;
    }
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

// "Windows Registry Editor Version 5.00": UTF-16LE with BOM when new.
class ExportDialect : public RegDialect
{
  public:
    RegFormat format() const override { return RegFormat::Regedit5; }
    QLatin1String firstLine() const override
    {
        return QLatin1String("Windows Registry Editor Version 5.00");
    }
    regtext::Encoding newFileEncoding() const override { return regtext::Encoding::Utf16Le; }
};

// "REGEDIT4": the same lines in the Windows code page, hex(N) text data too.
class AnsiDialect : public ExportDialect
{
  public:
    RegFormat format() const override { return RegFormat::Regedit4; }
    QLatin1String firstLine() const override { return QLatin1String("REGEDIT4"); }
    regtext::Encoding newFileEncoding() const override { return regtext::Encoding::Ansi; }
    // The rest of a file that is not UTF-16 is read in the code page.
    regtext::Encoding readEncoding(regtext::Encoding announced) const override
    {
        return announced == regtext::Encoding::Utf8 ? regtext::Encoding::Ansi : announced;
    }

  protected:
    QByteArray textToHex(const QByteArray &utf16) const override
    {
        if (utf16.size() % 2 != 0)
            return utf16;
        return toAnsi(regtext::allUnits(utf16)).value_or(utf16);
    }
    QByteArray textFromHex(const QByteArray &stored) const override
    {
        return regtext::utf16Bytes(fromAnsi(stored));
    }
};

// "WINE REGISTRY Version 2": UTF-8, "\n" line ends, C escapes.
class WineDialect : public RegDialect
{
  public:
    RegFormat format() const override { return RegFormat::Wine2; }
    QLatin1String firstLine() const override { return QLatin1String("WINE REGISTRY Version 2"); }
    regtext::Encoding newFileEncoding() const override { return regtext::Encoding::Utf8; }
    QLatin1String lineEnd() const override { return QLatin1String("\n"); }

    // "[path\\with\\escapes] 1234567890": the path escaped, then a timestamp.
    bool readKeyLine(QStringView text, RegKeyLine &out, QString &reason) const override
    {
        qsizetype pos = 1;
        const std::optional<QString> path = unescape(text, pos, u']');
        if (!path) {
            reason = QStringLiteral("the key name has no closing \"]\"");
            return false;
        }
        for (QChar c : text.mid(pos).trimmed()) {
            if (!c.isDigit()) {
                reason = QStringLiteral("unexpected characters after the key name");
                return false;
            }
        }
        out.path = *path;
        if (out.path.split(u'\\', Qt::SkipEmptyParts).isEmpty()) {
            reason = QStringLiteral("the key name is empty");
            return false;
        }
        return true;
    }

    QString keyLine(const QString &keyPath) const override
    {
        QStringList parts = keyPath.split(u'\\', Qt::SkipEmptyParts);
        for (QString &part : parts)
            part = wineEscape(part, u'[', u']');
        return u'[' + parts.join(QLatin1String("\\\\")) + u']';
    }

    QString refusal(const QString &, const RegValue &) const override { return QString(); }

  protected:
    // C escapes, octal and \x hex.
    qsizetype readEscape(QStringView s, qsizetype i, QString &out) const override;
    QString quote(QStringView text) const override
    {
        return u'"' + wineEscape(text, u'"', u'"') + u'"';
    }
    std::optional<QString> quotedText(quint32 type, const QString &text) const override
    {
        return (type == regtype::String ? QString() : QStringLiteral("str(2):")) + quote(text);
    }
    bool readsTypedText() const override { return true; }
};

qsizetype WineDialect::readEscape(QStringView s, qsizetype i, QString &out) const
{
    const QChar next = s[i + 1];
    i += 2;
    if (const char16_t named = cEscape(next)) {
        out += QChar(named);
    } else if (next == u'x') {
        char16_t unit = 0;
        for (int n = 0; n < 4 && i < s.size() && hexDigit(s[i]) >= 0; ++n, ++i)
            unit = char16_t(unit * 16 + hexDigit(s[i]));
        out += QChar(unit);
    } else if (next >= u'0' && next <= u'7') {
        char16_t unit = char16_t(next.unicode() - '0');
        for (int n = 1; n < 3 && i < s.size() && s[i] >= u'0' && s[i] <= u'7'; ++n, ++i)
            unit = char16_t(unit * 8 + (s[i].unicode() - '0'));
        out += QChar(unit);
    } else {
        out += next;
    }
    return i;
}

} // namespace

const RegDialect &RegDialect::of(RegFormat format)
{
    static const ExportDialect exportForm;
    static const AnsiDialect ansiForm;
    static const WineDialect wine;
    switch (format) {
    case RegFormat::Regedit4:
        return ansiForm;
    case RegFormat::Wine2:
        return wine;
    case RegFormat::Regedit5:
        break;
    }
    return exportForm;
}

const RegDialect *RegDialect::byFirstLine(QStringView text)
{
    for (RegFormat format : {RegFormat::Regedit5, RegFormat::Regedit4, RegFormat::Wine2}) {
        if (text == of(format).firstLine())
            return &of(format);
    }
    return nullptr;
}

std::optional<QString> RegDialect::unescape(QStringView s, qsizetype &pos, QChar close) const
{
    QString out;
    qsizetype i = pos;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == close) {
            pos = i + 1;
            return out;
        }
        if (c == u'\\' && i + 1 < s.size()) {
            i = readEscape(s, i, out);
        } else {
            out += c;
            ++i;
        }
    }
    return std::nullopt;
}

qsizetype RegDialect::readEscape(QStringView s, qsizetype i, QString &out) const
{
    if (s[i + 1] == u'\\' || s[i + 1] == u'"') {
        out += s[i + 1];
        return i + 2;
    }
    out += s[i];
    return i + 1;
}

QString RegDialect::quote(QStringView text) const
{
    QString escaped = text.toString();
    escaped.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' + escaped + u'"';
}

std::optional<QString> RegDialect::quotedText(quint32 type, const QString &text) const
{
    if (type == regtype::String && fitsOnExportLine(text))
        return quote(text);
    return std::nullopt;
}

bool RegDialect::readKeyLine(QStringView text, RegKeyLine &out, QString &reason) const
{
    if (!text.endsWith(u']')) {
        reason = QStringLiteral("the key name does not end with \"]\"");
        return false;
    }
    const QStringView inner = text.mid(1, text.size() - 2);
    out.deletion = inner.startsWith(u'-');
    out.path = (out.deletion ? inner.mid(1) : inner).toString();
    if (out.path.split(u'\\', Qt::SkipEmptyParts).isEmpty()) {
        reason = QStringLiteral("the key name is empty");
        return false;
    }
    return true;
}

bool RegDialect::readValueName(QStringView text, QString &name, qsizetype &dataPos,
                               QString &reason) const
{
    qsizetype pos = 1;
    if (text.startsWith(u'@')) {
        name.clear();
    } else {
        const std::optional<QString> quoted = unescape(text, pos, u'"');
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

bool RegDialect::isHexData(QStringView data)
{
    return data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive);
}

bool RegDialect::readValueData(QStringView data, RegValueLine &out, QString &reason) const
{
    data = data.trimmed();
    if (data == u"-") {
        out.deletion = true;
        return true;
    }
    const bool typedText = readsTypedText() && data.startsWith(u"str", Qt::CaseInsensitive);
    if (data.startsWith(u'"') || typedText) {
        qsizetype pos = 0;
        out.value.type = regtype::String;
        if (typedText) {
            pos = 3;
            if (!parseTypeSuffix(data, pos, out.value.type) || !data.mid(pos).startsWith(u'"')) {
                reason = QStringLiteral("the text type is not written as str(N):");
                return false;
            }
        }
        ++pos;
        const std::optional<QString> text = unescape(data, pos, u'"');
        if (!text) {
            reason = QStringLiteral("the text has no closing quote");
            return false;
        }
        if (!data.mid(pos).trimmed().isEmpty()) {
            reason = QStringLiteral("unexpected characters after the closing quote");
            return false;
        }
        out.value.data = regtext::utf16Bytes(*text);
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
    if (isHexData(data)) {
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
        if (regtype::holdsText(out.value.type))
            out.value.data = textFromHex(out.value.data);
        return true;
    }
    reason = QStringLiteral("the value data is neither text, dword: nor hex:");
    return false;
}

QString RegDialect::keyLine(const QString &keyPath) const
{
    return u'[' + keyPath.split(u'\\', Qt::SkipEmptyParts).join(u'\\') + u']';
}

QString RegDialect::refusal(const QString &keyPath, const RegValue &value) const
{
    if (fitsOnExportLine(value.name + keyPath))
        return QString();
    return QStringLiteral("The name '%1' cannot be written to a registry file").arg(value.name);
}

QString RegDialect::valueLine(const RegValue &value, QStringView lineEnd) const
{
    QString line = (value.name.isEmpty() ? QStringLiteral("@") : quote(value.name)) + u'=';
    QByteArray data = value.data;
    if (regtype::isText(value.type) && data.size() % 2 == 0) {
        const QString text = regtext::textUpToZero(data);
        if (text.size() == data.size() / 2) {
            if (const std::optional<QString> quoted = quotedText(value.type, text))
                return line + *quoted;
            // Text that cannot stand between quotes goes as hex, with its terminating zero.
            data.append(2, '\0');
        }
    }
    if (regtype::holdsText(value.type))
        data = textToHex(data);
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
            line += u'\\';
            line += lineEnd;
            line += QStringLiteral("  ");
            column = 2;
        }
        line += token;
        column += token.size();
    }
    return line;
}

} // namespace platform
