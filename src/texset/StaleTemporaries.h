// Temporary files that runs killed mid-write left in a folder.
#pragma once

#include <filesystem>

namespace texset {

// Removes from `folder` the temporary files that no live writer holds (convlib/AtomicFile.h):
// what an output's writer leaves when it is killed before its rename. Only regular files of
// this user named as the writer names its temporaries are removed; those another run holds
// (in this process, another one, another PID namespace or another host sharing the folder)
// and every other name stay. Returns how many were removed; a file that cannot be removed is
// left quietly.
int removeStaleTemporaries(const std::filesystem::path &folder);

} // namespace texset
