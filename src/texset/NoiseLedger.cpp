// The noise bookkeeping of a texture set.
#include "texset/NoiseLedger.h"

#include "platform/Error.h"
#include "texset/TileConversion.h"

#include <algorithm>

namespace texset {

std::optional<Generator> generatorOf(season::Season season)
{
    switch (season) {
    case season::Season::Winter:
        return WinterNoise;
    case season::Season::HardWinter:
        return HardWinterNoise;
    default:
        return std::nullopt;
    }
}

void countDraws(NoiseDraws &draws, const TileConversion &tile, season::Season season,
                int adjustment)
{
    if (season == season::Season::Winter)
        draws[WinterNoise] = tile.snowDraws(adjustment);
    else if (season == season::Season::HardWinter)
        draws[HardWinterNoise] = tile.hardWinterDraws(adjustment);
}

NoiseStates statesAfter(NoiseStates states, const NoiseDraws &draws)
{
    for (int g = 0; g < generatorCount; ++g)
        states[g] = snowStateAfter(states[g], draws[g]);
    return states;
}

NoiseLedger::NoiseLedger(std::size_t window, NoiseStates start)
    : m_ring(std::max<std::size_t>(1, window)), m_next(start)
{}

void NoiseLedger::count(std::size_t index, const NoiseDraws &draws)
{
    if (index < m_frontier || index >= m_frontier + m_ring.size())
        throw platform::Error("noise ledger: tile counted outside its window");
    Entry &entry = slot(index);
    entry.counted = true;
    entry.draws = draws;
    while (slot(m_frontier).counted) {
        Entry &first = slot(m_frontier);
        first.counted = false;
        first.start = m_next;
        m_next = statesAfter(m_next, first.draws);
        ++m_frontier;
    }
}

} // namespace texset
