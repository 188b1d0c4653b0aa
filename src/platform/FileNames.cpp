// File names as the file system gives them (bytes) held losslessly in QString.
#include "platform/FileNames.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence at bytes[i] (no overlong forms, no surrogates, at most
// U+10FFFF), or 0 when none starts there.
qsizetype validSequence(QByteArrayView bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if ((at(k) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype start = 0; // first byte of the valid run not yet decoded
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype length = validSequence(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(start, i - start));
        name += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        start = ++i;
    }
    name += QString::fromUtf8(bytes.sliced(start));
    return name;
}

QByteArray encodeFileName(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (!isEscapedByte(unit))
            continue;
        bytes += name.sliced(start, i - start).toUtf8();
        bytes += static_cast<char>(unit - kEscapeBase);
        start = i + 1;
    }
    bytes += name.sliced(start).toUtf8();
    return bytes;
}

std::filesystem::path toNativePath(QStringView name)
{
    const QByteArray bytes = encodeFileName(name);
    return std::filesystem::path(std::string(bytes.constData(), std::size_t(bytes.size())));
}

QString displayFileName(QStringView name)
{
    QString shown = name.toString();
    for (QChar &c : shown) {
        if (!isEscapedByte(c.unicode()))
            continue;
        const char16_t byte = c.unicode() - kEscapeBase;
        c = byte >= 0xA0 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
    }
    return shown;
}

bool openForReading(QFile &file, QStringView name, QString *reason)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    // Not blocking on open keeps a FIFO with no writer from hanging the caller.
    const int fd =
        ::open(encodeFileName(name).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(qt_error_string(errno));
    struct stat status
    {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const bool folder = S_ISDIR(status.st_mode);
        ::close(fd);
        return fail(folder ? QStringLiteral("it is a folder")
                           : QStringLiteral("it is not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

bool isRegularFile(QStringView name)
{
    struct stat status
    {};
    return ::stat(encodeFileName(name).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

QString currentFolder()
{
    const std::unique_ptr<char, void (*)(void *)> folder(::getcwd(nullptr, 0), std::free);
    return folder ? decodeFileName(folder.get()) : QString();
}

QString executablePath()
{
    // Qt's own application path decodes the link's bytes as UTF-8 and loses any other byte.
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0)
            return QString();
        if (length < target.size()) {
            target.truncate(length);
            return decodeFileName(target);
        }
        target.resize(target.size() * 2);
    }
}

QString executableFolder()
{
    const QString path = executablePath();
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace platform
