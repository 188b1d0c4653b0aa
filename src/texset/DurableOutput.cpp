// The texture set's outputs: the library's atomic writer with the set's paths.
#include "texset/DurableOutput.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <sys/resource.h>

namespace texset {

std::string unflushedMessage(const std::vector<PendingOutput> &outputs,
                             const std::string &folderError)
{
    std::string names;
    for (const PendingOutput &output : outputs)
        names += (names.empty() ? "" : ", ") + output.target().string();
    return names + ": replaced, but may not survive a crash: " + folderError;
}

std::size_t outputsOpenAtMost()
{
    // Descriptors for the tiles being read, the folders flushed, a commit's second descriptor,
    // and what the libraries open on their own.
    constexpr std::size_t reserve = 32;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::size_t(1) << 20;
    std::size_t open = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++open;
    if (error || open == 0)
        open = 64; // no /proc: a generous guess
    const std::size_t total = std::size_t(limit.rlim_cur);
    return total > open + reserve ? total - open - reserve : 1;
}

} // namespace texset
