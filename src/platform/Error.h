// Error type of the whole program: a failure that reaches the user.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// The message names the file or value and the reason; the one error handler shows it.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace platform
