// What an update of a texture set writes, and why: the outputs whose bytes would change
// since the manifest's record, and the outputs of tiles no longer listed.
//
// An output's bytes depend on its tile's content, its season and strength, where its noise
// starts (winter and hard winter) and the program. A tile whose content and strengths are
// those recorded draws what the record says, so it is not even decoded; a changed or new tile
// is decoded and counted. Its draws then move the start of every later winter or hard-winter
// output, which is rewritten; fall and spring outputs depend on their own tile alone.
#pragma once

#include "texset/Manifest.h"
#include "texset/NoiseLedger.h"
#include "texset/TextureSet.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace texset {

struct UpdateTile
{
    std::filesystem::path texture;
    std::string name;                           // the tile's file name
    std::vector<std::filesystem::path> outputs; // one per season of the set
    std::vector<std::string> outputNames;       // their file names
};

enum class Reason {
    UpToDate,
    FullRun,         // no usable manifest
    New,             // no record of the output
    SourceChanged,   // the tile's content
    StrengthChanged, // the season's strength
    StartMoved,      // an earlier tile's snow changed where this one's starts
    OutputMissing,
    OutputChanged, // something else rewrote or touched the output
    Unreadable,    // the tile cannot be read: the set reports it
};

// The reason as the progress and the dry run spell it ("source changed").
const char *reasonText(Reason reason);

struct PlannedTile
{
    std::optional<SourceIdentity> identity; // none when the tile cannot be read
    std::optional<NoiseDraws> draws;        // when known without the set reading it again
    std::vector<Reason> outputs;            // one per season
    bool writes() const;
};

struct PlannedRemoval
{
    OutputRecord record;
    std::filesystem::path path;
};

struct UpdatePlan
{
    std::string fullRun; // why every output is written (no usable manifest), else empty
    std::vector<PlannedTile> tiles;
    // The records still true without writing: outputs up to date (their tile's time brought up
    // to date) and other seasons'. The manifest starts the run from these.
    std::vector<OutputRecord> kept;
    std::vector<PlannedRemoval> removals;
    bool recordsChanged = false; // whether the manifest must be written even with no output
    std::size_t writes = 0;      // outputs to write
    std::size_t upToDate = 0;    // outputs left as they are
};

UpdatePlan planUpdate(const std::vector<UpdateTile> &tiles,
                      const std::vector<SeasonSetting> &seasons, const LoadedManifest &manifest,
                      const std::filesystem::path &destination, NoiseStates start);

// The record of an output just written, from the tile's plan and the set's outcome.
OutputRecord recordOf(const UpdateTile &tile, std::size_t output, const SeasonSetting &setting,
                      const SourceIdentity &identity, const TileOutcome &outcome);

} // namespace texset
