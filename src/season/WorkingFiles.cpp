// The five working files of the conversion steps, all in one folder.
#include "season/WorkingFiles.h"

namespace season {

std::filesystem::path WorkingFiles::seasonFile(Season s) const
{
    return s == Season::Winter ? winter() : fall();
}

} // namespace season
