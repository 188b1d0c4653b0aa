// The five working files of the conversion steps, all in one folder.
#pragma once

#include "season/Season.h"

#include <filesystem>

namespace season {

struct WorkingFiles
{
    std::filesystem::path folder;

    std::filesystem::path colour() const { return folder / "main.bmp"; }
    std::filesystem::path alpha() const { return folder / "alpha.bmp"; }
    std::filesystem::path targa() const { return folder / "targa.tga"; }
    std::filesystem::path winter() const { return folder / "tempw.bmp"; }
    std::filesystem::path fall() const { return folder / "tempf.bmp"; }

    // The season's result: "tempw.bmp" for winter, "tempf.bmp" for fall.
    std::filesystem::path seasonFile(Season s) const;
};

} // namespace season
