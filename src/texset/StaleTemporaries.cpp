// Temporary files that runs killed mid-write left in a folder.
#include "texset/StaleTemporaries.h"

#include <cerrno>
#include <climits>
#include <string>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace texset {

namespace {

bool allDigits(const std::string &text)
{
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool isStaleTemporaryName(const std::string &name)
{
    const std::string prefix = ".kovar-";
    const std::string suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return false;
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == std::string::npos || !allDigits(middle.substr(0, dash)) ||
        !allDigits(middle.substr(dash + 1)))
        return false;
    const long pid = std::stol(middle.substr(0, dash));
    // 0 and 1 never name a dead writer (0 would signal our own process group).
    if (pid <= 1 || pid == ::getpid())
        return false;
    // EPERM: the process exists under another user.
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

int removeStaleTemporaries(const std::filesystem::path &folder)
{
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!isStaleTemporaryName(name))
            continue;
        struct stat status
        {};
        if (::lstat(it->path().c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (::unlink(it->path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace texset
