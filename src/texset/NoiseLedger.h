// The noise bookkeeping of a texture set: how many draws each tile makes from each generator,
// and where each tile's pass starts.
//
// Tiles are counted in any order (each by whichever worker decoded it); the ledger moves its
// "frontier", the first tile not yet counted, over every tile counted so far, giving each
// its starting states by the jump (snowStateAfter). No threads here: the caller serialises.
#pragma once

#include "season/Season.h"
#include "season/SeasonTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace texset {

class TileConversion;

// The noise generators a set may draw from, one for each of season::Noise's generators:
// today winter's alone (hard winter draws no noise). Manifests record a single start and draw
// count per output, that of its season's generator, so their format does not depend on how
// many there are.
enum Generator { WinterNoise, generatorCount };
static_assert(generatorCount == season::noiseGeneratorCount);

using NoiseDraws = std::array<std::uint64_t, generatorCount>;
using NoiseStates = std::array<std::uint32_t, generatorCount>;

// The generator a season's pass draws from, if any.
std::optional<Generator> generatorOf(season::Season season);

// Sets the draws the season's pass at this strength makes over the loaded tile in its
// generator's place of `draws`; a season without noise leaves `draws` as it is.
void countDraws(NoiseDraws &draws, TileConversion &tile, season::Season season, int adjustment);

// The states after tiles making these draws, from `states`.
NoiseStates statesAfter(NoiseStates states, const NoiseDraws &draws);

class NoiseLedger
{
  public:
    // `window`: how many tiles past the oldest one whose start is still wanted may be
    // counted; the caller keeps to it.
    NoiseLedger(std::size_t window, NoiseStates start);

    // Records tile `index`'s draws: frontier() <= index < frontier() + window.
    void count(std::size_t index, const NoiseDraws &draws);

    // The first tile not yet counted.
    std::size_t frontier() const { return m_frontier; }
    // Where tile `index` starts: index < frontier(), and no later than `window` tiles back.
    const NoiseStates &startOf(std::size_t index) const { return slot(index).start; }
    // The states after every counted tile: where the frontier's tile will start.
    const NoiseStates &next() const { return m_next; }

  private:
    struct Entry
    {
        bool counted = false;
        NoiseDraws draws{};
        NoiseStates start{};
    };
    Entry &slot(std::size_t index) { return m_ring[index % m_ring.size()]; }
    const Entry &slot(std::size_t index) const { return m_ring[index % m_ring.size()]; }

    std::vector<Entry> m_ring;
    std::size_t m_frontier = 0;
    NoiseStates m_next;
};

} // namespace texset
