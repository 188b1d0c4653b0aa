// The conversion steps against the real conversion library, on textures it wrote itself.
#include "BitmapFiles.h"
#include "TextureFiles.h"

#include "platform/Error.h"
#include "season/ConversionSteps.h"
#include "season/SeasonPass.h"
#include "season/WorkingFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace seasontest;
using season::Season;

constexpr std::size_t texturePixels = 256 * 256;

// Mean absolute difference per channel between two working bitmaps, over land only: water
// (alpha below 128) keeps no colour through the block compression. The alpha bitmap has 8 bits
// a pixel, in the colour bitmap's row order.
double meanLandDifference(const Bytes &a, const Bytes &b, const Bytes &alpha)
{
    const std::size_t alphaData = alpha[10] | alpha[11] << 8 | alpha[12] << 16;
    long long sum = 0;
    long long land = 0;
    for (std::size_t i = 0; i < texturePixels; ++i)
        if (alpha[alphaData + i] >= 128) {
            for (std::size_t c = 54 + 3 * i; c < 54 + 3 * i + 3; ++c)
                sum += std::abs(int(a[c]) - int(b[c]));
            land += 3;
        }
    return land ? double(sum) / double(land) : 0.0;
}

bool contains(const std::string &text, const fs::path &path)
{
    return text.find(path.string()) != std::string::npos;
}

class ConversionSteps : public testing::Test
{
  protected:
    void SetUp() override
    {
        m_root = m_dir.path().toStdString();
        m_work.folder = m_root / "work";
        fs::create_directory(m_work.folder);
        m_texture = m_root / "000111222333000su.bmp";
        writeTexture(m_texture);
    }

    QTemporaryDir m_dir;
    fs::path m_root;
    season::WorkingFiles m_work;
    fs::path m_texture;
};

TEST_F(ConversionSteps, TextureBecomesColourAndAlphaWorkingFiles)
{
    season::convertToWorkingFiles(m_work, m_texture);

    const Bytes colour = readBytes(m_work.colour());
    ASSERT_EQ(colour.size(), 54 + 3 * texturePixels);
    EXPECT_EQ(colour[0], 'B');
    EXPECT_EQ(colour[28], 24) << "bits per pixel";
    // Bottom-up rows: the file's last row is the texture's top row. Land at x = 200 is
    // (red 130, green 160, blue 40 + y / 4), within the block compression's error.
    const auto near = [](season::Pixel p, int red, int green, int blue) {
        return std::abs(p.red - red) <= 8 && std::abs(p.green - green) <= 8 &&
               std::abs(p.blue - blue) <= 8;
    };
    EXPECT_TRUE(near(pixelAt(colour, 255 * 256 + 200), 130, 160, 40));
    EXPECT_TRUE(near(pixelAt(colour, 200), 130, 160, 103));
    EXPECT_TRUE(fs::is_regular_file(m_work.alpha()));
    EXPECT_TRUE(fs::is_regular_file(m_work.targa()));
}

// A missing file, a file that is no texture, and a texture cut short inside its top level.
TEST_F(ConversionSteps, UnreadableTextureRaisesNamingItAndKeepsTheWorkingFiles)
{
    season::convertToWorkingFiles(m_work, m_texture);
    const Bytes colour = readBytes(m_work.colour());
    const Bytes alpha = readBytes(m_work.alpha());
    const Bytes targa = readBytes(m_work.targa());

    Bytes cut = readBytes(m_texture);
    cut.resize(20000);
    writeBytes(m_root / "111111111111111su.bmp",
               Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    writeBytes(m_root / "222222222222222su.bmp", cut);
    for (const char *name :
         {"000000000000000su.bmp", "111111111111111su.bmp", "222222222222222su.bmp"}) {
        const fs::path damaged = m_root / name;
        try {
            season::convertToWorkingFiles(m_work, damaged);
            ADD_FAILURE() << "no error for " << name;
        } catch (const platform::Error &e) {
            EXPECT_TRUE(contains(e.what(), damaged)) << e.what();
        }
        EXPECT_EQ(readBytes(m_work.colour()), colour);
        EXPECT_EQ(readBytes(m_work.alpha()), alpha);
        EXPECT_EQ(readBytes(m_work.targa()), targa);
    }
}

TEST_F(ConversionSteps, MissingSeasonFileRaisesAndKeepsTheOutput)
{
    season::convertToWorkingFiles(m_work, m_texture);
    const fs::path output = m_root / "000111222333000wi.bmp";
    writeBytes(output, Bytes{1, 2, 3});
    try {
        season::writeSeasonTexture(m_work, Season::Winter, output);
        FAIL() << "no error";
    } catch (const platform::Error &e) {
        EXPECT_TRUE(contains(e.what(), m_work.winter())) << e.what();
    }
    EXPECT_EQ(readBytes(output), (Bytes{1, 2, 3}));
}

// An error that names only a working file is raised naming the texture first; one that names
// the texture already is left as it is.
TEST_F(ConversionSteps, WorkingFileErrorsNameTheTextureTheyCameFrom)
{
    season::convertToWorkingFiles(m_work, m_texture);
    const fs::path output = m_root / "000111222333000wi.bmp";
    for (const bool missingTexture : {false, true}) {
        const fs::path texture = missingTexture ? m_root / "000000000000000su.bmp" : m_texture;
        try {
            season::forTexture(texture, [&] {
                if (missingTexture)
                    season::convertToWorkingFiles(m_work, texture);
                season::writeSeasonTexture(m_work, Season::Winter, output); // no "tempw.bmp"
            });
            ADD_FAILURE() << "no error";
        } catch (const platform::Error &e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(texture.string() + ": ", 0), 0u) << message;
            EXPECT_EQ(contains(message, m_work.winter()), !missingTexture) << message;
            EXPECT_EQ(message.find(texture.string(), 1), std::string::npos) << message;
        }
    }
}

// The bundled sample tiles, through the whole chain for both seasons.
std::vector<std::string> sampleNames()
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(TESSAVANE_SOURCE_DIR "/samples"))
        if (entry.path().extension() == ".bmp")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SampleTile : public testing::TestWithParam<std::string>
{};

TEST(SampleTiles, AreBundled)
{
    EXPECT_GE(sampleNames().size(), 1u);
}

TEST_P(SampleTile, MakesBothSeasonsKeepingTheWaterMask)
{
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const season::WorkingFiles work{root};
    season::convertToWorkingFiles(work, fs::path(TESSAVANE_SOURCE_DIR "/samples") / GetParam());
    ASSERT_EQ(fs::file_size(work.colour()), 54 + 3 * texturePixels);

    season::SnowNoise noise;
    season::runWinterPass(work.colour(), work.winter(), 70, noise);
    season::runFallPass(work.colour(), work.fall(), 12);
    season::writeSeasonTexture(work, Season::Winter, root / "winter.bmp");
    season::writeSeasonTexture(work, Season::Fall, root / "fall.bmp");

    for (const Season s : {Season::Winter, Season::Fall}) {
        const season::WorkingFiles check{root / (s == Season::Winter ? "w" : "f")};
        fs::create_directory(check.folder);
        season::convertToWorkingFiles(check,
                                      root / (s == Season::Winter ? "winter.bmp" : "fall.bmp"));
        const Bytes decoded = readBytes(check.colour());
        const Bytes alpha = readBytes(work.alpha());
        const double toSeason = meanLandDifference(decoded, readBytes(work.seasonFile(s)), alpha);
        const double toSummer = meanLandDifference(decoded, readBytes(work.colour()), alpha);
        EXPECT_LT(toSeason, 4.0) << "block compression error only";
        EXPECT_GT(toSummer, 3 * toSeason) << "the season's colours, not the summer's";
        EXPECT_EQ(readBytes(check.alpha()), alpha);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleTile, testing::ValuesIn(sampleNames()),
                         [](const auto &info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

} // namespace
