// The seasons the tool makes from a summer texture.
#pragma once

namespace season {

// The window makes winter and fall; the command line makes all four.
enum class Season { Winter, Fall, Spring, HardWinter };

// The two letters that stand for the season in a texture's name: "wi", "fa", "sp", "hw".
const char *seasonCode(Season season);

// The season's name as the command line and the preview spell it: "winter", "fall",
// "spring", "hard winter".
const char *seasonName(Season season);

} // namespace season
