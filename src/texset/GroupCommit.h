// The committing of a group of finished tiles: their outputs renamed over their targets in
// file order and their folders flushed, as the flush mode promises, before any is reported.
#pragma once

#include "texset/DurableOutput.h"
#include "texset/TextureSet.h"

#include <cstddef>
#include <vector>

namespace texset {

struct FinishedTile
{
    TileOutcome outcome;                // written, or failed with its message
    std::vector<PendingOutput> outputs; // those to commit, in season order
};

struct CommittedGroup
{
    std::size_t settled = 0; // the tiles to report, from the first
    bool halt = false;       // a failure ends the set here
};

// Renames in file order; after the first failure without keep-going, the rest are discarded
// and not settled. A tile's outputs are renamed in season order; if one cannot be, the tile
// fails, and those already renamed stay (they are whole files). Then, in the grouped modes, the
// folders are flushed once each; if one cannot be, every tile settled in this group with an
// output in it fails, the message naming the outputs held back. The
// outcomes of the settled tiles are left in `tiles`; every output not committed is discarded.
CommittedGroup commitGroup(std::vector<FinishedTile> &tiles, Flush flush, bool keepGoing);

} // namespace texset
