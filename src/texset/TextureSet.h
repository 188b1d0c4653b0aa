// A texture set made on several threads, byte for byte what the one-file-at-a-time path
// writes. The design is described at the top of TextureSet.cpp.
#pragma once

#include "season/Season.h"
#include "texset/DurableOutput.h"
#include "texset/NoiseLedger.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace texset {

// A season the set makes, at its strength.
struct SeasonSetting
{
    season::Season season = season::Season::Winter;
    int adjustment = 0;
};

struct TileRequest
{
    std::filesystem::path texture;
    // One per season of the set, in the same order.
    std::vector<std::filesystem::path> outputs;
    // Which of them to write, likewise; empty: all. A tile with none to write is only
    // counted: read and decoded, never encoded; and not even read when its draws are given.
    std::vector<bool> write;
    // The tile's draws, when known without reading it (from an earlier run's record).
    std::optional<NoiseDraws> draws;
};

struct SetOptions
{
    // What each tile is made into. A tile is read and decoded once for all of them.
    std::vector<SeasonSetting> seasons;
    unsigned jobs = 1;      // worker threads, at least 1
    bool keepGoing = false; // a failed tile does not stop the set
    Flush flush = Flush::Grouped;
    std::uint32_t snowState = 1; // the winter generator's state before the first tile
};

struct TileOutcome
{
    std::size_t index = 0;
    bool written = false;
    std::string error;   // when not written: the message, naming the file and the reason
    NoiseDraws draws{};  // the draws the tile makes (0 when it cannot be read)
    NoiseStates start{}; // the generators' states where its passes start
};

struct SetResult
{
    int written = 0;
    int failed = 0;
    bool stoppedAtFailure = false;
    bool stoppedOnRequest = false;
    std::uint32_t snowState = 1; // after the last tile read
};

// Converts tiles 0 .. count - 1 in that order. `tileAt(i)` gives tile i's texture and output
// paths, one per season; it may throw, which fails that tile. `report` is called on the calling
// thread for each tile in file order once it is settled: written (all its outputs, and on the disk,
// as the flush mode promises) or failed. `stopRequested` is polled before each tile is begun; once
// it is true, the tiles in hand are finished and reported and the rest are not begun.
//
// A tile with nothing to write is settled, and reported written, once it is counted.
//
// A tile that cannot be read draws no snow from either generator. Without keepGoing, the first
// failure (in file order) ends the set: tiles after it that were already in hand are discarded, so
// the set holds exactly what one file at a time would have written.
SetResult makeTextureSet(std::size_t count, const std::function<TileRequest(std::size_t)> &tileAt,
                         const SetOptions &options,
                         const std::function<void(const TileOutcome &)> &report,
                         const std::function<bool()> &stopRequested);

} // namespace texset
