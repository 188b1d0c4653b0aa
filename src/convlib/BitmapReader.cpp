// Reads Windows bitmaps, the FS2004 texture form among them, into RGBA images.
#include "convlib/BitmapReader.h"

#include "convlib/ByteReader.h"
#include "convlib/Dxt.h"
#include "convlib/Error.h"

#include <algorithm>
#include <bit>

namespace kovar {

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kFs70Bytes = 20;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

// Byte 9 of the FS70 block: the texture declares that it has no transparent texels.
constexpr std::uint8_t kFs70Opaque = 1;

constexpr std::uint32_t fourCc(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | (std::uint32_t(std::uint8_t(b)) << 8) |
           (std::uint32_t(std::uint8_t(c)) << 16) | (std::uint32_t(std::uint8_t(d)) << 24);
}

constexpr std::uint32_t kFourCcDxt1 = fourCc('D', 'X', 'T', '1');
constexpr std::uint32_t kFourCcDxt3 = fourCc('D', 'X', 'T', '3');
constexpr std::uint32_t kFourCcDxt5 = fourCc('D', 'X', 'T', '5');

[[noreturn]] void fail(KovarStatus status, const std::string &file, const std::string &reason)
{
    throw Error(status, file + ": " + reason);
}

std::string compressionName(std::uint32_t compression)
{
    switch (compression) {
    case 1:
        return "RLE8";
    case 2:
        return "RLE4";
    case 4:
        return "JPEG";
    case 5:
        return "PNG";
    default:
        break;
    }
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(compression >> (8 * i));
        if (c < 0x20 || c > 0x7e)
            return std::to_string(compression);
        text += c;
    }
    return "'" + text + "'";
}

bool isDxt(BitmapLayout layout)
{
    return layout == BitmapLayout::Dxt1 || layout == BitmapLayout::Dxt3 ||
           layout == BitmapLayout::Dxt5;
}

DxtFormat dxtFormat(BitmapLayout layout)
{
    return layout == BitmapLayout::Dxt1   ? DxtFormat::Dxt1
           : layout == BitmapLayout::Dxt3 ? DxtFormat::Dxt3
                                          : DxtFormat::Dxt5;
}

unsigned bitsPerPixel(BitmapLayout layout)
{
    switch (layout) {
    case BitmapLayout::Palette8:
        return 8;
    case BitmapLayout::Masked16:
        return 16;
    case BitmapLayout::Bgr24:
        return 24;
    default:
        return 32;
    }
}

// Bytes of one row of an uncompressed level: padded to a multiple of 4.
std::uint64_t rowBytes(BitmapLayout layout, std::uint32_t width)
{
    return (std::uint64_t{width} * bitsPerPixel(layout) + 31) / 32 * 4;
}

std::uint64_t levelBytes(BitmapLayout layout, std::uint32_t width, std::uint32_t height)
{
    if (isDxt(layout))
        return dxtSurfaceSize(dxtFormat(layout), width, height);
    return rowBytes(layout, width) * height;
}

BitmapLayout layoutOf(std::uint32_t compression, std::uint16_t bitCount, const std::string &file)
{
    if (compression == kFourCcDxt1)
        return BitmapLayout::Dxt1;
    if (compression == kFourCcDxt3)
        return BitmapLayout::Dxt3;
    if (compression == kFourCcDxt5)
        return BitmapLayout::Dxt5;
    if (compression == kBiRgb) {
        switch (bitCount) {
        case 8:
            return BitmapLayout::Palette8;
        case 16:
            return BitmapLayout::Masked16;
        case 24:
            return BitmapLayout::Bgr24;
        case 32:
            return BitmapLayout::Bgra32;
        default:
            fail(KOVAR_ERROR_UNSUPPORTED, file,
                 "bit depth " + std::to_string(bitCount) +
                     " is not supported (8, 16, 24 and 32 are read)");
        }
    }
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        if (bitCount == 16)
            return BitmapLayout::Masked16;
        if (bitCount == 32)
            return BitmapLayout::Masked32;
        fail(KOVAR_ERROR_UNSUPPORTED, file,
             "bit fields with bit depth " + std::to_string(bitCount) +
                 " are not supported (16 and 32 are read)");
    }
    fail(KOVAR_ERROR_UNSUPPORTED, file,
         "compression " + compressionName(compression) + " is not supported");
}

bool isContiguous(std::uint32_t mask)
{
    return mask == 0 || std::has_single_bit((std::uint64_t{mask} >> std::countr_zero(mask)) + 1);
}

bool masksValid(const std::array<std::uint32_t, 4> &masks, unsigned bits)
{
    const std::uint64_t limit = std::uint64_t{1} << bits;
    std::uint32_t seen = 0;
    for (const std::uint32_t mask : masks) {
        if (!isContiguous(mask) || mask >= limit || (seen & mask) != 0)
            return false;
        seen |= mask;
    }
    return (masks[0] | masks[1] | masks[2]) != 0;
}

// Reads the bit-field masks into info.masks. Masks that the info header does not hold follow
// it and must end before `extrasEnd`, where the FS70 block or the pixel data begins.
void readMasks(const ByteReader &in, std::uint32_t infoSize, std::uint32_t compression,
               std::uint64_t extrasEnd, BitmapInfo &info)
{
    const std::string &file = in.file();
    const unsigned bits = bitsPerPixel(info.layout);
    constexpr std::uint32_t kMasksAt = kFileHeaderBytes + 40;
    constexpr std::uint32_t kColourMasksEnd = kMasksAt + 12;
    constexpr std::uint32_t kAlphaMaskEnd = kMasksAt + 16;
    if (compression == kBiRgb) {
        info.masks = {0x7C00, 0x03E0, 0x001F, 0};
        return;
    }
    if (kColourMasksEnd > extrasEnd)
        fail(KOVAR_ERROR_FORMAT, file, "the colour masks run into the pixel data");
    for (int i = 0; i < 3; ++i)
        info.masks[i] = in.u32(kMasksAt + 4 * i, "the colour masks");
    if (infoSize >= 56 || compression == kBiAlphaBitfields) {
        if (kAlphaMaskEnd > extrasEnd)
            fail(KOVAR_ERROR_FORMAT, file, "the alpha mask runs into the pixel data");
        info.masks[3] = in.u32(kMasksAt + 12, "the alpha mask");
    } else if (kAlphaMaskEnd <= extrasEnd) {
        // Some writers put an alpha mask after the three colour masks of a short header.
        auto withAlpha = info.masks;
        withAlpha[3] = in.u32(kMasksAt + 12, "the alpha mask");
        if (masksValid(withAlpha, bits))
            info.masks = withAlpha;
    }
    // Three 4-bit colour masks leave the top four bits of a 16-bit pixel: in this form they
    // hold alpha, although a short header has no field to say so.
    if (compression == kBiBitfields && info.masks[3] == 0 && bits == 16 &&
        info.masks[0] == 0x0F00 && info.masks[1] == 0x00F0 && info.masks[2] == 0x000F) {
        info.masks[3] = 0xF000;
        info.alphaUndeclared = true;
    }
    if (!masksValid(info.masks, bits)) {
        fail(KOVAR_ERROR_FORMAT, file,
             "the colour masks are not valid for " + std::to_string(bits) +
                 "-bit pixels (each must be contiguous, inside the pixel and apart from the "
                 "others)");
    }
}

void readPalette(const ByteReader &in, std::uint32_t infoSize, std::uint64_t extrasEnd,
                 BitmapInfo &info)
{
    const std::string &file = in.file();
    const std::uint32_t used = in.u32(kFileHeaderBytes + 32, "the info header");
    if (used > 256) {
        fail(KOVAR_ERROR_FORMAT, file,
             "a palette of " + std::to_string(used) +
                 " colours is more than an 8-bit bitmap can use");
    }
    info.paletteOffset = kFileHeaderBytes + infoSize;
    const std::uint64_t room = extrasEnd - info.paletteOffset;
    // A count of 0 means a full palette; a writer that left it 0 may have stored fewer.
    info.paletteColours =
        used != 0 ? used : static_cast<std::uint32_t>(std::min<std::uint64_t>(256, room / 4));
    if (info.paletteColours == 0)
        fail(KOVAR_ERROR_FORMAT, file,
             "there is no palette between the headers and the pixel data");
    if (std::uint64_t{info.paletteColours} * 4 > room) {
        fail(KOVAR_ERROR_FORMAT, file,
             "the palette of " + std::to_string(info.paletteColours) +
                 " colours runs into the pixel data");
    }
    in.require(info.paletteOffset, std::uint64_t{info.paletteColours} * 4, "the palette");
}

// Whole mip levels after the top level, worked out from the bytes that remain.
std::uint32_t countMipLevels(const BitmapInfo &info, std::uint64_t fileSize)
{
    std::uint64_t remaining = fileSize - info.dataOffset - info.levelBytes;
    std::uint32_t levels = 1;
    std::uint32_t width = info.width;
    std::uint32_t height = info.height;
    while (width > 1 || height > 1) {
        width = std::max<std::uint32_t>(1, width / 2);
        height = std::max<std::uint32_t>(1, height / 2);
        const std::uint64_t bytes = levelBytes(info.layout, width, height);
        if (bytes > remaining)
            break;
        remaining -= bytes;
        ++levels;
    }
    return levels;
}

// Widens a channel of `bits` bits to 8 bits by repeating its bits (5 bits abcde: abcdeabc).
std::uint8_t widen(std::uint32_t value, int bits)
{
    if (bits == 0)
        return 0;
    if (bits >= 8)
        return static_cast<std::uint8_t>(value >> (bits - 8));
    std::uint32_t out = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        out |= shift >= 0 ? value << shift : value >> -shift;
    return static_cast<std::uint8_t>(out);
}

void decodeMasked(const BitmapInfo &info, const std::uint8_t *row, Image &image, std::uint32_t y)
{
    const unsigned bytesPerPixel = info.layout == BitmapLayout::Masked16 ? 2 : 4;
    int shifts[4];
    int bits[4];
    for (int c = 0; c < 4; ++c) {
        shifts[c] = info.masks[c] == 0 ? 0 : std::countr_zero(info.masks[c]);
        bits[c] = std::popcount(info.masks[c]);
    }
    for (std::uint32_t x = 0; x < info.width; ++x) {
        const std::uint8_t *p = row + std::size_t{x} * bytesPerPixel;
        const std::uint32_t value = bytesPerPixel == 4 ? loadLe32(p) : loadLe16(p);
        std::uint8_t *out = image.pixel(x, y);
        for (int c = 0; c < 3; ++c)
            out[c] = widen((value & info.masks[c]) >> shifts[c], bits[c]);
        out[3] = info.masks[3] == 0 ? 255 : widen((value & info.masks[3]) >> shifts[3], bits[3]);
    }
}

void decodeRow(const BitmapInfo &info, std::span<const std::uint8_t> palette,
               const std::uint8_t *row, Image &image, std::uint32_t y, const std::string &file)
{
    switch (info.layout) {
    case BitmapLayout::Palette8:
        for (std::uint32_t x = 0; x < info.width; ++x) {
            const std::uint32_t index = row[x];
            if (index >= info.paletteColours) {
                fail(KOVAR_ERROR_FORMAT, file,
                     "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") uses colour " +
                         std::to_string(index) + " but the palette has " +
                         std::to_string(info.paletteColours));
            }
            const std::uint8_t *entry = &palette[std::size_t{index} * 4];
            std::uint8_t *out = image.pixel(x, y);
            out[0] = entry[2];
            out[1] = entry[1];
            out[2] = entry[0];
            out[3] = entry[3];
        }
        break;
    case BitmapLayout::Bgr24:
    case BitmapLayout::Bgra32: {
        const bool alpha = info.layout == BitmapLayout::Bgra32;
        const unsigned step = alpha ? 4 : 3;
        for (std::uint32_t x = 0; x < info.width; ++x) {
            const std::uint8_t *p = row + std::size_t{x} * step;
            std::uint8_t *out = image.pixel(x, y);
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out[3] = alpha ? p[3] : 255;
        }
        break;
    }
    default:
        decodeMasked(info, row, image, y);
        break;
    }
}

// Alpha that no header field declares (a palette's or a 32-bit pixel's fourth byte, the spare
// bits of a 4-4-4 pixel) is often left 0 by writers that mean no alpha at all: an image whose
// every such value is 0 is read as opaque.
void makeOpaqueWhenAlphaUnused(Image &image)
{
    std::uint8_t *data = image.data();
    const std::size_t bytes = image.byteCount();
    for (std::size_t i = 3; i < bytes; i += 4) {
        if (data[i] != 0)
            return;
    }
    for (std::size_t i = 3; i < bytes; i += 4)
        data[i] = 255;
}

} // namespace

BitmapInfo inspectBitmap(std::span<const std::uint8_t> bytes, const std::string &file)
{
    const ByteReader in(bytes, file);
    if (bytes.empty())
        fail(KOVAR_ERROR_FORMAT, file, "file is empty");
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        fail(KOVAR_ERROR_FORMAT, file, "not a bitmap (the file does not start with \"BM\")");

    BitmapInfo info;
    info.dataOffset = in.u32(10, "the file header");
    const std::uint32_t infoSize = in.u32(kFileHeaderBytes, "the info header");
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
        fail(KOVAR_ERROR_UNSUPPORTED, file,
             "an info header of " + std::to_string(infoSize) +
                 " bytes is not supported (40, 52, 56, 108 and 124 are read)");
    }
    in.require(kFileHeaderBytes, infoSize, "the info header");
    const std::int64_t width = in.i32(18, "the info header");
    const std::int64_t height = in.i32(22, "the info header");
    Image::checkDimensions(width, height < 0 ? -height : height, file);
    info.width = static_cast<std::uint32_t>(width);
    info.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    info.topDown = height < 0;

    const std::uint16_t bitCount = in.u16(28, "the info header");
    const std::uint32_t compression = in.u32(30, "the info header");
    info.layout = layoutOf(compression, bitCount, file);

    const std::uint64_t headersEnd = kFileHeaderBytes + infoSize;
    if (info.dataOffset < headersEnd) {
        fail(KOVAR_ERROR_FORMAT, file,
             "the pixel data offset " + std::to_string(info.dataOffset) +
                 " lies inside the headers, which end at " + std::to_string(headersEnd));
    }
    std::uint64_t extrasEnd = info.dataOffset;
    if (info.dataOffset >= headersEnd + kFs70Bytes && info.dataOffset <= bytes.size()) {
        const auto block = bytes.subspan(info.dataOffset - kFs70Bytes, kFs70Bytes);
        if (block[0] == 'F' && block[1] == 'S' && block[2] == '7' && block[3] == '0') {
            info.hasFs70 = true;
            info.fs70Type = block[9];
            extrasEnd -= kFs70Bytes;
        }
    }

    if (info.layout == BitmapLayout::Masked16 || info.layout == BitmapLayout::Masked32)
        readMasks(in, infoSize, compression, extrasEnd, info);
    if (info.layout == BitmapLayout::Palette8)
        readPalette(in, infoSize, extrasEnd, info);
    if (info.layout == BitmapLayout::Palette8 || info.layout == BitmapLayout::Bgra32)
        info.alphaUndeclared = true;

    info.levelBytes = levelBytes(info.layout, info.width, info.height);
    in.require(info.dataOffset, info.levelBytes, "the pixel data");
    info.mipLevels = countMipLevels(info, bytes.size());
    return info;
}

Image decodeBitmap(std::span<const std::uint8_t> bytes, const std::string &file)
{
    const BitmapInfo info = inspectBitmap(bytes, file);
    const std::uint8_t *data = bytes.data() + info.dataOffset;
    Image image(info.width, info.height, file);

    if (isDxt(info.layout)) {
        decodeDxt(dxtFormat(info.layout), data, info.width, info.height, image.data());
        // A texture that declares itself opaque reads index 3 of a three-colour block as the
        // black it stands for, not as a hole.
        if (info.layout == BitmapLayout::Dxt1 && info.hasFs70 && info.fs70Type == kFs70Opaque) {
            std::uint8_t *texels = image.data();
            for (std::size_t i = 3; i < image.byteCount(); i += 4)
                texels[i] = 255;
        }
        // Blocks are stored with the image's rows bottom-up, like an uncompressed bitmap.
        if (!info.topDown)
            image.flipVertically();
        return image;
    }

    const std::span<const std::uint8_t> palette =
        info.layout == BitmapLayout::Palette8
            ? bytes.subspan(info.paletteOffset, std::size_t{info.paletteColours} * 4)
            : std::span<const std::uint8_t>();
    const std::uint64_t stride = rowBytes(info.layout, info.width);
    for (std::uint32_t row = 0; row < info.height; ++row) {
        const std::uint32_t y = info.topDown ? row : info.height - 1 - row;
        decodeRow(info, palette, data + row * stride, image, y, file);
    }
    if (info.alphaUndeclared)
        makeOpaqueWhenAlphaUnused(image);
    return image;
}

} // namespace kovar
