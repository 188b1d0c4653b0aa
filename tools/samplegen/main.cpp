// tessavane-samplegen: writes synthetic summer tiles as FS2004 textures through libkovar.
//
//   tessavane-samplegen <output folder> [count (8)] [first seed (1)]
//
// Tile n (seed first + n) is written as a 32-bit Targa to a temporary file in the output
// folder and converted with TargaToExtendedBitmap, format 11 (DXT1, 1-bit alpha, mip-maps).
// The names are FS2004's: 15 quadtree digits 0-3, then "su.bmp".
#include "convlib/kovar.h"
#include "samplegen/SyntheticTile.h"

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

// An uncompressed 32-bit Targa (image type 2), rows bottom-up, 8 alpha bits.
void writeTarga(const fs::path &path, const samplegen::SyntheticTile &tile)
{
    const std::uint32_t w = tile.width();
    const std::uint32_t h = tile.height();
    std::vector<std::uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<std::uint8_t>(w), bytes[13] = static_cast<std::uint8_t>(w >> 8);
    bytes[14] = static_cast<std::uint8_t>(h), bytes[15] = static_cast<std::uint8_t>(h >> 8);
    bytes[16] = 32;
    bytes[17] = 0x08;
    for (std::uint32_t row = 0; row < h; ++row) {
        const std::uint8_t *p = &tile.rgba()[std::size_t(h - 1 - row) * w * 4];
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

void writeTile(const fs::path &folder, std::uint32_t seed, std::uint64_t index)
{
    const samplegen::SyntheticTile tile(seed);
    const fs::path tga = folder / ("samplegen-" + std::to_string(getpid()) + ".tga");
    const fs::path output = folder / tileName(index);
    writeTarga(tga, tile);
    char message[KOVAR_MESSAGE_SIZE] = {};
    const int status =
        TargaToExtendedBitmap(tga.c_str(), output.c_str(), message, kFormatDxt1Mipmapped);
    std::error_code ignored;
    fs::remove(tga, ignored);
    if (status != KOVAR_OK) {
        throw std::runtime_error(message);
    }
    std::printf("%s (seed %u)\n", output.c_str(), seed);
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
