// A shard of a texture set: the K-th of N contiguous ranges of the listed tiles, in file order.
//
// A shard writes only its own range, yet byte for byte what a whole run writes there: its
// first tile's noise starts where the whole run's would, which takes the draws of every
// earlier tile. Those tiles are read and counted, never encoded, so N shards together cost
// little more than one whole run, and shards on N processes or machines writing into one
// folder leave exactly the whole run's files.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace texset {

struct Shard
{
    unsigned index = 1; // K, from 1
    unsigned count = 1; // N
};

// "K/N" with 1 <= K <= N, both decimal; nothing else.
std::optional<Shard> parseShard(std::string_view text);

struct TileRange
{
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The shard's tiles out of `tiles`: the ranges of 1/N .. N/N follow each other without a gap
// or an overlap and differ in size by at most one.
TileRange shardRange(std::size_t tiles, const Shard &shard);

} // namespace texset
