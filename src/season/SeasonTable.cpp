// The season table: one row per season.
#include "season/SeasonTable.h"

#include "season/Adjustment.h"
#include "season/HardWinter.h"
#include "season/PixelRules.h"

#include <algorithm>
#include <cctype>

namespace season {

namespace {

std::uint64_t noDraws(const TileColours &, int)
{
    return 0;
}

std::uint64_t winterDraws(const TileColours &tile, int threshold)
{
    return countWinterDraws(tile.bgr, tile.size / 3, threshold);
}

void winter(TileColours &tile, int threshold, std::uint32_t noiseState)
{
    SnowNoise noise(noiseState);
    winterTriples(tile.bgr, tile.size / 3, threshold, noise);
}

void fall(TileColours &tile, int amount, std::uint32_t)
{
    fallTriples(tile.bgr, tile.size / 3, amount);
}

void spring(TileColours &tile, int amount, std::uint32_t)
{
    for (std::size_t y = 0; y < tile.height; ++y) {
        std::uint8_t *bgr = tile.bgr + y * tile.stride;
        const std::uint8_t *alpha = tile.alpha + y * tile.width;
        for (std::size_t x = 0; x < tile.width; ++x, bgr += 3) {
            const Pixel p = springPixel(Pixel{bgr[0], bgr[1], bgr[2]}, alpha[x], amount);
            bgr[0] = p.blue;
            bgr[1] = p.green;
            bgr[2] = p.red;
        }
    }
}

void hardWinter(TileColours &tile, int depth, std::uint32_t)
{
    hardWinterTile(tile, depth);
}

const SeasonRow rows[] = {
    {Season::Winter, "wi", "winter", "winter", "snow", nullptr, Noise::Snow, defaultSnowThreshold,
     lowestAdjustment, highestSnowThreshold, true, "Winter", winterDraws, winter},
    {Season::Fall, "fa", "fall", "fall", "fall", nullptr, Noise::None, defaultFallAmount,
     lowestAdjustment, highestFallAmount, true, "Fall", noDraws, fall},
    {Season::Spring, "sp", "spring", "spring", "spring", nullptr, Noise::None, 10, 0, 25, false,
     nullptr, noDraws, spring},
    {Season::HardWinter, "hw", "hard winter", "hardwinter", "hard-snow", "snow", Noise::None,
     defaultHardWinterDepth, 0, highestHardWinterDepth, false, nullptr, noDraws, hardWinter},
};
static_assert(std::size(rows) == seasonCount);

bool sameWord(std::string_view a, const char *b)
{
    const std::string_view other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<const SeasonRow> seasonTable()
{
    return rows;
}

const SeasonRow &seasonRow(Season season)
{
    return rows[static_cast<std::size_t>(season)];
}

const SeasonRow *seasonByCommand(std::string_view word)
{
    for (const SeasonRow &row : rows)
        if (sameWord(word, row.command))
            return &row;
    return nullptr;
}

const SeasonRow *seasonByOption(std::string_view option)
{
    for (const SeasonRow &row : rows)
        if (sameWord(option, row.option))
            return &row;
    return nullptr;
}

const char *summerCode()
{
    return "su";
}

const char *seasonCode(Season season)
{
    return seasonRow(season).code;
}

const char *seasonName(Season season)
{
    return seasonRow(season).name;
}

} // namespace season
