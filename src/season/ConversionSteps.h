// The conversion library calls around the passes: texture to working files and back.
//
// Each call's result is checked; a failing call throws platform::Error carrying the
// library's own message (it names the file and the reason), and the steps after it do not
// run, so nothing is built from working files a failed call left stale.
#pragma once

#include "season/Season.h"
#include "season/WorkingFiles.h"

#include <filesystem>

namespace season {

// TargaFromExtendedBitmap(targa, texture), then TargaSplit(targa, colour, alpha).
void convertToWorkingFiles(const WorkingFiles &work, const std::filesystem::path &texture);

// TargaJoin(targa, season file, alpha), then TargaToExtendedBitmap(targa, output) with
// format code 11. The library replaces `output` only with a complete file.
void writeSeasonTexture(const WorkingFiles &work, Season season,
                        const std::filesystem::path &output);

} // namespace season
