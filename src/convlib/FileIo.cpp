// Whole-file reading and atomic whole-file writing.
#include "convlib/FileIo.h"

#include "convlib/AtomicFile.h"
#include "convlib/Error.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovar {

namespace {

// Closes the descriptor when reading ends, however it ends.
class Descriptor
{
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

[[noreturn]] void failToRead(const std::string &path, const char *action, int error)
{
    throw Error(KOVAR_ERROR_OPEN, path + ": " + action + ": " + std::strerror(error));
}

} // namespace

std::vector<std::uint8_t> readFileBytes(const std::string &path)
{
    // Anything but a regular file (a FIFO, a device, a folder) is refused before it is opened:
    // opening a FIFO waits for a writer that may never come. O_NONBLOCK keeps a file swapped
    // for one between the check and the open from blocking; it has no effect on regular files.
    struct stat status
    {};
    if (::stat(path.c_str(), &status) != 0)
        failToRead(path, "cannot open for reading", errno);
    if (!S_ISREG(status.st_mode))
        throw Error(KOVAR_ERROR_OPEN, path + ": not a regular file");
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        failToRead(path, "cannot open for reading", errno);
    if (::fstat(file.get(), &status) != 0)
        failToRead(path, "cannot read", errno);
    if (!S_ISREG(status.st_mode))
        throw Error(KOVAR_ERROR_OPEN, path + ": not a regular file");
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > kMaxInputBytes) {
        throw Error(KOVAR_ERROR_OPEN, path + ": file is too large (" + std::to_string(size) +
                                          " bytes; at most " + std::to_string(kMaxInputBytes) +
                                          " are read)");
    }

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failToRead(path, "cannot read", errno);
        if (got == 0)
            break; // the file shrank while it was read: the decoders see it as truncated
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

void writeFileAtomically(const std::string &path, std::span<const std::uint8_t> bytes, bool durable)
{
    AtomicFile file(path, durable ? Flush::Inline : Flush::None);
    file.write(bytes);
    file.commit();
}

} // namespace kovar
