// tessavane-batch --update: the destination's manifest locked, read and planned from, the dry
// run's list, and the manifest kept in step with the outputs as the set commits them.
#pragma once

#include "texset/Manifest.h"
#include "texset/TextureSet.h"
#include "texset/UpdatePlan.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace batch {

class SetUpdate
{
  public:
    // Locks the destination's manifest (for a dry run only against a run writing it), reads
    // it and plans. `waiting` is called once if another update holds the lock. Throws
    // platform::Error naming the file.
    SetUpdate(const std::filesystem::path &destination, std::vector<texset::UpdateTile> tiles,
              const std::vector<texset::SeasonSetting> &seasons, bool dryRun,
              const std::function<void()> &waiting);

    const texset::UpdatePlan &plan() const { return m_plan; }
    // The tiles with an output to write.
    int tilesToWrite() const;

    // The dry run: one line per output to write or remove, with why, and a closing count.
    void printPlan(std::FILE *out) const;

    // Removes the outputs of tiles no longer listed and starts the manifest from the records
    // still true. Writes nothing when nothing is to change. Throws platform::Error.
    void begin();
    // Asks the set for only the outputs to write, and gives it the draws already known.
    void shape(std::size_t index, texset::TileRequest &request) const;
    bool writes(std::size_t index) const { return m_plan.tiles[index].writes(); }
    // After the tile's outputs are committed: records them. Returns the written outputs' names,
    // each with why, for the progress. Throws platform::Error.
    QString written(const texset::TileOutcome &outcome);
    // Puts the records on the disk. Throws platform::Error.
    void finish();
    // "Up to date: 9998 outputs; written: 2 source changed; removed: 1 source removed".
    QString summaryLine() const;

  private:
    std::vector<texset::UpdateTile> m_tiles;
    std::vector<texset::SeasonSetting> m_seasons;
    std::filesystem::path m_destination;
    texset::ProgramIdentity m_program;
    std::optional<texset::ManifestLock> m_lock;
    texset::UpdatePlan m_plan;
    std::optional<texset::ManifestWriter> m_writer;
    std::map<texset::Reason, int> m_writtenFor;
};

} // namespace batch
