// The conversion library calls around the passes: texture to working files and back.
#include "season/ConversionSteps.h"

#include "convlib/kovar.h"
#include "platform/Error.h"

#include <array>
#include <string>

namespace season {

namespace {

// Each call gets a fresh zero-filled buffer, so a message in it is this call's own.
using ConversionBuffer = std::array<char, KOVAR_MESSAGE_SIZE>;

// Throws unless the call succeeded. The library's message names the file and the reason;
// should it leave none, the message names the file the step was working on.
void check(int status, ConversionBuffer &buffer, const char *step,
           const std::filesystem::path &file)
{
    if (status == 0)
        return;
    buffer.back() = '\0';
    std::string message(buffer.data());
    if (message.empty())
        message =
            std::string(step) + " failed on \"" + file.string() + "\": " + KovarStatusText(status);
    throw platform::Error(message);
}

} // namespace

void convertToWorkingFiles(const WorkingFiles &work, const std::filesystem::path &texture)
{
    ConversionBuffer buffer{};
    check(TargaFromExtendedBitmap(work.targa().c_str(), texture.c_str(), buffer.data()), buffer,
          "TargaFromExtendedBitmap", texture);
    buffer.fill('\0');
    check(TargaSplit(work.targa().c_str(), work.colour().c_str(), work.alpha().c_str(),
                     buffer.data()),
          buffer, "TargaSplit", work.targa());
}

void writeSeasonTexture(const WorkingFiles &work, Season season,
                        const std::filesystem::path &output)
{
    ConversionBuffer buffer{};
    check(TargaJoin(work.targa().c_str(), work.seasonFile(season).c_str(), work.alpha().c_str(),
                    buffer.data()),
          buffer, "TargaJoin", work.seasonFile(season));
    buffer.fill('\0');
    check(TargaToExtendedBitmap(work.targa().c_str(), output.c_str(), buffer.data(),
                                KOVAR_FORMAT_DXT1_MIPMAPPED),
          buffer, "TargaToExtendedBitmap", output);
}

void raiseNamingTexture(const std::filesystem::path &texture, const platform::Error &error)
{
    const std::string message = error.what();
    if (message.find(texture.string()) != std::string::npos)
        throw error;
    throw platform::Error(texture.string() + ": " + message);
}

} // namespace season
