// The output file of a pass: rewritten in place, removed again if the pass fails.
#include "season/ResultFile.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace season {

ResultFile::ResultFile(std::filesystem::path destination) : m_destination(std::move(destination))
{
    const auto refuse = [this](const std::string &reason) {
        throw platform::Error("Cannot write \"" + m_destination.string() + "\": " + reason);
    };
    // A link (symbolic, or a second name of a file) is replaced by a file of its own, never
    // written through: the file it leads to stays as it is. Anything else that is not a plain
    // file (a device, a pipe, a folder) is refused untouched.
    struct stat info;
    if (::lstat(m_destination.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink > 1)) {
            if (::unlink(m_destination.c_str()) != 0)
                refuse(std::strerror(errno));
        } else if (!S_ISREG(info.st_mode)) {
            refuse("not a plain file");
        }
    }
    // O_NOFOLLOW and O_NONBLOCK: a link or a pipe put there since the check is refused rather
    // than followed or waited on.
    m_fd = ::open(m_destination.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                  0666);
    if (m_fd < 0)
        refuse(std::strerror(errno));
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        refuse("not a plain file");
    }
}

ResultFile::~ResultFile()
{
    discard();
}

void ResultFile::write(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        m_written += static_cast<std::size_t>(written);
    }
}

void ResultFile::commit()
{
    if (::ftruncate(m_fd, static_cast<off_t>(m_written)) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(m_destination.c_str());
        fail(error);
    }
}

void ResultFile::fail(int error)
{
    discard();
    throw platform::Error("Cannot write \"" + m_destination.string() +
                          "\": " + std::strerror(error));
}

void ResultFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_destination.c_str());
    }
}

} // namespace season
