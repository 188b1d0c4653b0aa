// DXT codec: decoding against libsquish, 1-bit alpha, the block-mode rules, partial blocks,
// solid colours, quality against libsquish's cluster fit, and thread independence.
#include "TestBitmaps.h"

#include "convlib/Dxt.h"
#include "convlib/DxtFourColourFit.h"

#include <squish.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

using kovar::DxtFormat;
using kovar::Image;

enum class Alpha { Opaque, Water, AllWater, NearThreshold, Random };

// Random colours; alpha as `alpha` says. NearThreshold uses only 127 and 128, the last
// transparent and the first opaque value.
Image randomImage(std::uint32_t width, std::uint32_t height, Alpha alpha)
{
    Image image = kovartest::noiseImage(width, height, width * 1000 + height);
    for (std::size_t i = 3; i < image.byteCount(); i += 4) {
        std::uint8_t &a = image.data()[i];
        a = alpha == Alpha::Opaque          ? 255
            : alpha == Alpha::AllWater      ? 0
            : alpha == Alpha::Water         ? (a % 3 == 0 ? 0 : 255)
            : alpha == Alpha::NearThreshold ? 127 + a % 2
                                            : a;
    }
    return image;
}

// Aerial-like content: smooth fields of colour with hard borders, a darker "forest" texture,
// a grey road, a blue lake that is transparent, and sensor grain.
Image aerialImage(std::uint32_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Image image(size, size, "aerial");
    const int cell = 24 + int(rng() % 16);
    std::vector<int> tone(64 * 3);
    for (int &t : tone)
        t = 60 + int(rng() % 140);
    const double lakeX = size * 0.3 + rng() % (size / 3);
    const double lakeY = size * 0.6;
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            const int field = int((x / cell + 3 * (y / cell)) % 64);
            double c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = tone[field * 3 + k] * (k == 2 ? 0.6 : 1.0) +
                       8 * std::sin((x + 2 * y) * 0.9 + field);
            if ((x * 7 + y * 3) % 97 < 30 && field % 3 == 0) {
                const double crown = 0.6 + 0.4 * std::sin(x * 1.3) * std::cos(y * 1.1);
                c[0] = 40 * crown, c[1] = 75 * crown, c[2] = 35 * crown;
            }
            if (std::abs(double(y) - 0.4 * x - 20) < 2.5)
                c[0] = c[1] = c[2] = 110; // road
            const bool lake = std::hypot(x - lakeX, y - lakeY) < size * 0.15;
            if (lake)
                c[0] = 35, c[1] = 65, c[2] = 95;
            const double grain = double(rng() % 9) - 4;
            std::uint8_t *p = image.pixel(x, y);
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k] + grain), 0L, 255L));
            p[3] = lake ? 0 : 255;
        }
    }
    return image;
}

std::vector<std::uint8_t> encode(const Image &image, kovar::DxtLevel level = kovar::DxtLevel::Fast)
{
    std::vector<std::uint8_t> blocks(
        kovar::dxtSurfaceSize(DxtFormat::Dxt1, image.width(), image.height()));
    kovar::encodeDxt1(image.data(), image.width(), image.height(), blocks.data(), level);
    return blocks;
}

constexpr kovar::DxtLevel kLevels[] = {kovar::DxtLevel::Fast, kovar::DxtLevel::Better};

Image decode(DxtFormat f, const std::vector<std::uint8_t> &blocks, std::uint32_t width,
             std::uint32_t height)
{
    Image image(width, height, "decoded");
    kovar::decodeDxt(f, blocks.data(), width, height, image.data());
    return image;
}

// Checks every block of an encoded surface against the rules of 1-bit alpha: a block whose
// texels are all opaque is in four-colour mode, or uses index 0 alone when colour0 == colour1.
void expectBlockModes(const Image &source, const std::vector<std::uint8_t> &blocks)
{
    const std::uint32_t across = (source.width() + 3) / 4;
    for (std::uint32_t by = 0; by < (source.height() + 3) / 4; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            bool anyTransparent = false;
            for (std::uint32_t y = by * 4; y < std::min(source.height(), by * 4 + 4); ++y)
                for (std::uint32_t x = bx * 4; x < std::min(source.width(), bx * 4 + 4); ++x)
                    anyTransparent |= source.pixel(x, y)[3] < 128;
            if (anyTransparent)
                continue;
            const std::uint8_t *b = &blocks[(std::size_t(by) * across + bx) * 8];
            const int c0 = b[0] | (b[1] << 8);
            const int c1 = b[2] | (b[3] << 8);
            const std::uint32_t indices =
                b[4] | (b[5] << 8) | (b[6] << 16) | (std::uint32_t(b[7]) << 24);
            EXPECT_TRUE(c0 > c1 || (c0 == c1 && indices == 0))
                << "opaque block (" << bx << ", " << by << "): colour0 " << c0 << ", colour1 " << c1
                << ", indices " << std::hex << indices;
        }
    }
}

TEST(DxtSurfaceSize, CountsPartialBlocksAsWholeOnes)
{
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 1, 1), 8u);
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 5, 3), 16u);
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 256, 256), 32768u);
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt5, 7, 9), 96u);
}

// An empty surface still has one block; it is written transparent and no texel is read.
TEST(DxtEmpty, ZeroSizeWritesOneTransparentBlock)
{
    std::vector<std::uint8_t> blocks(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 0, 3), 0xAB);
    ASSERT_EQ(blocks.size(), 8u);
    kovar::encodeDxt1(nullptr, 0, 3, blocks.data());
    const Image decoded = decode(DxtFormat::Dxt1, blocks, 1, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(decoded.data(), decoded.data() + 4),
              std::vector<std::uint8_t>(4, 0));
}

struct AlphaCase
{
    std::uint32_t width;
    std::uint32_t height;
    Alpha alpha;
};

// Every texel decodes transparent exactly when its alpha was below 128, at any size, and
// opaque blocks keep to four-colour mode.
TEST(DxtAlpha, SurvivesExactlyAndOpaqueBlocksUseFourColours)
{
    for (const AlphaCase &c :
         {AlphaCase{1, 1, Alpha::AllWater}, AlphaCase{3, 5, Alpha::Water},
          AlphaCase{3, 5, Alpha::Opaque}, AlphaCase{7, 9, Alpha::NearThreshold},
          AlphaCase{130, 6, Alpha::NearThreshold}, AlphaCase{256, 256, Alpha::Opaque},
          AlphaCase{256, 256, Alpha::AllWater}, AlphaCase{256, 256, Alpha::Random}}) {
        for (const kovar::DxtLevel level : kLevels) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " alpha "
                                            << int(c.alpha) << " level " << int(level));
            const Image source = randomImage(c.width, c.height, c.alpha);
            const std::vector<std::uint8_t> blocks = encode(source, level);
            const Image decoded = decode(DxtFormat::Dxt1, blocks, c.width, c.height);
            long wrong = 0;
            for (std::size_t i = 3; i < decoded.byteCount(); i += 4)
                wrong += decoded.data()[i] != (source.data()[i] < 128 ? 0 : 255) ? 1 : 0;
            EXPECT_EQ(wrong, 0) << "texels whose alpha changed";
            expectBlockModes(source, blocks);
        }
    }
}

// A one-colour block stays one colour, close to the source, without three-colour mode.
TEST(DxtSolid, DecodesToOneCloseColour)
{
    using Rgb = std::array<std::uint8_t, 3>;
    for (const Rgb &c : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{0x84, 0x82, 0x84}, Rgb{7, 201, 93},
                         Rgb{35, 65, 95}}) {
        SCOPED_TRACE(testing::Message() << int(c[0]) << "," << int(c[1]) << "," << int(c[2]));
        Image source(4, 4, "solid");
        for (std::uint32_t i = 0; i < 16; ++i) {
            std::uint8_t *p = source.pixel(i % 4, i / 4);
            p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
        }
        for (const kovar::DxtLevel level : kLevels) {
            const std::vector<std::uint8_t> blocks = encode(source, level);
            expectBlockModes(source, blocks);
            const Image decoded = decode(DxtFormat::Dxt1, blocks, 4, 4);
            for (std::uint32_t i = 1; i < 16; ++i)
                EXPECT_TRUE(
                    std::equal(decoded.data(), decoded.data() + 4, decoded.pixel(i % 4, i / 4)))
                    << "texel " << i;
            for (int k = 0; k < 3; ++k)
                EXPECT_LE(std::abs(decoded.data()[k] - c[k]), 2) << "channel " << k;
            EXPECT_EQ(decoded.data()[3], 255);
        }
    }
}

struct CrossCase
{
    DxtFormat format;
    int squishFlag;
    std::uint32_t width;
    std::uint32_t height;
};

// Random block data covers both DXT1 modes, both DXT5 alpha ramps and every index.
TEST(DxtCrossCheck, RandomBlocksDecodeAsLibsquishDecodesThem)
{
    for (const CrossCase &c : {CrossCase{DxtFormat::Dxt1, squish::kDxt1, 64, 64},
                               CrossCase{DxtFormat::Dxt1, squish::kDxt1, 13, 6},
                               CrossCase{DxtFormat::Dxt3, squish::kDxt3, 64, 64},
                               CrossCase{DxtFormat::Dxt3, squish::kDxt3, 2, 7},
                               CrossCase{DxtFormat::Dxt5, squish::kDxt5, 64, 64},
                               CrossCase{DxtFormat::Dxt5, squish::kDxt5, 9, 1}}) {
        SCOPED_TRACE(testing::Message()
                     << "flag " << c.squishFlag << ", " << c.width << "x" << c.height);
        std::mt19937 rng(c.width * 31 + c.height);
        std::vector<std::uint8_t> blocks(kovar::dxtSurfaceSize(c.format, c.width, c.height));
        for (std::uint8_t &b : blocks)
            b = static_cast<std::uint8_t>(rng());
        Image expected(c.width, c.height, "squish");
        squish::DecompressImage(expected.data(), int(c.width), int(c.height), blocks.data(),
                                c.squishFlag);
        EXPECT_TRUE(decode(c.format, blocks, c.width, c.height) == expected);
    }
}

TEST(DxtCrossCheck, OurEncodingDecodesAsLibsquishDecodesIt)
{
    const Image source = aerialImage(128, 5);
    const std::vector<std::uint8_t> blocks = encode(source);
    Image expected(128, 128, "squish");
    squish::DecompressImage(expected.data(), 128, 128, blocks.data(), squish::kDxt1);
    EXPECT_TRUE(decode(DxtFormat::Dxt1, blocks, 128, 128) == expected);
}

class DxtQuality : public testing::TestWithParam<std::uint32_t>
{};

// On imagery that never passed through DXT, our encoder stays within 0.3 dB of libsquish's
// cluster fit (which, unlike ours, may also use three-colour mode for opaque blocks).
TEST_P(DxtQuality, StaysCloseToLibsquishClusterFit)
{
    const Image source = aerialImage(128, GetParam());
    const double ours =
        kovartest::opaquePsnr(source, decode(DxtFormat::Dxt1, encode(source), 128, 128));
    std::vector<std::uint8_t> reference(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 128, 128));
    squish::CompressImage(source.data(), 128, 128, reference.data(),
                          squish::kDxt1 | squish::kColourClusterFit);
    const double cluster =
        kovartest::opaquePsnr(source, decode(DxtFormat::Dxt1, reference, 128, 128));
    EXPECT_GT(ours, 30.0);
    EXPECT_GT(ours, cluster - 0.3) << "ours " << ours << " dB, cluster fit " << cluster << " dB";
}

// The Better level never does worse than the Fast one, and on this grainy content (where the
// cluster fit's three-colour blocks help it) stays within 0.05 dB of the cluster fit.
TEST_P(DxtQuality, BetterLevelBeatsFastAndClusterFit)
{
    const Image source = aerialImage(128, GetParam());
    const double fast = kovartest::opaquePsnr(
        source, decode(DxtFormat::Dxt1, encode(source, kovar::DxtLevel::Fast), 128, 128));
    const double better = kovartest::opaquePsnr(
        source, decode(DxtFormat::Dxt1, encode(source, kovar::DxtLevel::Better), 128, 128));
    std::vector<std::uint8_t> reference(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 128, 128));
    squish::CompressImage(source.data(), 128, 128, reference.data(),
                          squish::kDxt1 | squish::kColourClusterFit);
    const double cluster =
        kovartest::opaquePsnr(source, decode(DxtFormat::Dxt1, reference, 128, 128));
    EXPECT_GE(better, fast) << "better " << better << " dB, fast " << fast << " dB";
    EXPECT_GT(better, cluster - 0.05)
        << "better " << better << " dB, cluster fit " << cluster << " dB";
}

INSTANTIATE_TEST_SUITE_P(Seeds, DxtQuality, testing::Values(1u, 2u, 3u));

// A texture once stored as four-colour DXT1, decoded: random endpoints and indices, the blocks
// in turn drawing on all four entries, the two between the endpoints only, one endpoint and
// the two between, or both endpoints alone.
Image onceCompressedImage(std::uint32_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> original(kovar::dxtSurfaceSize(DxtFormat::Dxt1, size, size));
    const std::vector<std::vector<int>> entrySets = {{0, 1, 2, 3}, {2, 3}, {0, 2, 3}, {0, 1}};
    for (std::size_t b = 0; b < original.size(); b += 8) {
        std::uint16_t c0 = static_cast<std::uint16_t>(rng()),
                      c1 = static_cast<std::uint16_t>(rng());
        if (c0 == c1)
            ++c0;
        if (c0 < c1)
            std::swap(c0, c1);
        const std::vector<int> &entries = entrySets[(b / 8) % entrySets.size()];
        std::uint32_t indices = 0;
        for (int i = 0; i < 16; ++i)
            indices |= std::uint32_t(entries[rng() % entries.size()]) << (2 * i);
        const std::uint8_t block[8] = {std::uint8_t(c0),
                                       std::uint8_t(c0 >> 8),
                                       std::uint8_t(c1),
                                       std::uint8_t(c1 >> 8),
                                       std::uint8_t(indices),
                                       std::uint8_t(indices >> 8),
                                       std::uint8_t(indices >> 16),
                                       std::uint8_t(indices >> 24)};
        std::copy(block, block + 8, original.begin() + std::ptrdiff_t(b));
    }
    return decode(DxtFormat::Dxt1, original, size, size);
}

// A texture once stored as four-colour DXT1 and decoded comes back exactly at both levels: its
// blocks hold at most four colours on one palette, including blocks that never use one or both
// endpoints themselves (only the entries between them), whose endpoints must be extrapolated.
TEST(DxtOnceCompressed, FourColourBlocksComeBackExactly)
{
    constexpr std::uint32_t kSize = 64;
    const Image source = onceCompressedImage(kSize, 23);
    for (const kovar::DxtLevel level : kLevels) {
        const std::vector<std::uint8_t> blocks = encode(source, level);
        expectBlockModes(source, blocks);
        const Image decoded = decode(DxtFormat::Dxt1, blocks, kSize, kSize);
        int inexact = 0;
        for (std::uint32_t i = 0; i < kSize * kSize; ++i)
            inexact += std::equal(decoded.pixel(i % kSize, i / kSize),
                                  decoded.pixel(i % kSize, i / kSize) + 4,
                                  source.pixel(i % kSize, i / kSize))
                           ? 0
                           : 1;
        EXPECT_EQ(inexact, 0) << "level " << int(level) << ": texels not restored exactly";
    }
}

// Every version of the fit (SSE2, AVX2, AVX-512) gives the same bytes at both levels, on aerial
// content, noise (every block a hard one), near-solid blocks, partial blocks and a texture once
// stored as DXT1 (blocks of at most four colours). Versions the processor lacks are named in
// the output and left out.
TEST(DxtInstructionSets, EveryVersionGivesTheSameBytes)
{
    using kovar::dxtblock::InstructionSet;
    std::vector<InstructionSet> sets;
    for (const InstructionSet set :
         {InstructionSet::Baseline, InstructionSet::Avx2, InstructionSet::Avx512}) {
        if (kovar::dxtblock::processorHas(set))
            sets.push_back(set);
        else
            std::printf("[ SKIPPED  ] %s: this processor lacks it\n",
                        kovar::dxtblock::instructionSetName(set));
    }
    if (sets.size() < 2)
        GTEST_SKIP() << "this processor has only SSE2";
    Image nearSolid(64, 64, "near solid");
    for (std::uint32_t i = 0; i < 64 * 64; ++i) {
        std::uint8_t *p = nearSolid.pixel(i % 64, i / 64);
        p[0] = static_cast<std::uint8_t>(100 + (i % 7 == 0)), p[1] = 37, p[2] = 250;
        p[3] = 255;
    }
    const Image images[] = {aerialImage(128, 11), randomImage(61, 35, Alpha::Opaque),
                            randomImage(40, 40, Alpha::Water), nearSolid,
                            onceCompressedImage(64, 5)};
    for (const Image &image : images) {
        for (const kovar::DxtLevel level : kLevels) {
            SCOPED_TRACE(testing::Message()
                         << image.width() << "x" << image.height() << " level " << int(level));
            kovar::dxtblock::forceInstructionSet(InstructionSet::Baseline);
            EXPECT_STREQ(kovar::dxtInstructionSet(), "SSE2");
            const std::vector<std::uint8_t> baseline = encode(image, level);
            for (const InstructionSet set : sets) {
                kovar::dxtblock::forceInstructionSet(set);
                EXPECT_STREQ(kovar::dxtInstructionSet(), kovar::dxtblock::instructionSetName(set));
                EXPECT_EQ(encode(image, level), baseline)
                    << kovar::dxtblock::instructionSetName(set) << " differs from SSE2";
            }
            kovar::dxtblock::resetInstructionSet();
        }
    }
}

bool hasAvx2Only(kovar::dxtblock::InstructionSet set)
{
    return set != kovar::dxtblock::InstructionSet::Avx512;
}

bool hasEverything(kovar::dxtblock::InstructionSet)
{
    return true;
}

// TESSAVANE_SIMD picks a set by name in any case; unset or empty means the best; a set the
// processor lacks, or a value that names none, falls back to the best it may use and says why.
TEST(DxtInstructionSets, EnvironmentValueChoosesOrWarns)
{
    using kovar::dxtblock::InstructionSet;
    struct Case
    {
        const char *value;
        bool (*has)(InstructionSet);
        InstructionSet expected;
        const char *warning; // a part of the expected warning, or "" for none
    };
    for (const Case &c : {
             Case{nullptr, hasEverything, InstructionSet::Avx512, ""},
             Case{"", hasAvx2Only, InstructionSet::Avx2, ""},
             Case{"sse2", hasEverything, InstructionSet::Baseline, ""},
             Case{"AVX2", hasEverything, InstructionSet::Avx2, ""},
             Case{"avx512", hasEverything, InstructionSet::Avx512, ""},
             Case{"avx512", hasAvx2Only, InstructionSet::Avx2,
                  "TESSAVANE_SIMD=avx512: this processor has no AVX-512; the DXT1 encoder uses "
                  "AVX2"},
             Case{"neon", hasAvx2Only, InstructionSet::Avx2,
                  "TESSAVANE_SIMD=neon: not an instruction set (sse2, avx2 or avx512)"},
             Case{"avx", hasEverything, InstructionSet::Avx512, "not an instruction set"},
         }) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        char warning[256] = "x";
        EXPECT_EQ(kovar::dxtblock::chooseInstructionSet(c.value, c.has, warning, sizeof warning),
                  c.expected);
        if (c.warning[0] == '\0')
            EXPECT_STREQ(warning, "");
        else
            EXPECT_NE(std::string(warning).find(c.warning), std::string::npos) << warning;
    }
}

// Encoding the rows bottom-up in place gives the blocks of the flipped image, partial blocks at
// the (flipped) bottom edge included; the in-place flip is the copying one.
TEST(DxtBottomUp, GivesTheBlocksOfTheFlippedImage)
{
    for (const auto &[width, height] :
         {std::pair<std::uint32_t, std::uint32_t>{1, 1}, {5, 7}, {13, 2}, {64, 130}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const Image source = randomImage(width, height, Alpha::Water);
        Image flipped = source;
        flipped.flipVertically();
        ASSERT_TRUE(flipped == source.flippedVertically());
        for (const kovar::DxtLevel level : kLevels) {
            kovar::setDxtEncodeThreads(3);
            std::vector<std::uint8_t> bottomUp(
                kovar::dxtSurfaceSize(DxtFormat::Dxt1, width, height));
            kovar::encodeDxt1BottomUp(source.data(), width, height, bottomUp.data(), level);
            kovar::setDxtEncodeThreads(0);
            EXPECT_EQ(bottomUp, encode(flipped, level)) << "level " << int(level);
        }
    }
}

// Splitting the surface into bands of rows for several threads changes no byte.
TEST(DxtThreads, BandsGiveTheSameBlocksAsOneThread)
{
    const Image source = aerialImage(136, 9);
    kovar::setDxtEncodeThreads(1);
    const std::vector<std::uint8_t> single = encode(source);
    kovar::setDxtEncodeThreads(3);
    const std::vector<std::uint8_t> banded = encode(source);
    kovar::setDxtEncodeThreads(0);
    EXPECT_EQ(single, banded);
}

} // namespace
