// File names as the file system gives them (bytes) held losslessly in QString.
//
// A name's valid UTF-8 is decoded as usual; every byte that is not part of valid UTF-8 (a
// Latin-1 "é", a 0xFF byte) becomes the lone surrogate U+DC00 + byte, which no decoded UTF-8
// can produce, so encodeFileName(decodeFileName(bytes)) == bytes for every name. QFile's own
// encodeName()/decodeName() replace such bytes and lose them.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <filesystem>

class QFile;

namespace platform {

QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(QStringView name);

// The path a decoded name stands for, for std::filesystem and the C library.
std::filesystem::path toNativePath(QStringView name);

// The name as a person reads it: each byte that is not valid UTF-8 shown as the Latin-1
// character it is in that encoding (a control byte as U+FFFD).
QString displayFileName(QStringView name);

// Opens a decoded name for reading into file, by its bytes. A FIFO, device, socket or folder
// is refused without waiting on it. On failure, reason (when given) says why.
bool openForReading(QFile &file, QStringView name, QString *reason = nullptr);

// Whether a decoded name is a regular file (a link counts as what it names).
bool isRegularFile(QStringView name);

// The process's working folder, by its bytes; empty when the system cannot say (a deleted
// folder, for instance).
QString currentFolder();

// The running executable's full path, by its bytes; empty when the system cannot say.
QString executablePath();

// The folder of the running executable, by its bytes, without a trailing "/"; empty when the
// system cannot say.
QString executableFolder();

} // namespace platform
