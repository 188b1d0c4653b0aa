// Temporary files that runs killed mid-write left in a folder.
#include "texset/StaleTemporaries.h"

#include "convlib/AtomicFile.h"

#include <string>
#include <system_error>

namespace texset {

int removeStaleTemporaries(const std::filesystem::path &folder)
{
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (kovar::isTemporaryName(it->path().filename().string()) &&
            kovar::removeIfStaleTemporary(it->path().string()))
            ++removed;
    }
    return removed;
}

} // namespace texset
