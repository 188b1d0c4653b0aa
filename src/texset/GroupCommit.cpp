// The committing of a group of finished tiles.
#include "texset/GroupCommit.h"

#include <exception>
#include <map>
#include <set>

namespace texset {

CommittedGroup commitGroup(std::vector<FinishedTile> &tiles, Flush flush, bool keepGoing)
{
    CommittedGroup group;
    std::set<std::filesystem::path> folders;
    for (; group.settled < tiles.size() && !group.halt; ++group.settled) {
        FinishedTile &tile = tiles[group.settled];
        for (PendingOutput &output : tile.outputs) {
            if (!tile.outcome.written)
                break;
            try {
                output.commit(); // Inline: its folder flushed too
                folders.insert(output.target().parent_path());
            } catch (const std::exception &e) {
                tile.outcome.written = false;
                tile.outcome.error = e.what();
            }
        }
        if (!tile.outcome.written && !keepGoing)
            group.halt = true;
    }
    for (FinishedTile &tile : tiles)
        for (PendingOutput &output : tile.outputs)
            output.discard(); // those not committed

    std::map<std::filesystem::path, std::string> folderErrors;
    if (flush == Flush::Grouped || flush == Flush::GroupedNoKick) {
        for (const std::filesystem::path &folder : folders) {
            try {
                flushFolder(folder);
            } catch (const std::exception &e) {
                folderErrors[folder] = e.what();
            }
        }
    }
    for (std::size_t k = 0; k < group.settled; ++k) {
        TileOutcome &outcome = tiles[k].outcome;
        for (const PendingOutput &output : tiles[k].outputs) {
            const auto failed = folderErrors.find(output.target().parent_path());
            if (outcome.written && failed != folderErrors.end()) {
                outcome.written = false;
                outcome.error = unflushedMessage(tiles[k].outputs, failed->second);
            }
        }
    }
    if (!folderErrors.empty() && !keepGoing)
        group.halt = true;
    return group;
}

} // namespace texset
