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
    m_fd = ::open(m_destination.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        throw platform::Error("Cannot write \"" + m_destination.string() +
                              "\": " + std::strerror(errno));
    // Only a plain file is rewritten; anything else (a device, a pipe) is refused untouched.
    struct stat info;
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw platform::Error("Cannot write \"" + m_destination.string() + "\": not a plain file");
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
