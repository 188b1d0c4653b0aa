#include "ErrorSink.h"

#include <cstdio>
#include <utility>

namespace platform {

namespace {
ErrorHandler &currentHandler()
{
    static ErrorHandler handler;
    return handler;
}
} // namespace

ErrorHandler setErrorHandler(ErrorHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

void reportError(const std::exception &error)
{
    if (const ErrorHandler &handler = currentHandler())
        handler(error);
    else
        std::fprintf(stderr, "%s.\n", error.what());
}

} // namespace platform
