// Outputs that replace their file whole and, once committed and their folder flushed, survive
// a crash.
#include "texset/DurableOutput.h"

#include "platform/Error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace texset {

namespace {

std::filesystem::path temporaryBeside(const std::filesystem::path &target)
{
    static std::atomic<unsigned> counter{0};
    return target.parent_path() / (".kovar-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(counter.fetch_add(1)) + ".tmp");
}

[[noreturn]] void fail(const std::filesystem::path &file, const char *action, int error)
{
    throw platform::Error(file.string() + ": " + action + ": " + std::strerror(error));
}

} // namespace

PendingOutput::PendingOutput(const std::filesystem::path &target,
                             std::span<const std::uint8_t> bytes, Flush flush)
    : m_target(target), m_flush(flush)
{
    for (unsigned attempt = 0; m_fd < 0; ++attempt) {
        m_temporary = temporaryBeside(target);
        // 0666 less the umask: the permissions a plain new file gets.
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            m_temporary.clear();
            fail(target, "cannot create a temporary file beside it", error);
        }
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            discard();
            fail(target, "cannot write", error);
        }
        bytes = bytes.subspan(std::size_t(written));
    }
    if (flush == Flush::Inline && ::fdatasync(m_fd) != 0) {
        const int error = errno;
        discard();
        fail(target, "cannot write", error);
    }
    // Only a hint: a failure here shows again, and is reported, at the fdatasync of commit().
    if (flush == Flush::Grouped)
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

PendingOutput::~PendingOutput()
{
    discard();
}

PendingOutput::PendingOutput(PendingOutput &&other) noexcept
    : m_target(std::move(other.m_target)), m_temporary(std::move(other.m_temporary)),
      m_fd(std::exchange(other.m_fd, -1)), m_flush(other.m_flush)
{
    other.m_temporary.clear();
}

PendingOutput &PendingOutput::operator=(PendingOutput &&other) noexcept
{
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_temporary = std::move(other.m_temporary);
        other.m_temporary.clear();
        m_fd = std::exchange(other.m_fd, -1);
        m_flush = other.m_flush;
    }
    return *this;
}

void PendingOutput::commit()
{
    const bool waitForData = m_flush == Flush::Grouped || m_flush == Flush::GroupedNoKick;
    if ((waitForData && ::fdatasync(m_fd) != 0) || ::close(std::exchange(m_fd, -1)) != 0) {
        const int error = errno;
        discard();
        fail(m_target, "cannot write", error);
    }
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        discard();
        fail(m_target, "cannot replace it", error);
    }
    m_temporary.clear();
}

void PendingOutput::discard()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

void flushFolder(const std::filesystem::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(folder, "cannot open the folder to flush it", errno);
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        fail(folder, "cannot flush the folder", error);
    }
    ::close(fd);
}

} // namespace texset
