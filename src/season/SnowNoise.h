// The snow noise generator of the winter pass: a 32-bit linear congruential generator.
#pragma once

#include <cstdint>

namespace season {

// Each draw sets state = state * 22695477 + 1 (mod 2^32) and yields (state >> 16) & 0x7FFF.
class SnowNoise
{
  public:
    explicit SnowNoise(std::uint32_t state = 1) : m_state(state) {}

    int draw()
    {
        m_state = m_state * 22695477u + 1u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }

    std::uint32_t state() const { return m_state; }

  private:
    std::uint32_t m_state;
};

// The one generator of the whole run: state 1 at start, never reseeded, so the snow values
// run on across passes, files and previews.
SnowNoise &processSnowNoise();

} // namespace season
