// A shard of a texture set.
#include "texset/ShardPlan.h"

#include <charconv>

namespace texset {

namespace {

std::optional<unsigned> decimal(std::string_view text)
{
    unsigned value = 0;
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<Shard> parseShard(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::optional<unsigned> index = decimal(text.substr(0, slash));
    const std::optional<unsigned> count = decimal(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count)
        return std::nullopt;
    return Shard{*index, *count};
}

TileRange shardRange(std::size_t tiles, const Shard &shard)
{
    // floor(tiles * k / N) without the product: tiles = q N + r gives q k + floor(r k / N),
    // and r k < N^2 < 10^18 fits.
    const std::size_t q = tiles / shard.count;
    const std::size_t r = tiles % shard.count;
    const auto at = [&](unsigned k) { return q * k + r * k / shard.count; };
    return TileRange{at(shard.index - 1), at(shard.index)};
}

} // namespace texset
