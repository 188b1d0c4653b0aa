// libFuzzer entry for the texture writer: an image of any size from 1 x 1 to 512 x 512 with any
// alpha goes through TargaToExtendedBitmap, and the texture must decode back to the same size
// with every texel's 1-bit alpha (alpha below 128 is water) exactly as in the image. The top bit
// of the fourth byte (unused by the height) chooses format code 12 over 11.
#include "convlib/BitmapReader.h"
#include "convlib/FileIo.h"
#include "convlib/Image.h"
#include "convlib/MipChain.h"
#include "convlib/Targa.h"
#include "convlib/kovar.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

// One private folder for the whole run (tmpfs when $TMPDIR points there).
const std::string &folder()
{
    static const std::string path = [] {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz-writers-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return pattern;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::uint32_t width = 1 + (data[0] | (data[1] << 8)) % 512;
    const std::uint32_t height = 1 + (data[2] | (data[3] << 8)) % 512;
    const int format =
        (data[3] & 0x80) != 0 ? KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER : KOVAR_FORMAT_DXT1_MIPMAPPED;
    data += 4;
    size -= 4;

    // The remaining bytes fill the texels in turn, repeated as often as needed; none left gives
    // transparent black.
    kovar::Image image(width, height, "image");
    std::uint8_t *texels = image.data();
    for (std::size_t i = 0; i < image.byteCount(); ++i)
        texels[i] = size == 0 ? 0 : data[i % size];

    const std::string tga = folder() + "/in.tga";
    const std::string out = folder() + "/out.bmp";
    kovar::writeFileAtomically(tga, kovar::encodeTarga(image));
    char message[KOVAR_MESSAGE_SIZE] = "";
    if (TargaToExtendedBitmap(tga.c_str(), out.c_str(), message, format) != KOVAR_OK) {
        std::fprintf(stderr, "%u x %u, format %d: %s\n", width, height, format, message);
        std::abort();
    }

    const kovar::Image back = kovar::decodeBitmap(kovar::readFileBytes(out), out);
    if (back.width() != width || back.height() != height)
        std::abort();
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t expected = kovar::isTransparent(image.pixel(x, y)) ? 0 : 255;
            if (back.pixel(x, y)[3] != expected) {
                std::fprintf(stderr, "%u x %u: alpha at (%u, %u) is %d, not %d\n", width, height, x,
                             y, back.pixel(x, y)[3], expected);
                std::abort();
            }
        }
    }
    return 0;
}
