// Targa (TGA) images: the 32-bit form the library writes, and the true-colour forms it reads.
#include "convlib/Targa.h"

#include "convlib/ByteReader.h"
#include "convlib/ByteWriter.h"
#include "convlib/Error.h"

namespace kovar {

namespace {

constexpr std::uint32_t kHeaderBytes = 18;
constexpr std::uint8_t kTrueColour = 2;
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopToBottom = 0x20;
constexpr std::uint8_t kEightAlphaBits = 0x08;

} // namespace

Image decodeTarga(std::span<const std::uint8_t> bytes, const std::string &file)
{
    const ByteReader in(bytes, file);
    if (bytes.empty())
        throw Error(KOVAR_ERROR_FORMAT, file + ": file is empty");
    in.require(0, kHeaderBytes, "the Targa header");
    const std::uint8_t idLength = in.u8(0, "the Targa header");
    const std::uint8_t colourMapType = in.u8(1, "the Targa header");
    const std::uint8_t imageType = in.u8(2, "the Targa header");
    const std::uint16_t mapLength = in.u16(5, "the Targa header");
    const std::uint8_t mapEntryBits = in.u8(7, "the Targa header");
    const std::uint16_t width = in.u16(12, "the Targa header");
    const std::uint16_t height = in.u16(14, "the Targa header");
    const std::uint8_t depth = in.u8(16, "the Targa header");
    const std::uint8_t descriptor = in.u8(17, "the Targa header");

    const bool knownType =
        (imageType >= 1 && imageType <= 3) || (imageType >= 9 && imageType <= 11);
    if (colourMapType > 1 || !knownType) {
        throw Error(KOVAR_ERROR_FORMAT, file + ": not a Targa image (colour map type " +
                                            std::to_string(colourMapType) + ", image type " +
                                            std::to_string(imageType) + ")");
    }
    if (imageType != kTrueColour || (depth != 24 && depth != 32)) {
        throw Error(KOVAR_ERROR_UNSUPPORTED,
                    file + ": not a 32-bit Targa image (image type " + std::to_string(imageType) +
                        ", " + std::to_string(depth) +
                        " bits per pixel; uncompressed 24- and 32-bit true colour are read)");
    }
    Image::checkDimensions(width, height, file);

    const std::uint64_t mapBytes =
        colourMapType == 1 ? std::uint64_t{mapLength} * ((mapEntryBits + 7u) / 8u) : 0;
    const std::uint64_t dataOffset = kHeaderBytes + idLength + mapBytes;
    const unsigned bytesPerPixel = depth / 8u;
    const std::uint64_t rowBytes = std::uint64_t{width} * bytesPerPixel;
    const std::uint8_t *data = in.bytes(dataOffset, rowBytes * height, "the pixel data").data();

    Image image(width, height, file);
    const bool topDown = (descriptor & kTopToBottom) != 0;
    const bool rightToLeft = (descriptor & kRightToLeft) != 0;
    for (std::uint32_t row = 0; row < height; ++row) {
        const std::uint32_t y = topDown ? row : height - 1u - row;
        const std::uint8_t *p = data + row * rowBytes;
        for (std::uint32_t column = 0; column < width; ++column, p += bytesPerPixel) {
            const std::uint32_t x = rightToLeft ? width - 1u - column : column;
            std::uint8_t *out = image.pixel(x, y);
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out[3] = bytesPerPixel == 4 ? p[3] : 255;
        }
    }
    return image;
}

std::vector<std::uint8_t> encodeTarga(const Image &image)
{
    ByteWriter out(kHeaderBytes + image.byteCount());
    out.u8(0); // no image ID
    out.u8(0); // no colour map
    out.u8(kTrueColour);
    out.zeros(5); // no colour map: first entry, length, entry size
    out.u16(0);   // x origin
    out.u16(0);   // y origin
    out.u16(static_cast<std::uint16_t>(image.width()));
    out.u16(static_cast<std::uint16_t>(image.height()));
    out.u8(32);
    out.u8(kEightAlphaBits); // rows bottom-up, columns left to right
    for (std::uint32_t row = 0; row < image.height(); ++row) {
        const std::uint8_t *p = image.pixel(0, image.height() - 1 - row);
        for (std::uint32_t x = 0; x < image.width(); ++x, p += 4) {
            const std::uint8_t bgra[4] = {p[2], p[1], p[0], p[3]};
            out.append(bgra, 4);
        }
    }
    return std::move(out.bytes());
}

} // namespace kovar
