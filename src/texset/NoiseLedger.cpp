// The noise bookkeeping of a texture set.
#include "texset/NoiseLedger.h"

#include "platform/Error.h"
#include "season/SeasonTable.h"
#include "texset/TileConversion.h"

#include <algorithm>

namespace texset {

std::optional<Generator> generatorOf(season::Season season)
{
    const season::Noise noise = season::seasonRow(season).noise;
    if (noise == season::Noise::None)
        return std::nullopt;
    return Generator(int(noise));
}

void countDraws(NoiseDraws &draws, TileConversion &tile, season::Season season, int adjustment)
{
    if (const std::optional<Generator> generator = generatorOf(season))
        draws[*generator] = tile.draws(season, adjustment);
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
