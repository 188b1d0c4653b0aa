// The name of a season texture made from a summer texture's name.
#pragma once

#include "season/Season.h"

#include <string>

namespace season {

// Replaces characters 16 and 17 (counted from 1) with the season's code, whatever they were,
// and keeps the rest as it is ("abcdefghijklmnoSU.BMP" gives "abcdefghijklmnowi.BMP"). With
// `createSU` the name is returned unchanged. Names are UTF-8 and characters are counted as
// code points (a byte that is not valid UTF-8 counts as one character). A name shorter than
// 17 characters throws platform::Error naming it: it has no letters to replace.
std::string seasonOutputName(const std::string &name, Season season, bool createSU);

} // namespace season
