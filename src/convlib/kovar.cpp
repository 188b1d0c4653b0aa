// The library's C boundary: argument checks, status codes and messages; no exception leaves.
#include "convlib/kovar.h"

#include "convlib/Conversions.h"
#include "convlib/Error.h"

#include <cstring>
#include <new>
#include <string>

namespace {

// Copies the message into the caller's buffer, cut at KOVAR_MESSAGE_SIZE - 1 bytes without
// splitting a UTF-8 sequence.
void putMessage(char *buffer, const std::string &message) noexcept
{
    if (buffer == nullptr)
        return;
    std::size_t length = message.size();
    if (length > KOVAR_MESSAGE_SIZE - 1) {
        length = KOVAR_MESSAGE_SIZE - 1;
        while (length > 0 && (static_cast<unsigned char>(message[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(buffer, message.data(), length);
    buffer[length] = '\0';
}

struct PathArgument
{
    const char *value;
    const char *role; // names the argument in the message when it is missing
};

// Runs the conversion after checking its paths; turns every failure into a status and a
// message. `subject` is the file a failure without a file of its own is reported against.
template <std::size_t N, class F>
int run(char *buffer, const PathArgument (&paths)[N], const char *subject, F &&convert) noexcept
{
    try {
        for (const PathArgument &path : paths) {
            if (path.value == nullptr || *path.value == '\0') {
                putMessage(buffer, std::string("the ") + path.role + " path is " +
                                       (path.value == nullptr ? "missing" : "empty"));
                return KOVAR_ERROR_ARGUMENT;
            }
        }
        convert();
        putMessage(buffer, "");
        return KOVAR_OK;
    } catch (const kovar::Error &error) {
        putMessage(buffer, error.what());
        return error.status();
    } catch (const std::bad_alloc &) {
        putMessage(buffer, std::string(subject) + ": not enough memory to convert it");
        return KOVAR_ERROR_MEMORY;
    } catch (const std::exception &error) {
        putMessage(buffer, std::string(subject) + ": internal error: " + error.what());
        return KOVAR_ERROR_INTERNAL;
    } catch (...) {
        putMessage(buffer, std::string(subject) + ": internal error");
        return KOVAR_ERROR_INTERNAL;
    }
}

} // namespace

extern "C" {

int TargaFromExtendedBitmap(const char *tga, const char *source, char *buffer)
{
    return run(buffer, {{tga, "Targa"}, {source, "source texture"}}, source,
               [&] { kovar::targaFromExtendedBitmap(tga, source); });
}

int TargaSplit(const char *tga, const char *colourBmp, const char *alphaBmp, char *buffer)
{
    return run(buffer, {{tga, "Targa"}, {colourBmp, "colour bitmap"}, {alphaBmp, "alpha bitmap"}},
               tga, [&] { kovar::targaSplit(tga, colourBmp, alphaBmp); });
}

int TargaJoin(const char *tga, const char *colourBmp, const char *alphaBmp, char *buffer)
{
    return run(buffer, {{tga, "Targa"}, {colourBmp, "colour bitmap"}, {alphaBmp, "alpha bitmap"}},
               tga, [&] { kovar::targaJoin(tga, colourBmp, alphaBmp); });
}

int TargaToExtendedBitmap(const char *tga, const char *output, char *buffer, int format)
{
    return run(buffer, {{tga, "Targa"}, {output, "output texture"}}, output,
               [&] { kovar::targaToExtendedBitmap(tga, output, format); });
}

const char *KovarStatusText(int status)
{
    switch (status) {
    case KOVAR_OK:
        return "success";
    case KOVAR_ERROR_ARGUMENT:
        return "invalid argument";
    case KOVAR_ERROR_OPEN:
        return "cannot read an input file";
    case KOVAR_ERROR_FORMAT:
        return "file is malformed";
    case KOVAR_ERROR_UNSUPPORTED:
        return "file form is not supported";
    case KOVAR_ERROR_DIMENSIONS:
        return "image size is out of range or does not match";
    case KOVAR_ERROR_WRITE:
        return "cannot write an output file";
    case KOVAR_ERROR_MEMORY:
        return "not enough memory";
    case KOVAR_ERROR_INTERNAL:
        return "internal error";
    default:
        return "unknown status";
    }
}

const char *KovarVersion(void)
{
    return KOVAR_VERSION;
}

} // extern "C"
