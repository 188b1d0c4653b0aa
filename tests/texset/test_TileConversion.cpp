// The snow noise jump and the count of draws that the parallel sets rest on, and the
// temporary names a later run may remove.
#include "TextureFiles.h"

#include "season/PixelRules.h"
#include "season/SeasonNaming.h"
#include "season/SnowNoise.h"
#include "texset/StaleTemporaries.h"
#include "texset/TileConversion.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace seasontest;

TEST(SnowJump, LandsWhereThatManyDrawsLand)
{
    for (const std::uint32_t start : {1u, 0u, 0xFFFFFFFFu, 123456789u}) {
        season::SnowNoise noise(start);
        std::uint64_t done = 0;
        for (const std::uint64_t k :
             {0ull, 1ull, 2ull, 3ull, 64ull, 1000ull, 65536ull, 200001ull}) {
            for (; done < k; ++done)
                noise.draw();
            EXPECT_EQ(texset::snowStateAfter(start, k), noise.state()) << start << " " << k;
        }
    }
    // The period is 2^32: a jump by it, or by a multiple past 32 bits, comes back.
    EXPECT_EQ(texset::snowStateAfter(77, 1ull << 32), 77u);
    EXPECT_EQ(texset::snowStateAfter(77, (5ull << 32) + 3), texset::snowStateAfter(77, 3));
}

TEST(SnowCount, IsTheNumberOfDrawsTheWinterPassMakes)
{
    const std::vector<season::Pixel> pixels = randomPixels(20000, 11);
    for (const int threshold : {-1000, 0, 29, 30, 70, 133, 200, 254, 255}) {
        std::vector<season::Pixel> copy = pixels;
        // A generator that counts: the state after n draws from 1 is the jump's.
        season::SnowNoise noise(1);
        season::winterTriples(reinterpret_cast<std::uint8_t *>(copy.data()), copy.size(), threshold,
                              noise);
        const std::uint64_t counted = texset::countSnowedTriples(
            reinterpret_cast<const std::uint8_t *>(pixels.data()), pixels.size(), threshold);
        EXPECT_EQ(texset::snowStateAfter(1, counted), noise.state()) << threshold;
        if (threshold == 255) {
            EXPECT_EQ(counted, 0u);
        }
    }
}

// Spring and hard winter run over the decoded tile with its mask: water (alpha below 128) and
// blue-dominant pixels come out exactly as they went in, the alpha is the texture's, land
// changes, and neither draws from a noise generator.
TEST(NewSeasons, LeaveWaterAndBlueAloneAndChangeLand)
{
    char folder[] = "/tmp/tileconversion-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path texture = std::filesystem::path(folder) / "tile.bmp";
    writeTexture(texture, 20, 64);
    texset::TileConversion tile;
    tile.load(texture);
    tile.applyPass(season::Season::Fall, 0, 0);
    const kovar::Image summer = tile.seasonedImage(); // fall at 0 changes nothing
    for (const auto season : {season::Season::Spring, season::Season::HardWinter}) {
        SCOPED_TRACE(season::seasonName(season));
        tile.applyPass(season, season == season::Season::Spring ? 25 : 60, 1);
        const kovar::Image &out = tile.seasonedImage();
        ASSERT_EQ(out.byteCount(), summer.byteCount());
        int kept = 0;
        int changed = 0;
        for (std::size_t i = 0; i < summer.byteCount(); i += 4) {
            const std::uint8_t *in = summer.data() + i;
            const std::uint8_t *res = out.data() + i;
            ASSERT_EQ(res[3], in[3]) << "alpha at " << i / 4;
            const season::Pixel p{in[2], in[1], in[0]};
            if (season::isWater(in[3]) || season::isBlueDominant(p)) {
                ASSERT_TRUE(std::equal(in, in + 3, res)) << "pixel " << i / 4;
                ++kept;
            } else {
                changed += !std::equal(in, in + 3, res);
            }
        }
        EXPECT_GT(kept, 64 * 30);
        // The land of this tile is bare (red above green): spring leaves it, hard winter
        // snows it.
        if (season == season::Season::Spring) {
            EXPECT_EQ(changed, 0);
        } else {
            EXPECT_GT(changed, 64 * 12); // of the 64 * 24 land pixels
        }
    }
    // Only winter draws noise.
    EXPECT_EQ(tile.draws(season::Season::HardWinter, 60), 0u);
    EXPECT_EQ(tile.draws(season::Season::Spring, 25), 0u);
    EXPECT_EQ(tile.draws(season::Season::Winter, 255), 0u);
    std::filesystem::remove_all(folder);
}

TEST(StaleTemporaries, OnlyNamesOfProcessesThatAreGone)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child);
    EXPECT_TRUE(texset::isStaleTemporaryName(".kovar-" + dead + "-0.tmp"));
    EXPECT_TRUE(texset::isStaleTemporaryName(".kovar-" + dead + "-4711.tmp"));
    EXPECT_FALSE(texset::isStaleTemporaryName(".kovar-" + std::to_string(::getpid()) + "-0.tmp"));
    EXPECT_FALSE(texset::isStaleTemporaryName(".kovar-" + std::to_string(::getppid()) + "-0.tmp"));
    for (const std::string &name : std::vector<std::string>{
             ".kovar-0-0.tmp", ".kovar-1-0.tmp", ".kovar--0.tmp", ".kovar-" + dead + "-.tmp",
             ".kovar-" + dead + ".tmp", ".kovar-" + dead + "-0.tmp~", "kovar-" + dead + "-0.tmp",
             ".kovar-+" + dead + "-0.tmp", ".kovar-99999999999999-0.tmp", ".kovar-x-0.tmp"})
        EXPECT_FALSE(texset::isStaleTemporaryName(name)) << name;
}

} // namespace
