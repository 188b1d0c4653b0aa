// The per-user settings store, kept in a registry export file.
#include "platform/SettingsStore.h"

#include "platform/Error.h"
#include "platform/ErrorSink.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>

namespace platform {

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw Error(message.toStdString());
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int d = -1;
    if (u >= '0' && u <= '9')
        d = u - '0';
    else if (u >= 'a' && u <= 'f')
        d = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        d = u - 'A' + 10;
    return d < base ? d : -1;
}

// Leading spaces, an optional sign, then "$" or "0x"/"0X" and hexadecimal digits, or
// decimal digits, and nothing after them; anything else, or a number outside the 32-bit
// range, gives def.
int toInteger(const QString &text, int def)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return def;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return def;
        magnitude = magnitude * base + d;
        if (magnitude > qint64(INT_MAX) + 1)
            return def;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > INT_MAX || value < INT_MIN)
        return def;
    return int(value);
}

// Replaces the file atomically, creating its folder; returns the reason of a failure.
QString replaceFile(const QString &path, const QByteArray &bytes)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder))
        return QStringLiteral("%1: cannot create the folder %2")
            .arg(shown, QDir::toNativeSeparators(folder));
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in write()'s
    // result instead of being lost in a buffer flushed at commit.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("%1: %2").arg(shown, out.errorString());
    const qint64 written = out.write(bytes);
    if (written != bytes.size()) {
        const QString reason = out.error() != QFileDevice::NoError
                                   ? out.errorString()
                                   : QStringLiteral("only %1 of %2 bytes could be written")
                                         .arg(qMax<qint64>(written, 0))
                                         .arg(bytes.size());
        out.cancelWriting();
        return QStringLiteral("%1: %2").arg(shown, reason);
    }
    if (!out.commit())
        return QStringLiteral("%1: %2").arg(shown, out.errorString());
    return QString();
}

} // namespace

QString SettingsStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative locations are invalid for XDG base folders and are ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/KT/user.reg");
}

SettingsStore::SettingsStore(const QString &filePath, const QString &keyPath)
    : m_filePath(filePath), m_keyPath(QStringLiteral("HKEY_CURRENT_USER\\") + keyPath)
{
    if (QFileInfo::exists(m_filePath))
        m_file = RegFile::load(m_filePath);
}

QString SettingsStore::sectionKey(const QString &section) const
{
    return m_keyPath + u'\\' + section;
}

const RegFile *SettingsStore::document() const
{
    if (m_released)
        fail(QStringLiteral("The settings file %1 is already closed")
                 .arg(QDir::toNativeSeparators(m_filePath)));
    return m_file ? &*m_file : nullptr;
}

QString SettingsStore::ReadString(const QString &section, const QString &name, const QString &def)
{
    const RegFile *file = document();
    if (!file)
        return def;
    const std::optional<RegValue> value = file->value(sectionKey(section), name);
    return value ? value->toText() : def;
}

int SettingsStore::ReadInteger(const QString &section, const QString &name, int def)
{
    const RegFile *file = document();
    if (!file)
        return def;
    const std::optional<RegValue> value = file->value(sectionKey(section), name);
    return value ? toInteger(value->toText(), def) : def;
}

void SettingsStore::WriteString(const QString &section, const QString &name, const QString &value)
{
    write(section, RegValue::text(name, value));
}

void SettingsStore::WriteInteger(const QString &section, const QString &name, int value)
{
    WriteString(section, name, QString::number(value));
}

void SettingsStore::write(const QString &section, const RegValue &value)
{
    const RegFile *known = document();
    const QString key = sectionKey(section);
    auto failWith = [&](bool keyMissing, const QString &reason) {
        const QString head = keyMissing
                                 ? QStringLiteral("Failed to create key %1").arg(section)
                                 : QStringLiteral("Failed to set data for '%1'").arg(value.name);
        fail(head + QStringLiteral(": ") + reason);
    };

    // Start from the file as it is now, not as it was read at opening: a file another
    // program changed meanwhile keeps those changes, and one that cannot be parsed any
    // more is left alone.
    RegFile file;
    try {
        if (QFileInfo::exists(m_filePath))
            file = RegFile::load(m_filePath);
    } catch (const Error &error) {
        failWith(!(known && known->hasKey(key)), QString::fromUtf8(error.what()));
    }
    const bool keyMissing = !file.hasKey(key);
    bool changed = false;
    // A value the code page cannot hold must not lock the user out of saving: the file goes
    // over to the form a new file has, which holds any name.
    const bool convert = file.format() == RegFile::Format::Regedit4 && !file.canEncode(key, value);
    try {
        if (convert)
            file = file.convertedTo(RegFile::Format::Regedit5);
        changed = file.setValue(key, value) || convert;
    } catch (const Error &error) {
        failWith(keyMissing, QString::fromUtf8(error.what()));
    }
    if (changed) {
        const QString reason = replaceFile(m_filePath, file.toBytes());
        if (!reason.isEmpty())
            failWith(keyMissing, reason);
    }
    m_file = std::move(file);
    if (convert) {
        m_notice = QStringLiteral("The value '%1' holds characters that a REGEDIT4 file (Windows "
                                  "code page 1252) cannot hold, so the settings file %2 is now "
                                  "written as a Windows Registry Editor Version 5.00 file "
                                  "(Unicode), with every other setting in it kept")
                       .arg(value.name, QDir::toNativeSeparators(m_filePath));
        if (m_noticeHandler)
            m_noticeHandler(m_notice);
        else
            reportError(Error(m_notice.toStdString()));
    }
}

void SettingsStore::setNoticeHandler(NoticeHandler handler)
{
    m_noticeHandler = std::move(handler);
}

void SettingsStore::release()
{
    m_released = true;
    m_file.reset();
}

} // namespace platform
