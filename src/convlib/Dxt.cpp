// DXT (S3TC) block compression: decoding DXT1/3/5 surfaces and encoding DXT1 with 1-bit alpha.
#include "convlib/Dxt.h"

#include "convlib/DxtBlock.h"
#include "convlib/DxtFourColourFit.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

namespace kovar {

namespace {

using dxtblock::expand565;
using dxtblock::kTexels;

// Fewer block rows than this per thread are encoded on fewer threads: starting a thread would
// cost more than it saves.
constexpr std::uint32_t kMinRowsPerThread = 16;

// Sixteen transparent black texels.
constexpr std::uint8_t kEmptyBlock[kTexels * 4] = {};

std::atomic<unsigned> g_encodeThreads{0};

std::uint32_t blocksAcross(std::uint32_t size)
{
    return std::max<std::uint32_t>(1, (size + 3) / 4);
}

std::uint32_t load32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The four palette entries (RGBA) of a colour block. Three-colour mode (colour0 <= colour1) is
// honoured only for DXT1; DXT3 and DXT5 always interpolate four colours.
void colourPalette(const std::uint8_t *block, bool dxt1, std::uint8_t palette[4][4])
{
    const std::uint16_t c0 = static_cast<std::uint16_t>(block[0] | (block[1] << 8));
    const std::uint16_t c1 = static_cast<std::uint16_t>(block[2] | (block[3] << 8));
    const auto a = expand565(c0);
    const auto b = expand565(c1);
    const bool threeColour = dxt1 && c0 <= c1;
    for (int ch = 0; ch < 3; ++ch) {
        palette[0][ch] = static_cast<std::uint8_t>(a[ch]);
        palette[1][ch] = static_cast<std::uint8_t>(b[ch]);
        if (threeColour) {
            palette[2][ch] = static_cast<std::uint8_t>((a[ch] + b[ch]) / 2);
            palette[3][ch] = 0;
        } else {
            palette[2][ch] = static_cast<std::uint8_t>((2 * a[ch] + b[ch]) / 3);
            palette[3][ch] = static_cast<std::uint8_t>((a[ch] + 2 * b[ch]) / 3);
        }
    }
    palette[0][3] = palette[1][3] = palette[2][3] = 255;
    palette[3][3] = threeColour ? 0 : 255;
}

void decodeColourBlock(const std::uint8_t *block, bool dxt1, std::uint8_t texels[kTexels][4])
{
    std::uint8_t palette[4][4];
    colourPalette(block, dxt1, palette);
    const std::uint32_t indices = load32(block + 4);
    for (int i = 0; i < kTexels; ++i) {
        std::memcpy(texels[i], palette[(indices >> (2 * i)) & 3], 4);
    }
}

// DXT3: sixteen explicit 4-bit alpha values, two per byte, low nibble first.
void decodeExplicitAlpha(const std::uint8_t *block, std::uint8_t texels[kTexels][4])
{
    for (int i = 0; i < kTexels; ++i) {
        const int nibble = (block[i / 2] >> (4 * (i & 1))) & 15;
        texels[i][3] = static_cast<std::uint8_t>(nibble | (nibble << 4));
    }
}

// DXT5: two alpha endpoints and sixteen 3-bit indices into an eight-entry ramp; when the first
// endpoint is not above the second, the ramp has four steps between them, then 0 and 255.
void decodeInterpolatedAlpha(const std::uint8_t *block, std::uint8_t texels[kTexels][4])
{
    const int a0 = block[0];
    const int a1 = block[1];
    int ramp[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) {
            ramp[1 + i] = ((7 - i) * a0 + i * a1) / 7;
        }
    } else {
        for (int i = 1; i < 5; ++i) {
            ramp[1 + i] = ((5 - i) * a0 + i * a1) / 5;
        }
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
    }
    for (int i = 0; i < kTexels; ++i) {
        texels[i][3] = static_cast<std::uint8_t>(ramp[(bits >> (3 * i)) & 7]);
    }
}

// Copies the 4 x 4 block at (bx, by) out of an image; texels beyond the right or bottom edge
// repeat the nearest texel inside, so a partial block is fitted to its own colours only. With
// `bottomUp`, the image is the one whose row y is row height - 1 - y of `rgba`.
void gatherBlock(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height, bool bottomUp,
                 std::uint32_t bx, std::uint32_t by, std::uint8_t out[kTexels * 4])
{
    if (bx * 4 + 4 <= width && by * 4 + 4 <= height) {
        // A whole block inside the image: four rows of four texels.
        for (std::uint32_t y = 0; y < 4; ++y) {
            const std::uint32_t row = by * 4 + y;
            const std::uint32_t sy = bottomUp ? height - 1 - row : row;
            std::memcpy(out + y * 16, rgba + (std::size_t(sy) * width + bx * 4) * 4, 16);
        }
        return;
    }
    for (std::uint32_t y = 0; y < 4; ++y) {
        const std::uint32_t row = std::min(by * 4 + y, height - 1);
        const std::uint32_t sy = bottomUp ? height - 1 - row : row;
        for (std::uint32_t x = 0; x < 4; ++x) {
            const std::uint32_t sx = std::min(bx * 4 + x, width - 1);
            std::memcpy(out + (y * 4 + x) * 4, rgba + (std::size_t(sy) * width + sx) * 4, 4);
        }
    }
}

// What one encode call encodes.
struct Surface
{
    const std::uint8_t *rgba;
    std::uint32_t width, height;
    bool bottomUp;
    std::uint8_t *blocks;
    DxtLevel level;
};

void encodeBlockRows(const Surface &s, std::uint32_t firstRow, std::uint32_t endRow)
{
    const std::uint32_t across = blocksAcross(s.width);
    std::uint8_t texels[kTexels * 4];
    for (std::uint32_t by = firstRow; by < endRow; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            gatherBlock(s.rgba, s.width, s.height, s.bottomUp, bx, by, texels);
            dxtblock::encodeBlock(texels, s.blocks + (std::size_t(by) * across + bx) * 8, s.level);
        }
    }
}

// OMP_NUM_THREADS when set, else the number of hardware threads. Finding the latter reads the
// system's processor list, so both are read once per process, not once per encode.
unsigned defaultEncodeThreads()
{
    static const unsigned count = [] {
        if (const char *omp = std::getenv("OMP_NUM_THREADS")) {
            const long n = std::strtol(omp, nullptr, 10);
            if (n > 0) {
                return static_cast<unsigned>(std::min(n, 256L));
            }
        }
        return std::max(1u, std::thread::hardware_concurrency());
    }();
    return count;
}

unsigned encodeThreads()
{
    const unsigned chosen = g_encodeThreads.load();
    return chosen != 0 ? chosen : defaultEncodeThreads();
}

void encodeSurface(const Surface &s)
{
    if (s.width == 0 || s.height == 0) {
        // Nothing to read: the one block of an empty surface is left fully transparent.
        for (std::size_t i = 0; i < dxtSurfaceSize(DxtFormat::Dxt1, s.width, s.height); i += 8) {
            dxtblock::encodeBlock(kEmptyBlock, s.blocks + i);
        }
        return;
    }
    const std::uint32_t down = blocksAcross(s.height);
    // One thread per band unless the surface is too small to share out; the thread count is
    // then not even looked up.
    const std::uint32_t bands =
        down < 2 * kMinRowsPerThread ? 1u : std::min(encodeThreads(), down / kMinRowsPerThread);
    std::vector<std::thread> workers;
    workers.reserve(bands); // so that only starting a thread can throw below, and is caught
    std::uint32_t first = 0;
    for (std::uint32_t band = 1; band < bands; ++band) {
        const std::uint32_t end = static_cast<std::uint32_t>(std::uint64_t(down) * band / bands);
        try {
            workers.emplace_back(encodeBlockRows, std::cref(s), first, end);
        } catch (const std::system_error &) {
            encodeBlockRows(s, first, end);
        }
        first = end;
    }
    encodeBlockRows(s, first, down);
    for (std::thread &worker : workers) {
        worker.join();
    }
}

} // namespace

std::size_t dxtSurfaceSize(DxtFormat f, std::uint32_t width, std::uint32_t height)
{
    const std::size_t blockBytes = f == DxtFormat::Dxt1 ? 8 : 16;
    return std::size_t(blocksAcross(width)) * blocksAcross(height) * blockBytes;
}

void decodeDxt(DxtFormat f, const std::uint8_t *blocks, std::uint32_t width, std::uint32_t height,
               std::uint8_t *rgba)
{
    const std::size_t blockBytes = f == DxtFormat::Dxt1 ? 8 : 16;
    const std::uint32_t across = blocksAcross(width);
    const std::uint32_t down = blocksAcross(height);
    std::uint8_t texels[kTexels][4];
    for (std::uint32_t by = 0; by < down; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            const std::uint8_t *block = blocks + (std::size_t(by) * across + bx) * blockBytes;
            switch (f) {
            case DxtFormat::Dxt1:
                decodeColourBlock(block, true, texels);
                break;
            case DxtFormat::Dxt3:
                decodeColourBlock(block + 8, false, texels);
                decodeExplicitAlpha(block, texels);
                break;
            case DxtFormat::Dxt5:
                decodeColourBlock(block + 8, false, texels);
                decodeInterpolatedAlpha(block, texels);
                break;
            }
            const std::uint32_t rows = std::min<std::uint32_t>(4, height - by * 4);
            const std::uint32_t cols = std::min<std::uint32_t>(4, width - bx * 4);
            for (std::uint32_t y = 0; y < rows; ++y) {
                std::uint8_t *row = rgba + ((std::size_t(by) * 4 + y) * width + bx * 4) * 4;
                std::memcpy(row, texels[y * 4], cols * 4);
            }
        }
    }
}

void encodeDxt1(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                std::uint8_t *blocks)
{
    encodeDxt1(rgba, width, height, blocks, DxtLevel::Fast);
}

void encodeDxt1(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                std::uint8_t *blocks, DxtLevel level)
{
    encodeSurface({rgba, width, height, false, blocks, level});
}

void encodeDxt1BottomUp(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                        std::uint8_t *blocks, DxtLevel level)
{
    encodeSurface({rgba, width, height, true, blocks, level});
}

const char *dxtInstructionSet()
{
    return dxtblock::instructionSetName(dxtblock::activeInstructionSet());
}

void setDxtEncodeThreads(unsigned count)
{
    g_encodeThreads.store(count);
}

} // namespace kovar
