// The name of a season texture made from a summer texture's name.
#include "season/SeasonNaming.h"

#include "platform/Error.h"

#include <cstddef>

namespace season {

namespace {

// Length in bytes of the character starting at `i`: a well-formed UTF-8 sequence counts as
// one character, any other byte as a character of its own.
std::size_t characterLength(const std::string &text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (i + length > text.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace

std::string seasonOutputName(const std::string &name, Season season, bool createSU)
{
    if (createSU)
        return name;

    // Byte offsets of characters 16 and 17 (indices 15 and 16) and of what follows them.
    std::size_t start = 0;
    std::size_t index = 0;
    std::size_t at = 0;
    for (; at < name.size() && index < 17; ++index) {
        if (index == 15)
            start = at;
        at += characterLength(name, at);
    }
    if (index < 17)
        throw platform::Error("Cannot name the season texture for \"" + name +
                              "\": the name has fewer than 17 characters");

    std::string result = name;
    result.replace(start, at - start, seasonCode(season));
    return result;
}

} // namespace season
