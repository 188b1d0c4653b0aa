// Believable synthetic summer ground tiles (fields, forest, roads, a town, water) from a seed.
#pragma once

#include <cstdint>
#include <vector>

namespace samplegen {

// One 256 x 256 summer tile as R,G,B,A bytes, rows top-down. Alpha is the water mask: 0 on
// water, 255 on land. The same seed always gives the same pixels; the tile never passed through a
// lossy codec, so it shows what a codec does to fresh imagery.
class SyntheticTile
{
  public:
    static constexpr std::uint32_t kSize = 256;

    explicit SyntheticTile(std::uint32_t seed);

    std::uint32_t seed() const { return m_seed; }
    std::uint32_t width() const { return kSize; }
    std::uint32_t height() const { return kSize; }
    const std::vector<std::uint8_t> &rgba() const { return m_rgba; }

  private:
    std::uint32_t m_seed;
    std::vector<std::uint8_t> m_rgba;
};

} // namespace samplegen
