// libFuzzer entry for the version reader (PE resources, ELF sections): any input either gives
// the fixed version block or a message.
#include "platform/VersionInfo.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        std::abort();
    QString error;
    const std::optional<platform::FixedFileInfo> info =
        platform::readFixedFileInfo(buffer, QStringLiteral("input.dll"), &error);
    if (!info && !error.startsWith(QStringLiteral("Cannot read the version of \"input.dll\": ")))
        std::abort();
    if (info && info->signature != platform::fixedFileInfoSignature)
        std::abort(); // a block that is not one
    return 0;
}
