// libFuzzer entry for the registry file reader: any input either parses or throws Error, and a
// file that parses takes a value (written anew in the Unicode form where its code page cannot
// hold it) that a fresh parse of its bytes reads back.
#include "platform/Error.h"
#include "platform/RegFile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using platform::RegFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        RegFile::parse(bytes, QStringLiteral("input.reg"), RegFile::Strictness::Lenient);
    } catch (const platform::Error &) {
    }
    try {
        RegFile file = RegFile::parse(bytes, QStringLiteral("input.reg"));
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\KT\\Frostane");
        const QString text = QStringLiteral("/home/u/\u0141\u00f3d\u017a \"q\" \\x\\");
        const platform::RegValue value = platform::RegValue::text(QStringLiteral("Texture"), text);
        if (file.format() == RegFile::Format::Regedit4 && !file.canEncode(key, value))
            file = file.convertedTo(RegFile::Format::Regedit5);
        file.setValue(key, value);
        const RegFile again = RegFile::parse(file.toBytes(), QStringLiteral("written.reg"));
        const std::optional<platform::RegValue> read = again.value(key, value.name);
        if (!read || read->toText() != text)
            std::abort(); // the written value does not read back
    } catch (const platform::Error &) {
    }
    return 0;
}
