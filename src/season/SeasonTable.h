// The season table: one row per season, everything the program knows about a season in one
// place. Adding a season means adding its enumerator and its row.
#pragma once

#include "season/Season.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace season {

// A tile's colours as the season rules take them, in the layout of the 24-bit working bitmap
// without its header: rows bottom-up, each `stride` bytes apart (3 * width, padded to a
// multiple of 4 in a bitmap file), pixels blue, green, red. `alpha` holds one byte per pixel,
// rows bottom-up, `width` apart; alpha below 128 is water.
//
// Winter and fall run over every whole triple of the `size` bytes, fill bytes at row ends
// included, exactly as the passes run over the working file; spring and hard winter take
// only the pixels, row by row, with their alpha.
struct TileColours
{
    std::uint8_t *bgr = nullptr;
    std::size_t size = 0;
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t stride = 0;
    const std::uint8_t *alpha = nullptr;
};

// The noise generators a set draws from; a season's draws are the same whatever other
// seasons the run makes, since no two seasons share a generator.
enum class Noise { None = -1, Snow = 0 };
inline constexpr std::size_t noiseGeneratorCount = 1;

struct SeasonRow
{
    Season season;
    const char *code;    // in a texture's name, characters 16 and 17: "wi"
    const char *name;    // in messages and picture labels: "hard winter"
    const char *command; // the command word of tessavane-batch: "hardwinter"
    const char *option;  // the option that sets its strength: "hard-snow"
    const char *alias;   // another option that sets it when it is the one season made, or null
    Noise noise;         // the generator its rule draws from
    int defaultStrength;
    int lowest;
    int highest;
    bool window;           // made by the window as well as by the command line
    const char *storedKey; // the window's stored setting for the strength, or null

    // How many draws the rule makes from its generator over the tile at this strength.
    std::uint64_t (*draws)(const TileColours &tile, int strength);
    // The rule, in place, over the whole tile; `noiseState` is the generator's state before
    // the tile's first draw.
    void (*apply)(TileColours &tile, int strength, std::uint32_t noiseState);
};

// The rows, in the order "all" writes them.
std::span<const SeasonRow> seasonTable();
const SeasonRow &seasonRow(Season season);
// The row whose command word, or strength option, is `word` (compared without letter case).
const SeasonRow *seasonByCommand(std::string_view word);
const SeasonRow *seasonByOption(std::string_view option);

// The code of the summer texture the seasons are made from: "su".
const char *summerCode();

} // namespace season
