// libFuzzer entry for the shortcut reader: any input either gives a link or a message.
#include "platform/ShellLink.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<platform::ShellLink> link =
        platform::parseShellLink(bytes, QStringLiteral("input.lnk"), &error);
    if (!link && !error.startsWith(QStringLiteral("Cannot read the shortcut \"input.lnk\": ")))
        std::abort(); // a failure without its message
    return 0;
}
