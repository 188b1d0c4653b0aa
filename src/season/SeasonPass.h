// The winter and fall passes over a 24-bit working bitmap, file to file.
//
// A pass copies the 54-byte header unchanged, then runs every whole blue, green, red triple
// after it through the season's pixel rule; a final incomplete triple (1 or 2 bytes) is
// copied unchanged, so the result always has the input's size. Rows play no part, so fill bytes at
// row ends are processed like pixel bytes. The data streams through a fixed buffer of whole
// triples: memory does not grow with the image.
//
// Failures throw platform::Error naming the file and the reason. An input that cannot be
// opened, or that is shorter than its 54-byte header, leaves `out` as it was. A failure once
// the result is being written (a read error in the input, a result that cannot be written)
// removes `out`, so a failed pass never leaves a half-written result behind. `in` and `out`
// must be different files.
#pragma once

#include "season/SnowNoise.h"

#include <filesystem>

namespace season {

// Winter: snow on every pixel whose raised brightness exceeds `threshold`; one draw from
// `noise` per snowed pixel, in file order.
void runWinterPass(const std::filesystem::path &in, const std::filesystem::path &out, int threshold,
                   SnowNoise &noise);

// Fall: colours shift toward brown by `amount`.
void runFallPass(const std::filesystem::path &in, const std::filesystem::path &out, int amount);

} // namespace season
