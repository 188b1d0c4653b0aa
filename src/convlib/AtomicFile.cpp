// An output file that replaces its target only when it is complete.
#include "convlib/AtomicFile.h"

#include "convlib/Error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovar {

namespace {

// A hidden name in the target's folder, so the rename stays on one file system; independent of
// the target's own name so that a long name cannot make it too long.
std::string temporaryName(const std::string &target)
{
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    return folder + ".kovar-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

} // namespace

AtomicFile::AtomicFile(std::string target, bool durable)
    : target_(std::move(target)), durable_(durable)
{
    for (unsigned attempt = 0; fd_ < 0; ++attempt) {
        temporary_ = temporaryName(target_);
        // 0666 less the umask: the permissions a plain new file gets.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100))
            fail("cannot create a temporary file beside it", errno);
    }
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            discard();
            fail("cannot write", error);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void AtomicFile::checkReplaceable()
{
    struct stat status
    {};
    if (::lstat(target_.c_str(), &status) != 0 || S_ISREG(status.st_mode) ||
        S_ISLNK(status.st_mode))
        return;
    discard();
    if (S_ISDIR(status.st_mode))
        fail("cannot replace it", EISDIR);
    fail("cannot replace it", "not a regular file");
}

void AtomicFile::commit()
{
    checkReplaceable();
    if ((durable_ && ::fsync(fd_) != 0) || ::close(std::exchange(fd_, -1)) != 0) {
        const int error = errno;
        discard();
        fail("cannot write", error);
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        discard();
        fail("cannot replace it", error);
    }
    temporary_.clear();
    // The rename lives in the folder: a durable file survives a crash only once the folder's
    // entries are on the disk too.
    if (durable_)
        flushFolder();
}

void AtomicFile::flushFolder() const
{
    const std::size_t slash = target_.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target_.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open its folder to flush the rename", errno);
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        fail("cannot flush its folder after the rename", error);
    }
    ::close(fd);
}

void AtomicFile::commitBoth(AtomicFile &first, AtomicFile &second)
{
    // Checked first, so that the usual failures change nothing at all.
    first.checkReplaceable();
    second.checkReplaceable();
    // A second name for the first target's old file, to put back should the second rename
    // fail. Where the file system has no hard links the check above has to do.
    struct stat status
    {};
    const bool existed = ::lstat(first.target_.c_str(), &status) == 0;
    std::string backup;
    for (unsigned attempt = 0; existed && attempt < 100 && backup.empty(); ++attempt) {
        const std::string name = temporaryName(first.target_);
        if (::link(first.target_.c_str(), name.c_str()) == 0)
            backup = name;
        else if (errno != EEXIST)
            break;
    }
    try {
        first.commit();
    } catch (...) {
        if (!backup.empty())
            ::unlink(backup.c_str());
        throw;
    }
    try {
        second.commit();
    } catch (...) {
        if (!backup.empty())
            std::rename(backup.c_str(), first.target_.c_str());
        else if (!existed)
            ::unlink(first.target_.c_str());
        throw;
    }
    if (!backup.empty())
        ::unlink(backup.c_str());
}

void AtomicFile::fail(const std::string &action, int error) const
{
    throw Error(KOVAR_ERROR_WRITE, target_ + ": " + action + ": " + std::strerror(error));
}

void AtomicFile::fail(const std::string &action, const std::string &reason) const
{
    throw Error(KOVAR_ERROR_WRITE, target_ + ": " + action + ": " + reason);
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace kovar
