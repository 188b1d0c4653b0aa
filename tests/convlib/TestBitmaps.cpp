// Test images and an independent writer of every bitmap form the library reads.
#include "TestBitmaps.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <squish.h>

#include <unistd.h>

namespace kovartest {

using kovar::BitmapLayout;
using kovar::Image;

namespace {

void put16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

bool isDxt(BitmapLayout layout)
{
    return layout == BitmapLayout::Dxt1 || layout == BitmapLayout::Dxt3 ||
           layout == BitmapLayout::Dxt5;
}

int squishFlags(BitmapLayout layout)
{
    return layout == BitmapLayout::Dxt1   ? squish::kDxt1
           : layout == BitmapLayout::Dxt3 ? squish::kDxt3
                                          : squish::kDxt5;
}

unsigned bitsPerPixel(BitmapLayout layout)
{
    return layout == BitmapLayout::Palette8   ? 8
           : layout == BitmapLayout::Masked16 ? 16
           : layout == BitmapLayout::Bgr24    ? 24
                                              : 32;
}

// An n-bit channel value (n >= 1) widened to 8 bits the usual way, by repeating its bits.
std::uint8_t widen(std::uint32_t v, int n)
{
    std::uint32_t wide = 0;
    for (int shift = 8 - n; shift > -n; shift -= n)
        wide |= shift >= 0 ? v << shift : v >> -shift;
    return static_cast<std::uint8_t>(wide);
}

// Index into a 256-colour palette of 3-3-1 bits of colour and 1 bit of alpha.
std::uint8_t paletteIndex(const std::uint8_t *p)
{
    return static_cast<std::uint8_t>((p[0] >> 5) << 5 | (p[1] >> 5) << 2 | (p[2] >> 7) << 1 |
                                     (p[3] >= 128 ? 1 : 0));
}

std::array<std::uint8_t, 4> paletteRgba(unsigned index)
{
    return {std::uint8_t(((index >> 5) & 7) * 255 / 7), std::uint8_t(((index >> 2) & 7) * 255 / 7),
            std::uint8_t(((index >> 1) & 1) * 255), std::uint8_t((index & 1) * 255)};
}

// Pixel bytes of one uncompressed level (rows in file order), and what they decode to.
std::vector<std::uint8_t> uncompressedLevel(const Image &image, const BitmapOptions &options,
                                            Image &expected)
{
    const unsigned bits = bitsPerPixel(options.layout);
    const std::size_t stride = (std::size_t{image.width()} * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> data(stride * image.height(), 0);
    for (std::uint32_t row = 0; row < image.height(); ++row) {
        const std::uint32_t y = options.topDown ? row : image.height() - 1 - row;
        std::uint8_t *out = data.data() + row * stride;
        for (std::uint32_t x = 0; x < image.width(); ++x) {
            const std::uint8_t *p = image.pixel(x, y);
            std::uint8_t *e = expected.pixel(x, y);
            switch (options.layout) {
            case BitmapLayout::Palette8: {
                const std::uint8_t index = paletteIndex(p);
                out[x] = index;
                const auto rgba = paletteRgba(index);
                std::copy(rgba.begin(), rgba.end(), e);
                break;
            }
            case BitmapLayout::Bgr24:
                out[3 * x] = p[2];
                out[3 * x + 1] = p[1];
                out[3 * x + 2] = p[0];
                e[0] = p[0], e[1] = p[1], e[2] = p[2], e[3] = 255;
                break;
            case BitmapLayout::Bgra32:
                out[4 * x] = p[2];
                out[4 * x + 1] = p[1];
                out[4 * x + 2] = p[0];
                out[4 * x + 3] = p[3];
                std::copy_n(p, 4, e);
                break;
            default: {
                const unsigned bytes = bits / 8;
                std::uint32_t value = 0;
                for (int c = 0; c < 4; ++c) {
                    const std::uint32_t mask = options.masks[c];
                    const int n = std::popcount(mask);
                    if (n == 0) {
                        e[c] = c == 3 ? 255 : 0;
                        continue;
                    }
                    const std::uint32_t v = p[c] >> (8 - n);
                    value |= v << std::countr_zero(mask);
                    e[c] = widen(v, n);
                }
                for (unsigned b = 0; b < bytes; ++b)
                    out[bytes * x + b] = static_cast<std::uint8_t>(value >> (8 * b));
                break;
            }
            }
        }
    }
    return data;
}

// The block surface of one level, stored like the rows of the file, and what it decodes to.
std::vector<std::uint8_t> dxtLevel(const Image &image, const BitmapOptions &options,
                                   Image &expected)
{
    const Image stored = options.topDown ? image : image.flippedVertically();
    const int flags = squishFlags(options.layout);
    const int w = static_cast<int>(image.width());
    const int h = static_cast<int>(image.height());
    std::vector<std::uint8_t> blocks(
        static_cast<std::size_t>(squish::GetStorageRequirements(w, h, flags)));
    squish::CompressImage(stored.data(), w, h, blocks.data(), flags);
    Image decoded(image.width(), image.height(), "expected");
    squish::DecompressImage(decoded.data(), w, h, blocks.data(), flags);
    expected = options.topDown ? decoded : decoded.flippedVertically();
    return blocks;
}

} // namespace

Image patternImage(std::uint32_t width, std::uint32_t height, bool water)
{
    Image image(width, height, "pattern");
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t *p = image.pixel(x, y);
            const double u = width > 1 ? double(x) / (width - 1) : 0.0;
            const double v = height > 1 ? double(y) / (height - 1) : 0.0;
            p[0] = static_cast<std::uint8_t>(40 + 200 * u);
            p[1] = static_cast<std::uint8_t>(30 + 180 * v);
            p[2] = static_cast<std::uint8_t>(90 + 60 * std::sin(6.0 * u + 3.0 * v));
            p[3] = water && u < 0.35 && v > 0.6 ? 0 : 255;
        }
    }
    return image;
}

Image noiseImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed)
{
    Image image(width, height, "noise");
    std::mt19937 random(seed);
    std::generate_n(image.data(), image.byteCount(),
                    [&] { return static_cast<std::uint8_t>(random() & 0xFF); });
    return image;
}

BuiltBitmap buildBitmap(const Image &image, const BitmapOptions &options)
{
    const bool masked =
        options.layout == BitmapLayout::Masked16 || options.layout == BitmapLayout::Masked32;
    std::vector<std::uint8_t> extras; // masks or palette after the info header
    std::uint32_t compression = 0;
    if (isDxt(options.layout)) {
        const char *name = options.layout == BitmapLayout::Dxt1   ? "DXT1"
                           : options.layout == BitmapLayout::Dxt3 ? "DXT3"
                                                                  : "DXT5";
        compression =
            std::uint32_t(std::uint8_t(name[0])) | std::uint32_t(std::uint8_t(name[1])) << 8 |
            std::uint32_t(std::uint8_t(name[2])) << 16 | std::uint32_t(std::uint8_t(name[3])) << 24;
    } else if (masked && options.bitfields) {
        compression = 3;
        if (options.infoSize == 40) {
            for (int c = 0; c < (options.masks[3] != 0 ? 4 : 3); ++c)
                put32(extras, options.masks[c]);
        }
    } else if (options.layout == BitmapLayout::Palette8) {
        for (unsigned i = 0; i < 256; ++i) {
            const auto rgba = paletteRgba(i);
            extras.insert(extras.end(), {rgba[2], rgba[1], rgba[0], rgba[3]});
        }
    }

    // The top level, then the mip levels the options ask for (their content is a plain
    // halving: the reader only counts them).
    BuiltBitmap built{{}, image};
    std::vector<std::uint8_t> pixels;
    Image level = image;
    for (int index = 0;; ++index) {
        Image expected = level;
        const auto data = isDxt(options.layout) ? dxtLevel(level, options, expected)
                                                : uncompressedLevel(level, options, expected);
        if (index == 0)
            built.expected = expected;
        pixels.insert(pixels.end(), data.begin(), data.end());
        const std::uint32_t side = std::max(level.width(), level.height());
        if (options.mips == Mips::None || side == 1 || (options.mips == Mips::To4x4 && side <= 4))
            break;
        Image half(std::max(1u, level.width() / 2), std::max(1u, level.height() / 2), "mip");
        for (std::uint32_t y = 0; y < half.height(); ++y)
            for (std::uint32_t x = 0; x < half.width(); ++x)
                std::copy_n(level.pixel(std::min(2 * x, level.width() - 1),
                                        std::min(2 * y, level.height() - 1)),
                            4, half.pixel(x, y));
        level = half;
    }

    const std::uint32_t fs70Bytes = options.fs70 ? 20 : 0;
    const std::uint32_t dataOffset =
        14 + options.infoSize + static_cast<std::uint32_t>(extras.size()) + options.gap + fs70Bytes;
    const std::uint32_t topBytes =
        isDxt(options.layout)
            ? static_cast<std::uint32_t>(squish::GetStorageRequirements(
                  int(image.width()), int(image.height()), squishFlags(options.layout)))
            : static_cast<std::uint32_t>(
                  (std::size_t{image.width()} * bitsPerPixel(options.layout) + 31) / 32 * 4 *
                  image.height());

    std::vector<std::uint8_t> &out = built.bytes;
    out = {'B', 'M'};
    put32(out, dataOffset + static_cast<std::uint32_t>(pixels.size()));
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, options.infoSize);
    put32(out, image.width());
    put32(out, options.topDown ? std::uint32_t(-std::int32_t(image.height())) : image.height());
    put16(out, 1);
    put16(out, isDxt(options.layout) ? 16 : bitsPerPixel(options.layout));
    put32(out, compression);
    put32(out, topBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, options.layout == BitmapLayout::Palette8 ? 256 : 0);
    put32(out, 0);
    std::vector<std::uint8_t> tail(options.infoSize - 40, 0); // masks of longer headers
    if (masked && options.bitfields && options.infoSize >= 52) {
        tail.clear();
        for (int c = 0; c < 4; ++c)
            put32(tail, options.masks[c]);
        tail.resize(options.infoSize - 40, 0);
    }
    out.insert(out.end(), tail.begin(), tail.end());
    out.insert(out.end(), extras.begin(), extras.end());
    out.insert(out.end(), options.gap, 0);
    if (options.fs70) {
        out.insert(out.end(), {'F', 'S', '7', '0'});
        put32(out, 20);
        out.push_back(3);
        out.push_back(options.layout == BitmapLayout::Dxt1 ? 2 : 4);
        out.insert(out.end(), 4, 0);
        put16(out, options.mips == Mips::None
                       ? 0
                       : std::bit_width(std::max(image.width(), image.height())) - 1);
        out.insert(out.end(), 4, 0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return built;
}

double opaquePsnr(const Image &reference, const Image &other)
{
    double sum = 0;
    std::size_t count = 0;
    for (std::uint32_t y = 0; y < reference.height(); ++y) {
        for (std::uint32_t x = 0; x < reference.width(); ++x) {
            const std::uint8_t *a = reference.pixel(x, y);
            if (a[3] < 128)
                continue;
            const std::uint8_t *b = other.pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                const double d = double(a[c]) - double(b[c]);
                sum += d * d;
                ++count;
            }
        }
    }
    if (sum == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

int maxChannelDifference(const Image &a, const Image &b)
{
    int worst = 0;
    for (std::size_t i = 0; i < a.byteCount(); ++i)
        worst = std::max(worst, std::abs(int(a.data()[i]) - int(b.data()[i])));
    return worst;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kovar-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::entries() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kovartest
