// libFuzzer entry for the texture and Targa readers: any input either decodes or throws Error.
#include "convlib/BitmapReader.h"
#include "convlib/Error.h"
#include "convlib/Targa.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        kovar::decodeBitmap(bytes, "input");
    } catch (const kovar::Error &) {
    }
    try {
        kovar::decodeTarga(bytes, "input");
    } catch (const kovar::Error &) {
    }
    return 0;
}
