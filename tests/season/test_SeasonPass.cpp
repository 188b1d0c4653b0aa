// The winter and fall passes, file to file.
#include "BitmapFiles.h"

#include "platform/Error.h"
#include "season/PixelRules.h"
#include "season/SeasonPass.h"
#include "season/SeasonTable.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace seasontest;
using season::Pixel;

class SeasonPass : public testing::Test
{
  protected:
    fs::path file(const char *name) const { return fs::path(m_dir.path().toStdString()) / name; }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(
            fs::directory_iterator(m_dir.path().toStdString()), fs::directory_iterator()));
    }

    QTemporaryDir m_dir;
};

// The expected result: header copied, then every pixel through the rule, in file order.
template <class Rule>
Bytes expectedResult(const Bytes &header, const std::vector<Pixel> &pixels, Rule rule)
{
    std::vector<Pixel> out;
    for (const Pixel &p : pixels)
        out.push_back(rule(p));
    return workingBitmap(header, out);
}

TEST_F(SeasonPass, Winter256x256ProcessesEveryPixelInFileOrder)
{
    const auto pixels = randomPixels(65536);
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(256, 256), pixels));

    season::SnowNoise noise;
    season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 70, noise);

    season::SnowNoise reference;
    const Bytes result = readBytes(file("tempw.bmp"));
    ASSERT_EQ(result.size(), 196662u);
    EXPECT_EQ(result, expectedResult(bitmapHeader(256, 256), pixels, [&](Pixel p) {
                  return season::winterPixel(p, 70, reference);
              }));
    EXPECT_EQ(noise.state(), reference.state());
}

TEST_F(SeasonPass, SnowRunsOnAcrossPasses)
{
    const auto pixels = randomPixels(4096);
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(64, 64), pixels));

    season::SnowNoise noise;
    season::runWinterPass(file("main.bmp"), file("first.bmp"), 70, noise);
    season::runWinterPass(file("main.bmp"), file("second.bmp"), 70, noise);

    season::SnowNoise reference;
    const auto rule = [&](Pixel p) { return season::winterPixel(p, 70, reference); };
    const Bytes first = expectedResult(bitmapHeader(64, 64), pixels, rule);
    const Bytes second = expectedResult(bitmapHeader(64, 64), pixels, rule);
    ASSERT_NE(first, second);
    EXPECT_EQ(readBytes(file("first.bmp")), first);
    EXPECT_EQ(readBytes(file("second.bmp")), second);
}

TEST_F(SeasonPass, FallAmountZeroIsByteIdenticalFor256x256)
{
    const Bytes input = workingBitmap(bitmapHeader(256, 256), randomPixels(65536, 3));
    writeBytes(file("main.bmp"), input);
    season::runFallPass(file("main.bmp"), file("tempf.bmp"), 0);
    EXPECT_EQ(readBytes(file("tempf.bmp")), input);
}

TEST_F(SeasonPass, MoreThan65536PixelsAreProcessedWhole)
{
    // 300 x 300: 90,000 pixels, all of them light enough to snow at T = 0.
    const std::vector<Pixel> pixels(90000, Pixel{100, 100, 100});
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(300, 300), pixels));
    season::SnowNoise noise;
    season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 0, noise);
    season::runFallPass(file("main.bmp"), file("tempf.bmp"), 10);

    const Bytes winter = readBytes(file("tempw.bmp"));
    const Bytes fall = readBytes(file("tempf.bmp"));
    ASSERT_EQ(winter.size(), 54u + 270000u);
    ASSERT_EQ(fall.size(), 54u + 270000u);
    season::SnowNoise reference;
    for (int i = 0; i < 90000; ++i)
        reference.draw();
    EXPECT_EQ(noise.state(), reference.state());
    EXPECT_EQ(pixelAt(fall, 89999), (Pixel{110, 110, 130}));
}

// Whole triples go through the rule and a final incomplete triple is copied unchanged, so the
// result is as long as the input (a width that is not a multiple of 4 pads its rows and leaves
// one). The reads go through a buffer of 16,384 triples, so the cases end inside the first
// buffer, exactly at its end, and one byte past it.
class ShortInput : public SeasonPass, public testing::WithParamInterface<std::size_t>
{};

TEST_P(ShortInput, ProcessesWholeTriplesAndCopiesTheTail)
{
    const std::size_t dataBytes = GetParam(); // after the 54-byte header
    const std::size_t wholeBytes = dataBytes - dataBytes % 3;
    const auto pixels = randomPixels(dataBytes / 3 + 1, 5);
    Bytes input = workingBitmap(bitmapHeader(256, 256), pixels);
    input.resize(54 + dataBytes);
    writeBytes(file("main.bmp"), input);

    season::SnowNoise noise;
    season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 255, noise);
    season::runFallPass(file("main.bmp"), file("tempf.bmp"), 0);

    EXPECT_EQ(readBytes(file("tempf.bmp")), input);
    const Bytes winter = readBytes(file("tempw.bmp"));
    ASSERT_EQ(winter.size(), input.size());
    for (std::size_t i = 0; i < wholeBytes / 3; ++i)
        ASSERT_EQ(pixelAt(winter, i), season::winterPixel(pixels[i], 255, noise)) << i;
    EXPECT_TRUE(std::equal(winter.begin() + long(54 + wholeBytes), winter.end(),
                           input.begin() + long(54 + wholeBytes)));
}

INSTANTIATE_TEST_SUITE_P(DataBytes, ShortInput,
                         testing::Values(0u, 17u, 250u * 752, 3u * 16384, 3u * 16384 + 1));

class TooShortInput : public SeasonPass, public testing::WithParamInterface<std::size_t>
{};

TEST_P(TooShortInput, RaisesNamingTheFileAndWritesNothing)
{
    Bytes input = bitmapHeader(256, 256);
    input.resize(GetParam());
    writeBytes(file("main.bmp"), input);
    writeBytes(file("tempf.bmp"), Bytes{1, 2, 3});

    try {
        season::runFallPass(file("main.bmp"), file("tempf.bmp"), 10);
        FAIL() << "no error";
    } catch (const platform::Error &e) {
        EXPECT_NE(std::string(e.what()).find(file("main.bmp").string()), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("54-byte header"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readBytes(file("tempf.bmp")), (Bytes{1, 2, 3}));
    EXPECT_EQ(entries(), 2u) << "no temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(Sizes, TooShortInput, testing::Values(0u, 53u));

TEST_F(SeasonPass, MissingInputRaisesNamingItAndLeavesTheResult)
{
    writeBytes(file("tempw.bmp"), Bytes{9, 9});
    season::SnowNoise noise;
    try {
        season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 70, noise);
        FAIL() << "no error";
    } catch (const platform::Error &e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(file("main.bmp").string()), std::string::npos) << message;
        EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    }
    EXPECT_EQ(readBytes(file("tempw.bmp")), (Bytes{9, 9}));
    EXPECT_EQ(noise.state(), 1u);
}

TEST_F(SeasonPass, UnwritableResultRaisesNamingIt)
{
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(2, 2), randomPixels(4)));
    // A result in a folder that does not exist, and a result that is a folder.
    fs::create_directory(file("tempf.bmp"));
    for (const fs::path &out : {file("missing") / "tempw.bmp", file("tempf.bmp")}) {
        season::SnowNoise noise;
        try {
            season::runWinterPass(file("main.bmp"), out, 70, noise);
            ADD_FAILURE() << "no error for " << out;
        } catch (const platform::Error &e) {
            EXPECT_NE(std::string(e.what()).find(out.string()), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(fs::is_directory(file("tempf.bmp")));
    EXPECT_EQ(entries(), 2u) << "no temporary file left behind";
}

TEST_F(SeasonPass, ResultFailingMidwayIsRemoved)
{
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(256, 256), randomPixels(65536)));
    writeBytes(file("tempw.bmp"), Bytes(500, 1));
    // Files may grow to 100,000 bytes only: the write of the result fails part way through.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const rlimit limit{100000, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    struct Restore
    {
        rlimit saved;
        ~Restore() { setrlimit(RLIMIT_FSIZE, &saved); }
    } restore{before};

    season::SnowNoise noise;
    try {
        season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 70, noise);
        FAIL() << "no error";
    } catch (const platform::Error &e) {
        EXPECT_NE(std::string(e.what()).find(file("tempw.bmp").string()), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(file("tempw.bmp")));
}

TEST_F(SeasonPass, ReplacesALongerEarlierResultWhole)
{
    writeBytes(file("tempf.bmp"), Bytes(1000, 0xAB));
    const Bytes input = workingBitmap(bitmapHeader(2, 2), randomPixels(4));
    writeBytes(file("main.bmp"), input);
    season::runFallPass(file("main.bmp"), file("tempf.bmp"), 0);
    EXPECT_EQ(readBytes(file("tempf.bmp")), input);
    EXPECT_EQ(entries(), 2u);
}

} // namespace

namespace {

// A link at a result's place is replaced by the result; the file it led to stays untouched.
TEST_F(SeasonPass, ResultReplacesALinkInsteadOfWritingThroughIt)
{
    const Bytes input = workingBitmap(bitmapHeader(2, 2), randomPixels(4));
    writeBytes(file("main.bmp"), input);
    const Bytes precious(300, 0x5A);
    writeBytes(file("elsewhere.bmp"), precious);
    writeBytes(file("other.bmp"), precious);
    fs::create_symlink(file("elsewhere.bmp"), file("tempf.bmp"));
    fs::create_hard_link(file("other.bmp"), file("tempw.bmp"));

    season::SnowNoise noise;
    season::runFallPass(file("main.bmp"), file("tempf.bmp"), 0);
    season::runWinterPass(file("main.bmp"), file("tempw.bmp"), 255, noise);

    EXPECT_FALSE(fs::is_symlink(file("tempf.bmp")));
    EXPECT_EQ(readBytes(file("tempf.bmp")), input);
    EXPECT_EQ(fs::hard_link_count(file("tempw.bmp")), 1u);
    EXPECT_EQ(readBytes(file("tempw.bmp")).size(), input.size());
    EXPECT_EQ(readBytes(file("elsewhere.bmp")), precious);
    EXPECT_EQ(readBytes(file("other.bmp")), precious);
}

// A pipe as input or result would block the pass: both are refused, naming the pipe.
TEST_F(SeasonPass, PipesAreRefusedWithoutWaiting)
{
    writeBytes(file("main.bmp"), workingBitmap(bitmapHeader(2, 2), randomPixels(4)));
    ASSERT_EQ(::mkfifo(file("pipe.bmp").c_str(), 0600), 0);
    for (const bool asInput : {true, false}) {
        try {
            if (asInput)
                season::runFallPass(file("pipe.bmp"), file("tempf.bmp"), 0);
            else
                season::runFallPass(file("main.bmp"), file("pipe.bmp"), 0);
            ADD_FAILURE() << "no error, input " << asInput;
        } catch (const platform::Error &e) {
            EXPECT_NE(std::string(e.what()).find(file("pipe.bmp").string()), std::string::npos)
                << e.what();
        }
    }
    EXPECT_TRUE(fs::is_fifo(file("pipe.bmp")));
}

} // namespace

namespace {

// Winter and fall through the season table, as the texture sets and the preview run them,
// give the bytes the passes have always given: the checksums were taken from the rules as
// they stood before the table, over 65,536 pseudo-random pixels and a 2-byte tail.
TEST(SeasonTableRules, WinterAndFallBytesAreUnchanged)
{
    std::vector<std::uint8_t> pixels(3 * 256 * 256 + 2);
    std::uint32_t state = 12345;
    for (std::uint8_t &b : pixels) {
        state = state * 1103515245u + 12345u;
        b = std::uint8_t(state >> 24);
    }
    const auto checksum = [](const std::vector<std::uint8_t> &bytes) {
        std::uint64_t h = 1469598103934665603ull;
        for (const std::uint8_t b : bytes)
            h = (h ^ b) * 1099511628211ull;
        return h;
    };
    const struct
    {
        season::Season season;
        int strength;
        std::uint64_t checksum;
        std::uint32_t stateAfter; // winter: the generator's state after the tile
    } cases[] = {
        {season::Season::Winter, 70, 0x8c3172a8c83aac37ull, 2835034109u},
        {season::Season::Winter, 150, 0xc657cea8b3a3d122ull, 1773984087u},
        {season::Season::Fall, 12, 0x49b43f91e129405aull, 0},
        {season::Season::Fall, -7, 0x55145f915c79cd86ull, 0},
        {season::Season::Fall, 25, 0x58bef9d792628b6dull, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(season::seasonName(c.season)) + " " + std::to_string(c.strength));
        const season::SeasonRow &row = season::seasonRow(c.season);
        std::vector<std::uint8_t> out = pixels;
        // The tail and the row layout play no part in winter and fall: all whole triples are
        // taken as one run.
        std::vector<std::uint8_t> alpha(256 * 256, 0);
        season::TileColours tile{out.data(), out.size(), 256, 256, 768, alpha.data()};
        row.apply(tile, c.strength, 1);
        EXPECT_EQ(checksum(out), c.checksum);
        if (row.noise != season::Noise::None) {
            season::TileColours original{pixels.data(), pixels.size(), 256, 256, 768, alpha.data()};
            season::SnowNoise counted(1);
            for (std::uint64_t k = row.draws(original, c.strength); k > 0; --k)
                counted.draw();
            EXPECT_EQ(counted.state(), c.stateAfter) << "draws counted";
        } else {
            EXPECT_EQ(row.draws(tile, c.strength), 0u);
        }
    }
}

// Every season has one row, found by its code's command word and option, and the codes are
// the two letters of a texture name, all different from each other and from summer's.
TEST(SeasonTableRules, OneRowPerSeason)
{
    std::set<std::string> codes{season::summerCode()};
    for (const season::SeasonRow &row : season::seasonTable()) {
        EXPECT_EQ(&season::seasonRow(row.season), &row);
        EXPECT_EQ(season::seasonByCommand(row.command), &row);
        EXPECT_EQ(season::seasonByOption(row.option), &row);
        EXPECT_EQ(std::string(row.code).size(), 2u);
        EXPECT_TRUE(codes.insert(row.code).second) << row.code;
        EXPECT_LE(row.lowest, row.defaultStrength);
        EXPECT_LE(row.defaultStrength, row.highest);
    }
    EXPECT_EQ(codes.size(), season::seasonCount + 1);
    EXPECT_EQ(season::seasonByCommand("HARDWINTER"),
              &season::seasonRow(season::Season::HardWinter));
    EXPECT_EQ(season::seasonByCommand("summer"), nullptr);
}

} // namespace
