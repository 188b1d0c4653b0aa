// The seasons the tool makes from a summer texture.
#pragma once

#include <cstddef>

namespace season {

// The window makes winter and fall; the command line makes all four. What each season is
// (its code, names, strength and rule) is in its row of the season table (SeasonTable.h).
enum class Season { Winter, Fall, Spring, HardWinter };

inline constexpr std::size_t seasonCount = 4;

// The two letters that stand for the season in a texture's name.
const char *seasonCode(Season season);

// The season's name as the command line and the preview spell it ("hard winter").
const char *seasonName(Season season);

} // namespace season
