// Registry file bytes as lines of text, per encoding.
#include "platform/RegText.h"

#include "platform/AnsiCodePage.h"

namespace platform::regtext {

namespace {

char16_t unitAt(QByteArrayView data, qsizetype index)
{
    return char16_t(uchar(data[2 * index]) | (uchar(data[2 * index + 1]) << 8));
}

} // namespace

std::optional<Encoding> encodingOf(QByteArrayView bytes)
{
    if (bytes.startsWith("\xfe\xff"))
        return std::nullopt;
    return bytes.startsWith("\xff\xfe") ? Encoding::Utf16Le : Encoding::Utf8;
}

QList<Line> splitLines(QByteArrayView bytes, Encoding encoding)
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

QString lineText(QByteArrayView bytes, const Line &line, Encoding encoding)
{
    QByteArrayView content = bytes.sliced(line.start, line.size);
    if (encoding == Encoding::Utf16Le) {
        if (content.endsWith(QByteArrayView("\n\0", 2)))
            content.chop(2);
        QString text = allUnits(content);
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
    if (encoding == Encoding::Ansi)
        return fromAnsi(content);
    if (line.start == 0 && content.startsWith("\xef\xbb\xbf"))
        content = content.sliced(3);
    return content.isValidUtf8() ? QString::fromUtf8(content) : QString::fromLatin1(content);
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf16Le:
        return allUnits(bytes);
    case Encoding::Ansi:
        return fromAnsi(bytes);
    case Encoding::Utf8:
        break;
    }
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

std::optional<QByteArray> encode(QStringView text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf16Le:
        return utf16Bytes(text);
    case Encoding::Ansi:
        return toAnsi(text);
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}

bool endsWithLineEnd(QByteArrayView raw, Encoding encoding)
{
    if (encoding == Encoding::Utf16Le)
        return raw.size() % 2 == 0 && raw.endsWith(QByteArrayView("\n\0", 2));
    return raw.endsWith('\n');
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

QString textUpToZero(QByteArrayView data)
{
    QString out;
    const qsizetype units = data.size() / 2;
    out.reserve(units);
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = unitAt(data, i);
        if (unit == 0)
            break;
        out.append(QChar(unit));
    }
    return out;
}

QString allUnits(QByteArrayView data)
{
    QString out(data.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = QChar(unitAt(data, i));
    return out;
}

} // namespace platform::regtext
