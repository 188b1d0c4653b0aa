// The maker's ten support libraries that the About dialog reports, with their descriptions.
#pragma once

#include <QString>

#include <array>

namespace about {

struct SupportLibrary
{
    QString fileName;
    // The file name, an empty line, then one or two lines of text.
    QString description;
};

// In the order in which the dialog adds them.
const std::array<SupportLibrary, 10> &supportLibraries();

} // namespace about
