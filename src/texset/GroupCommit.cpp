// The committing of a group of finished tiles.
#include "texset/GroupCommit.h"

#include <exception>
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
                output.commit();
                folders.insert(output.target().parent_path());
                if (flush == Flush::Inline) {
                    flushFolder(output.target().parent_path());
                    folders.clear();
                }
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

    std::string folderError;
    if (flush != Flush::None) {
        for (const std::filesystem::path &folder : folders) {
            try {
                flushFolder(folder);
            } catch (const std::exception &e) {
                folderError = e.what();
            }
        }
    }
    if (!folderError.empty()) {
        for (std::size_t k = 0; k < group.settled; ++k) {
            TileOutcome &outcome = tiles[k].outcome;
            if (outcome.written && !tiles[k].outputs.empty()) {
                outcome.written = false;
                outcome.error = folderError;
            }
        }
        if (!keepGoing)
            group.halt = true;
    }
    return group;
}

} // namespace texset
