// The conversion library calls around the passes: texture to working files and back.
//
// Each call's result is checked; a failing call throws platform::Error carrying the
// library's own message (it names the file and the reason), and the steps after it do not
// run, so nothing is built from working files a failed call left stale.
#pragma once

#include "platform/Error.h"
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

// Raises error again, with "<texture>: " in front unless its message names the texture already.
[[noreturn]] void raiseNamingTexture(const std::filesystem::path &texture,
                                     const platform::Error &error);

// Runs the work on one texture (conversion, pass, join, write): an error caused by a working
// file, whose message names only that file, is raised naming the texture it came from.
template <class Steps> void forTexture(const std::filesystem::path &texture, Steps &&steps)
{
    try {
        steps();
    } catch (const platform::Error &error) {
        raiseNamingTexture(texture, error);
    }
}

} // namespace season
