// One tile of a texture set, converted in memory: read and decode, season pass, encode.
//
// The steps are those of the library's four calls around the working files, with the files
// left out: the texture is decoded, its colour part laid out as the 24-bit working bitmap
// (54-byte header, blue, green, red triples, rows bottom-up and padded), the pass runs over
// that bitmap's bytes exactly as it runs over the file, and the result is joined with the
// texture's own alpha and encoded as the library writes it. The outputs are therefore byte
// for byte those of the file path. An incomplete final triple is left as it was.
#pragma once

#include "convlib/Image.h"
#include "season/Season.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace texset {

// The generator's state after `draws` draws starting from `state`: the affine map
// x -> 22695477 x + 1 (mod 2^32) raised to the power `draws` by repeated squaring, so the
// cost grows with log2(draws), not with draws.
std::uint32_t snowStateAfter(std::uint32_t state, std::uint64_t draws);

// How many of `count` blue, green, red triples the winter rule with this threshold snows:
// the number of draws the winter pass makes over them.
std::uint64_t countSnowedTriples(const std::uint8_t *bgr, std::size_t count, int threshold);

// A worker's tile in hand. Reused from tile to tile, so its buffers keep their memory.
class TileConversion
{
  public:
    // Reads and decodes the texture and lays out its colour part. Throws kovar::Error (or
    // platform::Error) naming the texture and the reason.
    void load(const std::filesystem::path &texture);

    // The draws the season's pass will make over the loaded tile from its generator.
    std::uint64_t draws(season::Season season, int adjustment);
    // The draws the winter pass will make over the loaded tile.
    std::uint64_t snowDraws(int threshold) { return draws(season::Season::Winter, threshold); }

    // The season's pass over the loaded tile's own colours, its noise (if it draws any)
    // starting at `noiseState`.
    void applyPass(season::Season season, int adjustment, std::uint32_t noiseState);

    // The seasoned tile as the image the library encodes: the last pass's colours with the
    // texture's alpha.
    const kovar::Image &seasonedImage();

    // The seasoned tile as the texture file the library writes (format code 11). `output`
    // names the file in messages.
    const std::vector<std::uint8_t> &encode(const std::filesystem::path &output);

  private:
    std::optional<kovar::Image> m_image;
    std::optional<kovar::Image> m_seasoned;
    std::vector<std::uint8_t> m_colour; // the working bitmap as read
    std::vector<std::uint8_t> m_alpha;  // the texture's alpha, rows bottom-up as in m_colour
    std::vector<std::uint8_t> m_work;   // the working bitmap after the last pass
    std::vector<std::uint8_t> m_encoded;
    std::string m_texture;
};

} // namespace texset
