// tessavane-samplegen: writes summer tiles as FS2004 textures through libkovar.
//
//   tessavane-samplegen <output folder> [count (8)] [first seed (1)]
//   tessavane-samplegen --photos <output folder> <picture>...
//
// The first form writes synthetic tiles: tile n (seed first + n). The second cuts one
// 256 x 256 tile from the middle of each picture (any format Qt reads, at least 256 x 256;
// aerial photographs) and keeps the cut as an uncompressed Targa "<address>summer.tga" beside the
// texture, so benchmarks can measure a codec on pixels that never went through one. Photographs
// have no water mask: their tiles are land throughout.
//
// Each tile is written as a 32-bit Targa and converted with TargaToExtendedBitmap, format 11
// (DXT1, 1-bit alpha, mip-maps). The names are FS2004's: 15 quadtree digits 0-3, then "su.bmp".
#include "convlib/kovar.h"
#include "samplegen/SyntheticTile.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kAddressDigits = 15;

constexpr std::uint64_t fromBase4(const char *digits)
{
    std::uint64_t value = 0;
    for (; *digits; ++digits) {
        value = value * 4 + std::uint64_t(*digits - '0');
    }
    return value;
}

// The address of the first tile; later tiles follow it in base 4, so a set of samples reads as
// neighbouring tiles of one area.
constexpr std::uint64_t kFirstAddress = fromBase4("030123210321200");
constexpr int kFormatDxt1Mipmapped = 11;

std::string tileName(std::uint64_t index)
{
    std::uint64_t address = (kFirstAddress + index) % (1ull << (2 * kAddressDigits));
    std::string digits(kAddressDigits, '0');
    for (int i = kAddressDigits - 1; i >= 0; --i) {
        digits[std::size_t(i)] = static_cast<char>('0' + (address & 3));
        address >>= 2;
    }
    return digits + "su.bmp";
}

// An uncompressed 32-bit Targa (image type 2), rows bottom-up, 8 alpha bits, from R,G,B,A
// bytes with rows top-down.
void writeTarga(const fs::path &path, std::uint32_t w, std::uint32_t h,
                const std::vector<std::uint8_t> &rgba)
{
    std::vector<std::uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<std::uint8_t>(w), bytes[13] = static_cast<std::uint8_t>(w >> 8);
    bytes[14] = static_cast<std::uint8_t>(h), bytes[15] = static_cast<std::uint8_t>(h >> 8);
    bytes[16] = 32;
    bytes[17] = 0x08;
    for (std::uint32_t row = 0; row < h; ++row) {
        const std::uint8_t *p = &rgba[std::size_t(h - 1 - row) * w * 4];
        for (std::uint32_t x = 0; x < w; ++x, p += 4) {
            bytes.insert(bytes.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error(path.string() + ": cannot write the Targa image");
    }
}

// Converts a Targa to the texture `output`.
void convert(const fs::path &tga, const fs::path &output)
{
    char message[KOVAR_MESSAGE_SIZE] = {};
    const int status =
        TargaToExtendedBitmap(tga.c_str(), output.c_str(), message, kFormatDxt1Mipmapped);
    if (status != KOVAR_OK) {
        throw std::runtime_error(message);
    }
}

void writeTile(const fs::path &folder, std::uint32_t seed, std::uint64_t index)
{
    const samplegen::SyntheticTile tile(seed);
    const fs::path tga = folder / ("samplegen-" + std::to_string(getpid()) + ".tga");
    const fs::path output = folder / tileName(index);
    writeTarga(tga, tile.width(), tile.height(), tile.rgba());
    try {
        convert(tga, output);
    } catch (...) {
        std::error_code ignored;
        fs::remove(tga, ignored);
        throw;
    }
    std::error_code ignored;
    fs::remove(tga, ignored);
    std::printf("%s (seed %u)\n", output.c_str(), seed);
}

// The middle 256 x 256 of a picture, opaque, as R,G,B,A bytes rows top-down.
std::vector<std::uint8_t> photoTile(const fs::path &picture)
{
    constexpr int n = int(samplegen::SyntheticTile::kSize);
    QImage image(QString::fromStdString(picture.string()));
    if (image.isNull()) {
        throw std::runtime_error(picture.string() + ": not a picture that can be read");
    }
    if (image.width() < n || image.height() < n) {
        throw std::runtime_error(picture.string() + ": smaller than 256 x 256");
    }
    const QImage cut = image.copy((image.width() - n) / 2, (image.height() - n) / 2, n, n)
                           .convertToFormat(QImage::Format_RGBX8888);
    std::vector<std::uint8_t> rgba(std::size_t(n) * n * 4);
    for (int y = 0; y < n; ++y) {
        std::copy_n(cut.constScanLine(y), std::size_t(n) * 4, &rgba[std::size_t(y) * n * 4]);
    }
    return rgba;
}

void writePhotoTile(const fs::path &folder, const fs::path &picture, std::uint64_t index)
{
    const fs::path output = folder / tileName(index);
    std::string summer = output.filename().string();
    summer.replace(summer.size() - 6, 6, "summer.tga");
    const fs::path tga = folder / summer;
    writeTarga(tga, samplegen::SyntheticTile::kSize, samplegen::SyntheticTile::kSize,
               photoTile(picture));
    convert(tga, output);
    std::printf("%s (%s)\n", output.c_str(), picture.c_str());
}

std::uint32_t parseCount(const char *text, const char *what)
{
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used);
        if (used == std::string(text).size() && value <= 1000000) {
            return static_cast<std::uint32_t>(value);
        }
    } catch (const std::exception &) {
    }
    throw std::invalid_argument(std::string(what) + " \"" + text +
                                "\" is not a whole number from 0 to 1000000");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::string(argv[1]) == "--photos") {
        if (argc < 4) {
            std::fprintf(stderr, "usage: %s --photos <output folder> <picture>...\n", argv[0]);
            return 2;
        }
        try {
            const fs::path folder = argv[2];
            if (!fs::is_directory(folder)) {
                throw std::runtime_error(folder.string() + ": not a folder");
            }
            for (int i = 3; i < argc; ++i) {
                writePhotoTile(folder, argv[i], std::uint64_t(i - 3));
            }
        } catch (const std::exception &e) {
            std::fprintf(stderr, "tessavane-samplegen: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s <output folder> [count (8)] [first seed (1)]\n", argv[0]);
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        const std::uint32_t count = argc > 2 ? parseCount(argv[2], "count") : 8;
        const std::uint32_t first = argc > 3 ? parseCount(argv[3], "first seed") : 1;
        if (!fs::is_directory(folder)) {
            throw std::runtime_error(folder.string() + ": not a folder");
        }
        for (std::uint32_t n = 0; n < count; ++n) {
            writeTile(folder, first + n, n);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tessavane-samplegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
