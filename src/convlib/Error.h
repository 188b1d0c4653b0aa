// Failure inside the conversion library: a status code and a message naming the file.
#pragma once

#include "convlib/kovar.h"

#include <stdexcept>
#include <string>

namespace kovar {

// Thrown by every part of the library; the C calls turn it into their result and message.
class Error : public std::runtime_error
{
  public:
    Error(KovarStatus status, const std::string &message)
        : std::runtime_error(message), status_(status)
    {}

    KovarStatus status() const { return status_; }

  private:
    KovarStatus status_;
};

} // namespace kovar
