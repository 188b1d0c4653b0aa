// The registry file document: its lines as read, lookup, and edits that write back every
// untouched line byte for byte.
#include "platform/RegFile.h"

#include "platform/Error.h"
#include "platform/RegDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace platform {

namespace {

constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

[[noreturn]] void fail(const QString &message)
{
    throw Error(message.toStdString());
}

QString codePageRefusal(const QString &name)
{
    return QStringLiteral("The value '%1' holds characters that a REGEDIT4 file (Windows "
                          "code page 1252) cannot hold")
        .arg(name);
}

} // namespace

RegValue RegValue::text(const QString &name, const QString &text)
{
    return RegValue{name, regtype::String, regtext::utf16Bytes(text)};
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
    if (regtype::isText(type))
        return regtext::textUpToZero(data);
    if (data.isEmpty())
        return QString();
    fail(QStringLiteral("Invalid data type for '%1'").arg(name));
}

RegFile::RegFile(Format format)
    : m_dialect(&RegDialect::of(format)), m_encoding(m_dialect->newFileEncoding()),
      m_lineEnd(m_dialect->lineEnd())
{
    Entry version = newLine(Kind::Version, m_dialect->firstLine() + m_lineEnd);
    if (m_encoding == regtext::Encoding::Utf16Le)
        version.raw.prepend("\xff\xfe");
    Entry blank = newLine(Kind::Other, m_lineEnd);
    blank.blank = true;
    m_entries = {version, blank};
}

RegFile::Format RegFile::format() const
{
    return m_dialect->format();
}

RegFile::Entry RegFile::newLine(Kind kind, const QString &text) const
{
    Entry entry;
    entry.kind = kind;
    entry.raw = encode(text);
    return entry;
}

QString RegFile::lineText(const regtext::Line &line) const
{
    return regtext::lineText(m_source, line, m_encoding);
}

QByteArray RegFile::encode(const QString &text) const
{
    // setValue and convertedTo refuse text the encoding cannot hold.
    return regtext::encode(text, m_encoding).value_or(QByteArray());
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
    const std::optional<regtext::Encoding> announced = regtext::encodingOf(bytes);
    if (!announced)
        fail(0, QStringLiteral("UTF-16 big-endian text is not supported"));
    file.m_encoding = *announced;
    file.m_source = bytes;
    const QList<regtext::Line> lines = regtext::splitLines(bytes, file.m_encoding);
    file.m_entries.reserve(lines.size());
    if (file.m_encoding == regtext::Encoding::Utf16Le && bytes.size() % 2 != 0)
        fail(lines.size() - 1, QStringLiteral("the UTF-16 text ends in the middle of a character"));
    file.readLineEnd(lines);

    ReadState state;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Entry entry;
        entry.start = lines[i].start;
        entry.size = lines[i].size;
        const QString lineString = file.lineText(lines[i]);
        const QStringView text = QStringView(lineString).trimmed();
        const qsizetype first = i;
        QString reason;
        if (text.isEmpty()) {
            entry.blank = true;
        } else if (!file.m_hasVersion) {
            const RegDialect *dialect = RegDialect::byFirstLine(text);
            if (!dialect)
                fail(i, QStringLiteral("not a registry file (the first line should be \"%1\")")
                            .arg(RegDialect::of(Format::Regedit5).firstLine()));
            file.m_dialect = dialect;
            file.m_encoding = dialect->readEncoding(file.m_encoding);
            entry.kind = Kind::Version;
            file.m_hasVersion = true;
        } else if (text.startsWith(u';') || text.startsWith(u'#')) {
            // comments and Wine's metadata lines
        } else if (text.startsWith(u'[')) {
            if (!file.readKey(text, entry, state, reason) && strictness == Strictness::Strict)
                fail(i, reason);
        } else if (text.startsWith(u'"') || text.startsWith(u'@')) {
            bool fatal = false;
            if (!file.readValue(lines, i, text, entry, state, reason, fatal) &&
                (fatal || strictness == Strictness::Strict))
                fail(first, reason);
        } else if (strictness == Strictness::Strict) {
            fail(i, QStringLiteral("the line is neither a key, a value nor a comment"));
        }
        file.m_entries.append(entry);
    }
    if (file.m_lineEnd.isEmpty())
        file.m_lineEnd = file.m_dialect->lineEnd();
    return file;
}

void RegFile::readLineEnd(const QList<regtext::Line> &lines)
{
    m_lineEnd.clear();
    const QByteArray crlf = encode(QStringLiteral("\r\n"));
    for (const regtext::Line &line : lines) {
        const QByteArrayView raw = QByteArrayView(m_source).sliced(line.start, line.size);
        if (regtext::endsWithLineEnd(raw, m_encoding)) {
            m_lineEnd = raw.endsWith(crlf) ? QStringLiteral("\r\n") : QStringLiteral("\n");
            return;
        }
    }
}

bool RegFile::readKey(QStringView text, Entry &entry, ReadState &state, QString &reason) const
{
    RegKeyLine header;
    const bool ok = m_dialect->readKeyLine(text, header, reason);
    if (ok) {
        entry.kind = Kind::Key;
        entry.keyPath = foldKeyPath(header.path);
        entry.deletion = header.deletion;
        entry.live = !header.deletion;
    } else {
        entry.live = false;
    }
    state.key = entry.keyPath;
    state.keyLive = entry.live && entry.kind == Kind::Key;
    state.inKey = true;
    return ok;
}

bool RegFile::readValue(const QList<regtext::Line> &lines, qsizetype &index, QStringView text,
                        Entry &entry, const ReadState &state, QString &reason, bool &fatal) const
{
    if (!state.inKey) {
        reason = QStringLiteral("a value before the first key");
        return false;
    }
    QString name;
    qsizetype dataPos = 0;
    if (!m_dialect->readValueName(text, name, dataPos, reason))
        return false;
    QString data = text.mid(dataPos).toString();
    if (RegDialect::isHexData(data)) {
        // Long lists go on in the next lines after a trailing backslash.
        while (data.trimmed().endsWith(u'\\')) {
            data = data.trimmed();
            data.chop(1);
            if (index + 1 >= lines.size()) {
                reason = QStringLiteral("the value goes on past the end of the file");
                fatal = true;
                return false;
            }
            ++index;
            entry.size += lines[index].size;
            data += lineText(lines[index]).trimmed();
        }
    }
    RegValueLine parsed;
    if (!m_dialect->readValueData(data, parsed, reason))
        return false;
    entry.kind = Kind::Value;
    entry.keyPath = state.key;
    entry.live = state.keyLive;
    entry.deletion = parsed.deletion;
    entry.value = parsed.value;
    entry.value.name = name;
    return true;
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

bool RegFile::canEncode(const QString &keyPath, const RegValue &value) const
{
    const QString text = regtype::holdsText(value.type) && value.data.size() % 2 == 0
                             ? regtext::textUpToZero(value.data)
                             : QString();
    return regtext::encode(value.name + keyPath + text, m_encoding).has_value();
}

bool RegFile::setValue(const QString &keyPath, const RegValue &value)
{
    const QString folded = foldKeyPath(keyPath);
    if (folded.isEmpty())
        fail(QStringLiteral("No key given for the value '%1'").arg(value.name));
    if (const QString refusal = m_dialect->refusal(keyPath, value); !refusal.isEmpty())
        fail(refusal);
    if (!canEncode(keyPath, value))
        fail(codePageRefusal(value.name));
    if (!m_hasVersion)
        *this = RegFile(format());

    const qsizetype existing = lastValueIndex(folded, value.name);
    if (existing >= 0) {
        Entry &entry = m_entries[existing];
        const RegValue &old = entry.value;
        const bool same =
            !entry.deletion && old.type == value.type &&
            (regtype::isText(value.type) ? old.toText() == value.toText() : old.data == value.data);
        if (same)
            return false;
        RegValue stored = value;
        stored.name = old.name;
        entry.start = -1;
        entry.raw = encode(m_dialect->valueLine(stored, m_lineEnd) + m_lineEnd);
        entry.value = stored;
        entry.deletion = false;
        return true;
    }

    Entry entry = newLine(Kind::Value, m_dialect->valueLine(value, m_lineEnd) + m_lineEnd);
    entry.keyPath = folded;
    entry.value = value;

    // A key deleted further down is added anew after its deletion line.
    qsizetype header = -1;
    for (qsizetype i = lastDeletion(folded) + 1; i < m_entries.size(); ++i) {
        if (m_entries[i].kind == Kind::Key && m_entries[i].live && m_entries[i].keyPath == folded)
            header = i;
    }
    if (header >= 0) {
        const qsizetype at = insertionPoint(header);
        ensureLineEnd(at - 1);
        m_entries.insert(at, entry);
        return true;
    }

    if (!m_entries.isEmpty()) {
        ensureLineEnd(m_entries.size() - 1);
        if (!m_entries.last().blank) {
            Entry blank = newLine(Kind::Other, m_lineEnd);
            blank.blank = true;
            m_entries.append(blank);
        }
    }
    Entry key = newLine(Kind::Key, m_dialect->keyLine(keyPath) + m_lineEnd);
    key.keyPath = folded;
    m_entries.append(key);
    m_entries.append(entry);
    return true;
}

qsizetype RegFile::insertionPoint(qsizetype header) const
{
    // After the key's last value, so blank lines and comments stay between the keys; in a key
    // without values, after the lines that directly follow its header (Wine's "#time=" line).
    qsizetype at = header + 1;
    while (at < m_entries.size() && m_entries[at].kind == Kind::Other && !m_entries[at].blank)
        ++at;
    for (qsizetype i = header + 1; i < m_entries.size() && m_entries[i].kind != Kind::Key; ++i) {
        if (m_entries[i].kind == Kind::Value)
            at = i + 1;
    }
    return at;
}

void RegFile::ensureLineEnd(qsizetype index)
{
    if (index < 0)
        return;
    Entry &entry = m_entries[index];
    if (!regtext::endsWithLineEnd(bytesOf(entry), m_encoding)) {
        entry.raw = bytesOf(entry).toByteArray() + encode(m_lineEnd);
        entry.start = -1;
    }
}

QByteArrayView RegFile::bytesOf(const Entry &entry) const
{
    return entry.start >= 0 ? QByteArrayView(m_source).sliced(entry.start, entry.size)
                            : QByteArrayView(entry.raw);
}

RegFile RegFile::convertedTo(Format format) const
{
    if (format == Format::Wine2 || this->format() == Format::Wine2)
        fail(QStringLiteral("Only the two export forms of registry file convert into each other"));
    RegFile out(format);
    out.m_entries.clear();
    out.m_hasVersion = m_hasVersion;
    out.m_lineEnd = m_lineEnd;
    for (const Entry &entry : m_entries) {
        QString text = regtext::decode(bytesOf(entry), m_encoding);
        if (entry.start == 0 && text.startsWith(QChar(0xfeff)))
            text.remove(0, 1); // the byte-order mark of the old encoding
        const bool lineEnd = text.endsWith(u'\n');
        const QString ending = lineEnd ? m_lineEnd : QString();
        if (entry.kind == Kind::Version) {
            text = out.m_dialect->firstLine() + ending;
        } else if (entry.kind == Kind::Value && !entry.deletion &&
                   regtype::holdsText(entry.value.type)) {
            // hex(N) text is held in the form's own bytes; text between quotes reads the same.
            QString name;
            qsizetype dataPos = 0;
            QString reason;
            const QString line = text.trimmed();
            if (m_dialect->readValueName(line, name, dataPos, reason) &&
                RegDialect::isHexData(QStringView(line).mid(dataPos)))
                text = out.m_dialect->valueLine(entry.value, m_lineEnd) + ending;
        }
        std::optional<QByteArray> bytes = regtext::encode(text, out.m_encoding);
        if (!bytes)
            fail(codePageRefusal(entry.value.name));
        Entry copy = entry;
        copy.start = -1;
        copy.raw = *bytes;
        out.m_entries.append(copy);
    }
    if (out.m_encoding == regtext::Encoding::Utf16Le && !out.m_entries.isEmpty())
        out.m_entries.first().raw.prepend("\xff\xfe");
    return out;
}

} // namespace platform
