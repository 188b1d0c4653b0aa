// Writes FS2004 textures ("extended bitmaps").
#include "convlib/ExtendedBitmapWriter.h"

#include "convlib/ByteWriter.h"
#include "convlib/Dxt.h"
#include "convlib/Error.h"
#include "convlib/MipChain.h"
#include "convlib/kovar.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>

namespace kovar {

namespace {

constexpr std::uint32_t kDataOffset = 74; // 14 + 40 header bytes, then the 20-byte FS70 block

// The FS70 block. Bytes 0-7 and 9 are known from public descriptions; the meaning of bytes 8
// and 10-19 is not, so they keep the values ground textures are described with.
constexpr std::uint32_t kFs70Length = 20;
constexpr std::uint8_t kFs70GroundTexture = 3;      // byte 8: kind of texture, ground
constexpr std::uint8_t kFs70Dxt1 = 1;               // byte 9: DXT1 without transparent texels
constexpr std::uint8_t kFs70Dxt1WithAlpha = 2;      // byte 9: DXT1 with transparent texels
constexpr std::uint8_t kFs70UnknownBytes10To13 = 0; // bytes 10-13: meaning unknown, written 0
constexpr std::uint8_t kFs70UnknownBytes16To19 = 0; // bytes 16-19: meaning unknown, written 0

// A mip texel is transparent only when top-level texels under it are, so the top level decides.
bool anyTransparent(const Image &top)
{
    for (std::size_t i = 0; i < top.byteCount(); i += 4) {
        if (isTransparent(top.data() + i))
            return true;
    }
    return false;
}

} // namespace

void checkFormat(int format, const std::string &file)
{
    if (format != KOVAR_FORMAT_DXT1_MIPMAPPED && format != KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER) {
        throw Error(KOVAR_ERROR_ARGUMENT, file + ": format code " + std::to_string(format) +
                                              " is not supported (11 and 12 are written)");
    }
}

std::vector<std::uint8_t> encodeExtendedBitmap(const Image &image, int format,
                                               const std::string &file,
                                               std::vector<std::uint8_t> reuse)
{
    checkFormat(format, file);
    const DxtLevel dxtLevel =
        format == KOVAR_FORMAT_DXT1_MIPMAPPED_BETTER ? DxtLevel::Better : DxtLevel::Fast;
    std::size_t pixelBytes = 0;
    for (std::uint32_t w = image.width(), h = image.height();;
         w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
        pixelBytes += dxtSurfaceSize(DxtFormat::Dxt1, w, h);
        if (w == 1 && h == 1)
            break;
    }
    const std::size_t topBytes = dxtSurfaceSize(DxtFormat::Dxt1, image.width(), image.height());
    // Levels below the top: floor(log2) of the larger side, 8 for 256 x 256.
    const auto mipCount =
        static_cast<std::uint16_t>(std::bit_width(std::max(image.width(), image.height())) - 1);

    ByteWriter out(std::move(reuse), kDataOffset + pixelBytes);
    out.text("BM");
    out.u32(static_cast<std::uint32_t>(kDataOffset + pixelBytes));
    out.u32(0); // reserved
    out.u32(kDataOffset);
    out.u32(40);
    out.i32(static_cast<std::int32_t>(image.width()));
    out.i32(static_cast<std::int32_t>(image.height())); // positive: stored bottom-up
    out.u16(1);                                         // planes
    out.u16(16);
    out.text("DXT1");
    out.u32(static_cast<std::uint32_t>(topBytes));
    out.zeros(16); // resolution and palette fields

    out.text("FS70");
    out.u32(kFs70Length);
    out.u8(kFs70GroundTexture);
    out.u8(anyTransparent(image) ? kFs70Dxt1WithAlpha : kFs70Dxt1);
    for (int i = 10; i < 14; ++i)
        out.u8(kFs70UnknownBytes10To13);
    out.u16(mipCount);
    for (int i = 16; i < 20; ++i)
        out.u8(kFs70UnknownBytes16To19);

    // Each level is encoded as soon as it is made, rows read bottom-up in place, and only the
    // level in hand and the next one are held: no copy of the image, no flipped levels.
    const Image *level = &image;
    std::optional<Image> smaller;
    for (;;) {
        const std::size_t at = out.size();
        out.zeros(dxtSurfaceSize(DxtFormat::Dxt1, level->width(), level->height()));
        encodeDxt1BottomUp(level->data(), level->width(), level->height(), out.bytes().data() + at,
                           dxtLevel);
        if (level->width() == 1 && level->height() == 1)
            break;
        Image next = halveLevel(*level);
        smaller = std::move(next);
        level = &*smaller;
    }
    return std::move(out.bytes());
}

std::vector<std::uint8_t> encodeExtendedBitmap(const Image &image, int format,
                                               const std::string &file)
{
    return encodeExtendedBitmap(image, format, file, {});
}

} // namespace kovar
