// Temporary files that runs killed mid-write left in a folder.
#pragma once

#include <filesystem>

namespace texset {

// Removes from `folder` the regular files named ".kovar-PID-N.tmp" (PID and N decimal) whose
// process no longer exists: what an output's writer leaves when it is killed before its
// rename. Files of live processes (another run writing into the same folder) and every other
// name stay. Returns how many were removed; a file that cannot be removed is left quietly.
int removeStaleTemporaries(const std::filesystem::path &folder);

// Whether the file name is such a temporary of a process that no longer exists.
bool isStaleTemporaryName(const std::string &name);

} // namespace texset
