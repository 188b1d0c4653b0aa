// The two bitmaps a texture is split into: its colour part and its alpha part.
#include "convlib/WorkingBitmaps.h"

#include "convlib/ByteWriter.h"
#include "convlib/Error.h"

namespace kovar {

namespace {

constexpr std::uint32_t kHeadersBytes = 54;

std::uint32_t paddedRowBytes(std::uint32_t width, std::uint32_t bytesPerPixel)
{
    return (width * bytesPerPixel + 3) / 4 * 4;
}

// File header and 40-byte info header of an uncompressed bottom-up bitmap.
ByteWriter bitmapHeaders(const Image &image, std::uint16_t bits, std::uint32_t paletteColours,
                         std::uint32_t pixelBytes)
{
    const std::uint32_t dataOffset = kHeadersBytes + paletteColours * 4;
    ByteWriter out(dataOffset + pixelBytes);
    out.text("BM");
    out.u32(dataOffset + pixelBytes);
    out.u32(0); // reserved
    out.u32(dataOffset);
    out.u32(40);
    out.i32(static_cast<std::int32_t>(image.width()));
    out.i32(static_cast<std::int32_t>(image.height()));
    out.u16(1); // planes
    out.u16(bits);
    out.u32(0); // uncompressed
    out.u32(pixelBytes);
    out.u32(0); // horizontal resolution
    out.u32(0); // vertical resolution
    out.u32(paletteColours);
    out.u32(0); // all colours important
    return out;
}

std::string sizeText(const Image &image)
{
    return std::to_string(image.width()) + " x " + std::to_string(image.height());
}

} // namespace

std::vector<std::uint8_t> encodeColourBitmap(const Image &image)
{
    const std::uint32_t stride = paddedRowBytes(image.width(), 3);
    ByteWriter out = bitmapHeaders(image, 24, 0, stride * image.height());
    std::vector<std::uint8_t> row(stride, 0);
    for (std::uint32_t y = image.height(); y-- > 0;) {
        const std::uint8_t *p = image.pixel(0, y);
        for (std::uint32_t x = 0; x < image.width(); ++x, p += 4) {
            row[x * 3] = p[2];
            row[x * 3 + 1] = p[1];
            row[x * 3 + 2] = p[0];
        }
        out.append(row.data(), row.size());
    }
    return std::move(out.bytes());
}

std::vector<std::uint8_t> encodeAlphaBitmap(const Image &image)
{
    const std::uint32_t stride = paddedRowBytes(image.width(), 1);
    ByteWriter out = bitmapHeaders(image, 8, 256, stride * image.height());
    for (unsigned grey = 0; grey < 256; ++grey) {
        const std::uint8_t entry[4] = {std::uint8_t(grey), std::uint8_t(grey), std::uint8_t(grey),
                                       0};
        out.append(entry, 4);
    }
    std::vector<std::uint8_t> row(stride, 0);
    for (std::uint32_t y = image.height(); y-- > 0;) {
        for (std::uint32_t x = 0; x < image.width(); ++x)
            row[x] = image.pixel(x, y)[3];
        out.append(row.data(), row.size());
    }
    return std::move(out.bytes());
}

Image joinColourAndAlpha(const Image &colour, const std::string &colourFile, const Image &alpha,
                         const std::string &alphaFile)
{
    if (colour.width() != alpha.width() || colour.height() != alpha.height()) {
        throw Error(KOVAR_ERROR_DIMENSIONS, colourFile + " is " + sizeText(colour) + " but " +
                                                alphaFile + " is " + sizeText(alpha) +
                                                ": the colour and alpha parts must be the same "
                                                "size");
    }
    Image joined = colour;
    for (std::uint32_t y = 0; y < joined.height(); ++y) {
        for (std::uint32_t x = 0; x < joined.width(); ++x) {
            const std::uint8_t *a = alpha.pixel(x, y);
            joined.pixel(x, y)[3] = static_cast<std::uint8_t>((a[0] + a[1] + a[2] + 1) / 3);
        }
    }
    return joined;
}

} // namespace kovar
