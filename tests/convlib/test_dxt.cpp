// DXT codec: decoding against libsquish, 1-bit alpha, the block-mode rules, partial blocks,
// solid colours, quality against libsquish's cluster fit, and thread independence.
#include "convlib/Dxt.h"

#include <squish.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using kovar::DxtFormat;

struct Rgba
{
    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> bytes;
};

enum class AlphaPattern { Opaque, Water, AllWater, NearThreshold, RandomBytes };

// Random colours; alpha as the pattern says. NearThreshold uses only 127 and 128, the last
// transparent and the first opaque value.
Rgba randomImage(std::uint32_t width, std::uint32_t height, AlphaPattern alpha, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Rgba image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
    for (std::size_t i = 0; i < image.bytes.size(); i += 4) {
        for (int c = 0; c < 3; ++c) {
            image.bytes[i + c] = static_cast<std::uint8_t>(rng());
        }
        const std::uint32_t r = rng();
        switch (alpha) {
        case AlphaPattern::Opaque:
            image.bytes[i + 3] = 255;
            break;
        case AlphaPattern::Water:
            image.bytes[i + 3] = r % 3 == 0 ? 0 : 255;
            break;
        case AlphaPattern::AllWater:
            image.bytes[i + 3] = 0;
            break;
        case AlphaPattern::NearThreshold:
            image.bytes[i + 3] = r % 2 == 0 ? 127 : 128;
            break;
        case AlphaPattern::RandomBytes:
            image.bytes[i + 3] = static_cast<std::uint8_t>(r);
            break;
        }
    }
    return image;
}

// Aerial-like content: smooth fields of colour with hard borders, a darker "forest" texture,
// a grey road, a blue lake that is transparent, and sensor grain.
Rgba aerialImage(std::uint32_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Rgba image{size, size, std::vector<std::uint8_t>(std::size_t(size) * size * 4)};
    const int cell = 24 + int(rng() % 16);
    std::vector<int> tone(64 * 3);
    for (int &t : tone) {
        t = 60 + int(rng() % 140);
    }
    const double lakeX = size * 0.3 + rng() % (size / 3);
    const double lakeY = size * 0.6;
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            std::uint8_t *p = &image.bytes[(std::size_t(y) * size + x) * 4];
            const int field = int((x / cell + 3 * (y / cell)) % 64);
            double c[3];
            for (int k = 0; k < 3; ++k) {
                c[k] = tone[field * 3 + k] * (k == 2 ? 0.6 : 1.0) +
                       8 * std::sin((x + 2 * y) * 0.9 + field);
            }
            if ((x * 7 + y * 3) % 97 < 30 && field % 3 == 0) {
                const double crown = 0.6 + 0.4 * std::sin(x * 1.3) * std::cos(y * 1.1);
                c[0] = 40 * crown, c[1] = 75 * crown, c[2] = 35 * crown;
            }
            const bool road = std::abs(double(y) - 0.4 * x - 20) < 2.5;
            if (road) {
                c[0] = c[1] = c[2] = 110;
            }
            const bool lake = std::hypot(x - lakeX, y - lakeY) < size * 0.15;
            if (lake) {
                c[0] = 35, c[1] = 65, c[2] = 95;
            }
            const double grain = double(rng() % 9) - 4;
            for (int k = 0; k < 3; ++k) {
                p[k] = static_cast<std::uint8_t>(std::clamp(std::lround(c[k] + grain), 0L, 255L));
            }
            p[3] = lake ? 0 : 255;
        }
    }
    return image;
}

std::vector<std::uint8_t> encode(const Rgba &image)
{
    std::vector<std::uint8_t> blocks(
        kovar::dxtSurfaceSize(DxtFormat::Dxt1, image.width, image.height));
    kovar::encodeDxt1(image.bytes.data(), image.width, image.height, blocks.data());
    return blocks;
}

std::vector<std::uint8_t> decode(DxtFormat f, const std::vector<std::uint8_t> &blocks,
                                 std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> rgba(std::size_t(width) * height * 4);
    kovar::decodeDxt(f, blocks.data(), width, height, rgba.data());
    return rgba;
}

double opaquePsnr(const Rgba &source, const std::vector<std::uint8_t> &decoded)
{
    double squared = 0;
    long samples = 0;
    for (std::size_t i = 0; i < decoded.size(); i += 4) {
        if (source.bytes[i + 3] < 128) {
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const double d = double(decoded[i + c]) - source.bytes[i + c];
            squared += d * d;
        }
        samples += 3;
    }
    return squared == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squared);
}

// Checks every block of an encoded surface against the rules of 1-bit alpha: a block whose
// texels are all opaque is in four-colour mode, or uses index 0 alone when colour0 == colour1.
void expectBlockModes(const Rgba &source, const std::vector<std::uint8_t> &blocks)
{
    const std::uint32_t across = std::max(1u, (source.width + 3) / 4);
    const std::uint32_t down = std::max(1u, (source.height + 3) / 4);
    for (std::uint32_t by = 0; by < down; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            bool anyTransparent = false;
            for (std::uint32_t y = by * 4; y < std::min(source.height, by * 4 + 4); ++y) {
                for (std::uint32_t x = bx * 4; x < std::min(source.width, bx * 4 + 4); ++x) {
                    anyTransparent |=
                        source.bytes[(std::size_t(y) * source.width + x) * 4 + 3] < 128;
                }
            }
            if (anyTransparent) {
                continue;
            }
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
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt3, 4, 4), 16u);
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt5, 7, 9), 96u);
    EXPECT_EQ(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 8192, 8192), 33554432u);
}

// An empty surface still has one block; it is written transparent and no texel is read.
TEST(DxtEmpty, ZeroSizeWritesOneTransparentBlock)
{
    std::vector<std::uint8_t> blocks(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 0, 3), 0xAB);
    ASSERT_EQ(blocks.size(), 8u);
    kovar::encodeDxt1(nullptr, 0, 3, blocks.data());
    const std::vector<std::uint8_t> decoded = decode(DxtFormat::Dxt1, blocks, 1, 1);
    EXPECT_EQ(decoded, std::vector<std::uint8_t>(4, 0));
}

struct AlphaCase
{
    const char *name;
    std::uint32_t width;
    std::uint32_t height;
    AlphaPattern alpha;
};

void PrintTo(const AlphaCase &c, std::ostream *os)
{
    *os << c.name;
}

class DxtAlpha : public testing::TestWithParam<AlphaCase>
{};

// Every texel decodes transparent exactly when its alpha was below 128, at any size, and
// opaque blocks keep to four-colour mode.
TEST_P(DxtAlpha, SurvivesExactlyAndOpaqueBlocksUseFourColours)
{
    const AlphaCase &c = GetParam();
    const Rgba source = randomImage(c.width, c.height, c.alpha, c.width * 1000 + c.height);
    const std::vector<std::uint8_t> blocks = encode(source);
    const std::vector<std::uint8_t> decoded = decode(DxtFormat::Dxt1, blocks, c.width, c.height);
    long wrong = 0;
    for (std::size_t i = 3; i < decoded.size(); i += 4) {
        const std::uint8_t expected = source.bytes[i] < 128 ? 0 : 255;
        wrong += decoded[i] != expected ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0) << "texels whose alpha changed";
    expectBlockModes(source, blocks);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DxtAlpha,
    testing::Values(AlphaCase{"OneByOne", 1, 1, AlphaPattern::Opaque},
                    AlphaCase{"OneByOneWater", 1, 1, AlphaPattern::AllWater},
                    AlphaCase{"TwoByTwo", 2, 2, AlphaPattern::Water},
                    AlphaCase{"ThreeByFive", 3, 5, AlphaPattern::Water},
                    AlphaCase{"ThreeByFiveOpaque", 3, 5, AlphaPattern::Opaque},
                    AlphaCase{"SevenByNine", 7, 9, AlphaPattern::NearThreshold},
                    AlphaCase{"TileOpaque", 256, 256, AlphaPattern::Opaque},
                    AlphaCase{"TileWater", 256, 256, AlphaPattern::Water},
                    AlphaCase{"TileAllWater", 256, 256, AlphaPattern::AllWater},
                    AlphaCase{"TileRandomAlpha", 256, 256, AlphaPattern::RandomBytes},
                    AlphaCase{"Wide", 130, 6, AlphaPattern::NearThreshold}),
    [](const testing::TestParamInfo<AlphaCase> &info) { return std::string(info.param.name); });

struct SolidCase
{
    const char *name;
    std::uint8_t r, g, b;
};

void PrintTo(const SolidCase &c, std::ostream *os)
{
    *os << c.name;
}

class DxtSolid : public testing::TestWithParam<SolidCase>
{};

// A one-colour block stays one colour, close to the source, without three-colour mode.
TEST_P(DxtSolid, DecodesToOneCloseColour)
{
    const SolidCase &c = GetParam();
    Rgba source{4, 4, {}};
    for (int i = 0; i < 16; ++i) {
        source.bytes.insert(source.bytes.end(), {c.r, c.g, c.b, 255});
    }
    const std::vector<std::uint8_t> blocks = encode(source);
    expectBlockModes(source, blocks);
    const std::vector<std::uint8_t> decoded = decode(DxtFormat::Dxt1, blocks, 4, 4);
    for (int i = 1; i < 16; ++i) {
        EXPECT_TRUE(std::equal(&decoded[0], &decoded[4], &decoded[i * 4])) << "texel " << i;
    }
    EXPECT_LE(std::abs(decoded[0] - c.r), 2);
    EXPECT_LE(std::abs(decoded[1] - c.g), 2);
    EXPECT_LE(std::abs(decoded[2] - c.b), 2);
    EXPECT_EQ(decoded[3], 255);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, DxtSolid,
    testing::Values(SolidCase{"Black", 0, 0, 0}, SolidCase{"White", 255, 255, 255},
                    SolidCase{"Red", 255, 0, 0}, SolidCase{"MidGrey", 128, 128, 128},
                    SolidCase{"Exact565", 0x84, 0x82, 0x84}, SolidCase{"Odd", 7, 201, 93},
                    SolidCase{"WaterBlue", 35, 65, 95}),
    [](const testing::TestParamInfo<SolidCase> &info) { return std::string(info.param.name); });

struct CrossCase
{
    const char *name;
    DxtFormat format;
    int squishFlag;
    std::uint32_t width;
    std::uint32_t height;
};

void PrintTo(const CrossCase &c, std::ostream *os)
{
    *os << c.name;
}

class DxtCrossCheck : public testing::TestWithParam<CrossCase>
{};

// Random block data covers both DXT1 modes, both DXT5 alpha ramps and every index.
TEST_P(DxtCrossCheck, RandomBlocksDecodeAsLibsquishDecodesThem)
{
    const CrossCase &c = GetParam();
    std::mt19937 rng(c.width * 31 + c.height);
    std::vector<std::uint8_t> blocks(kovar::dxtSurfaceSize(c.format, c.width, c.height));
    for (std::uint8_t &b : blocks) {
        b = static_cast<std::uint8_t>(rng());
    }
    std::vector<std::uint8_t> expected(std::size_t(c.width) * c.height * 4);
    squish::DecompressImage(expected.data(), int(c.width), int(c.height), blocks.data(),
                            c.squishFlag);
    EXPECT_EQ(decode(c.format, blocks, c.width, c.height), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DxtCrossCheck,
    testing::Values(CrossCase{"Dxt1", DxtFormat::Dxt1, squish::kDxt1, 64, 64},
                    CrossCase{"Dxt1Partial", DxtFormat::Dxt1, squish::kDxt1, 13, 6},
                    CrossCase{"Dxt3", DxtFormat::Dxt3, squish::kDxt3, 64, 64},
                    CrossCase{"Dxt3Partial", DxtFormat::Dxt3, squish::kDxt3, 2, 7},
                    CrossCase{"Dxt5", DxtFormat::Dxt5, squish::kDxt5, 64, 64},
                    CrossCase{"Dxt5Partial", DxtFormat::Dxt5, squish::kDxt5, 9, 1}),
    [](const testing::TestParamInfo<CrossCase> &info) { return std::string(info.param.name); });

TEST(DxtCrossCheck, OurEncodingDecodesAsLibsquishDecodesIt)
{
    const Rgba source = aerialImage(128, 5);
    const std::vector<std::uint8_t> blocks = encode(source);
    std::vector<std::uint8_t> expected(source.bytes.size());
    squish::DecompressImage(expected.data(), 128, 128, blocks.data(), squish::kDxt1);
    EXPECT_EQ(decode(DxtFormat::Dxt1, blocks, 128, 128), expected);
}

class DxtQuality : public testing::TestWithParam<std::uint32_t>
{};

// On imagery that never passed through DXT, our encoder stays within 0.3 dB of libsquish's
// cluster fit (which, unlike ours, may also use three-colour mode for opaque blocks).
TEST_P(DxtQuality, StaysCloseToLibsquishClusterFit)
{
    const Rgba source = aerialImage(128, GetParam());
    const double ours = opaquePsnr(source, decode(DxtFormat::Dxt1, encode(source), 128, 128));
    std::vector<std::uint8_t> reference(kovar::dxtSurfaceSize(DxtFormat::Dxt1, 128, 128));
    squish::CompressImage(source.bytes.data(), 128, 128, reference.data(),
                          squish::kDxt1 | squish::kColourClusterFit);
    const double cluster = opaquePsnr(source, decode(DxtFormat::Dxt1, reference, 128, 128));
    EXPECT_GT(ours, 30.0);
    EXPECT_GT(ours, cluster - 0.3) << "ours " << ours << " dB, cluster fit " << cluster << " dB";
}

INSTANTIATE_TEST_SUITE_P(Seeds, DxtQuality, testing::Values(1u, 2u, 3u));

// Splitting the surface into bands of rows for several threads changes no byte.
TEST(DxtThreads, BandsGiveTheSameBlocksAsOneThread)
{
    const Rgba source = aerialImage(136, 9);
    kovar::setDxtEncodeThreads(1);
    const std::vector<std::uint8_t> single = encode(source);
    kovar::setDxtEncodeThreads(3);
    const std::vector<std::uint8_t> banded = encode(source);
    kovar::setDxtEncodeThreads(0);
    EXPECT_EQ(single, banded);
}

} // namespace
