// The one place where failures are shown to the user.
//
// Code that runs inside an event (a control's own mouse or key handling, a slot) catches
// with guarded(), which passes the exception here. The application installs a handler
// that shows a message box; tests install one that records the message.
#pragma once

#include <exception>
#include <functional>

namespace platform {

using ErrorHandler = std::function<void(const std::exception &)>;

// Installs the handler and returns the previous one.
ErrorHandler setErrorHandler(ErrorHandler handler);

// Passes the exception to the handler (without one, prints it to standard error).
void reportError(const std::exception &error);

// Runs f; an exception it throws is reported. Returns whether f ran to its end.
template <class F>
bool guarded(F &&f)
{
    try {
        f();
        return true;
    } catch (const std::exception &error) {
        reportError(error);
        return false;
    }
}

} // namespace platform
