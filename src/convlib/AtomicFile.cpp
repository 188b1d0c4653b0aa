// An output file that replaces its target only when it is complete: the one writer of every
// file the program writes.
#include "convlib/AtomicFile.h"

#include "convlib/Error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovar {

namespace {

const std::string_view kPrefix = ".kovar-";
const std::string_view kSuffix = ".tmp";

// Starts at a random number, so that writers with the same PID (in other PID namespaces, or on
// other hosts sharing the folder) rarely try the same name; O_EXCL settles the rest.
std::uint64_t nextSerial()
{
    static std::atomic<std::uint64_t> counter = [] {
        std::uint32_t start = 0;
        if (::getrandom(&start, sizeof start, GRND_NONBLOCK) != sizeof start)
            start = std::uint32_t(std::time(nullptr)) ^ std::uint32_t(::getpid());
        return std::uint64_t(start);
    }();
    return counter.fetch_add(1);
}

bool isDigits(std::string_view text, std::size_t longest)
{
    return !text.empty() && text.size() <= longest &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A write lock held by a writer, a read lock by commitBoth() on the backup it keeps: either
// keeps a clean-up's write lock out.
bool lockFile(int fd, short type, bool wait)
{
    struct flock lock
    {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET; // l_start and l_len 0: the whole file
    while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Whether `path` still names the file open as `fd`.
bool namesOpenFile(const std::string &path, int fd)
{
    struct stat named
    {};
    struct stat open
    {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// Throws naming `named` (the folder, or the file whose rename is flushed).
void flushFolderNaming(const std::string &folder, const std::string &named, const char *opening,
                       const char *flushing)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw Error(KOVAR_ERROR_WRITE, named + ": " + opening + ": " + std::strerror(errno));
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        throw Error(KOVAR_ERROR_WRITE, named + ": " + flushing + ": " + std::strerror(error));
    }
    ::close(fd);
}

} // namespace

std::string temporaryNameBeside(const std::string &target)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    return folder + std::string(kPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(nextSerial()) + std::string(kSuffix);
}

bool isTemporaryName(std::string_view name)
{
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix))
        return false;
    name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const std::size_t dash = name.find('-');
    return dash != std::string_view::npos && isDigits(name.substr(0, dash), 10) &&
           isDigits(name.substr(dash + 1), 20);
}

bool removeIfStaleTemporary(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (!isTemporaryName(slash == std::string::npos ? path : path.substr(slash + 1)))
        return false;
    // Looked at before it is opened: opening a device or a FIFO may do something.
    struct stat status
    {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid())
        return false;
    // Opened for writing, which a write lock needs; nothing is written.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Removed while locked, so that its writer, should it have created it just now and not yet
    // locked it, finds it gone once it has the lock and begins again under a new name.
    const bool removed = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                         status.st_uid == ::geteuid() && lockFile(fd, F_WRLCK, false) &&
                         namesOpenFile(path, fd) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

void flushFolder(const std::string &folder)
{
    flushFolderNaming(folder, folder, "cannot open the folder to flush it",
                      "cannot flush the folder");
}

AtomicFile::AtomicFile(std::string target, Flush flush) : target_(std::move(target)), flush_(flush)
{
    for (unsigned attempt = 0; fd_ < 0; ++attempt) {
        temporary_ = temporaryNameBeside(target_);
        // 0666 less the umask: the permissions a plain new file gets.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int error = errno;
            temporary_.clear();
            if (error != EEXIST || attempt == 100)
                fail("cannot create a temporary file beside it", error);
            continue;
        }
        // A file system without locks leaves the file unlocked; a clean-up there cannot lock
        // it either, and keeps it.
        lockFile(fd_, F_WRLCK, true);
        if (!namesOpenFile(temporary_, fd_) && attempt < 100) {
            // A clean-up took it between the creation and the lock.
            ::close(std::exchange(fd_, -1));
            temporary_.clear();
        }
    }
}

AtomicFile::AtomicFile(std::string target, std::span<const std::uint8_t> bytes, Flush flush)
    : AtomicFile(std::move(target), flush)
{
    write(bytes);
    finish();
}

AtomicFile::~AtomicFile()
{
    discard();
}

AtomicFile::AtomicFile(AtomicFile &&other) noexcept
    : target_(std::move(other.target_)), temporary_(std::exchange(other.temporary_, {})),
      fd_(std::exchange(other.fd_, -1)), flush_(other.flush_), finished_(other.finished_)
{}

AtomicFile &AtomicFile::operator=(AtomicFile &&other) noexcept
{
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, {});
        fd_ = std::exchange(other.fd_, -1);
        flush_ = other.flush_;
        finished_ = other.finished_;
    }
    return *this;
}

void AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0)
        fail("cannot write", EBADF);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            discard();
            fail("cannot write", error);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
}

void AtomicFile::finish()
{
    if (finished_ || fd_ < 0)
        return;
    finished_ = true;
    if (flush_ == Flush::Inline && ::fdatasync(fd_) != 0) {
        const int error = errno;
        discard();
        fail("cannot write", error);
    }
    // Only a hint: a failure here shows again, and is reported, at the fdatasync of commit().
    if (flush_ == Flush::Grouped)
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
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
    if (fd_ < 0)
        fail("cannot replace it", "nothing written to replace it with");
    checkReplaceable();
    finish();
    const bool waitForData = flush_ == Flush::Grouped || flush_ == Flush::GroupedNoKick;
    if (waitForData && ::fdatasync(fd_) != 0) {
        const int error = errno;
        discard();
        fail("cannot write", error);
    }
    // Closing reports the write errors some file systems (NFS) hold back until then; a second
    // descriptor of the same open file keeps it locked until it has its new name. Without one
    // (no descriptor left) the file goes unlocked for the rename: a clean-up that takes it
    // just then makes the rename fail, rather than a late write error go unseen.
    const int held = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (::close(std::exchange(fd_, held)) != 0) {
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
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    // The rename lives in the folder: the file survives a crash only once the folder's entries
    // are on the disk too.
    if (flush_ == Flush::Inline)
        flushFolderNaming(folderOf(target_), target_, "cannot open its folder to flush the rename",
                          "cannot flush its folder after the rename");
}

void AtomicFile::commitBoth(AtomicFile &first, AtomicFile &second)
{
    // Checked first, so that the usual failures change nothing at all.
    first.checkReplaceable();
    second.checkReplaceable();
    // A second name for the first target's old file, to put back should the second rename
    // fail. Where the file system has no hard links the check above has to do. The old file is
    // locked before it gets the temporary name, so that no clean-up takes that name away.
    struct stat status
    {};
    const bool existed = ::lstat(first.target_.c_str(), &status) == 0;
    int held = -1;
    std::string backup;
    if (existed) {
        held = ::open(first.target_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (held >= 0)
            lockFile(held, F_RDLCK, false);
    }
    for (unsigned attempt = 0; existed && attempt < 100 && backup.empty(); ++attempt) {
        const std::string name = temporaryNameBeside(first.target_);
        if (::link(first.target_.c_str(), name.c_str()) == 0)
            backup = name;
        else if (errno != EEXIST)
            break;
    }
    auto release = [&] {
        if (!backup.empty())
            ::unlink(backup.c_str());
        if (held >= 0)
            ::close(held);
    };
    try {
        first.commit();
    } catch (...) {
        release();
        throw;
    }
    try {
        second.commit();
    } catch (...) {
        if (!backup.empty() && std::rename(backup.c_str(), first.target_.c_str()) == 0)
            backup.clear();
        else if (!existed)
            ::unlink(first.target_.c_str());
        release();
        throw;
    }
    release();
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
    finished_ = false;
}

} // namespace kovar
