// An output file that replaces its target only when it is complete: the one writer of every
// file the program writes.
//
// An output is written to a hidden temporary file beside its target (".kovar-PID-N.tmp", so
// the rename stays on one file system), then renamed over the target. While it is open, its
// writer holds an open-file-description lock (fcntl F_OFD_SETLK) on the temporary file; a
// temporary that nobody holds locked was left by a writer that ended without renaming it (a
// run killed mid-write), whatever process, host or container it came from. PIDs are not
// compared: they mean nothing across PID namespaces or hosts sharing a folder. OFD locks rather
// than flock: both belong to the open file, not to the process (classic fcntl locks would be
// dropped when any thread closes any descriptor of the file), but OFD locks are ordinary
// byte-range locks, which NFS and SMB take to the server like any other, so a writer on
// another host holds them there too (flock is emulated that way over NFS but stays host-local
// on some other file systems). Over NFS that needs the lock service (built into NFSv4; lockd
// for NFSv3); a mount with "nolock" or "local_lock=all" keeps locks on each host.
//
// Durability needs three things on the disk: the file's data, the rename, and the folder entry
// the rename changed. The flush modes put them there at different costs:
//
//   None             no flush: a crash may lose an output already renamed.
//   Inline           the data flushed (fdatasync) when the writing is finished, by the thread
//                    that wrote it; after the rename, the folder flushed by commit().
//   Grouped          write-back started as soon as the writing is finished (sync_file_range),
//                    so the disk works while the caller goes on; commit() waits for the data
//                    (fdatasync, by then mostly done) and renames; the caller flushes the
//                    folder (flushFolder) once for a group of outputs.
//   GroupedNoKick    as Grouped, without starting write-back early.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kovar {

enum class Flush { None, Inline, Grouped, GroupedNoKick };

// Failures throw Error (KOVAR_ERROR_WRITE) naming the target and the reason; the temporary
// file is then removed and the target stays as it was. Destroyed without commit(), it removes
// the temporary file too.
class AtomicFile
{
  public:
    AtomicFile() = default; // holds nothing
    explicit AtomicFile(std::string target, Flush flush = Flush::None);
    // Writes `bytes` and finishes: the whole output in one call.
    AtomicFile(std::string target, std::span<const std::uint8_t> bytes, Flush flush);
    ~AtomicFile();

    AtomicFile(AtomicFile &&other) noexcept;
    AtomicFile &operator=(AtomicFile &&other) noexcept;
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool empty() const { return fd_ < 0; }
    const std::string &target() const { return target_; }

    void write(std::span<const std::uint8_t> bytes);
    // The writing is done: Inline flushes the data now, Grouped starts its write-back.
    // commit() does it when it has not been done.
    void finish();
    // Replaces the target. A link is replaced itself (not the file it points to); a target
    // that exists as a folder, a FIFO, a device or a socket is refused, leaving it as it is,
    // since a rename would refuse it or silently replace it.
    void commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

    // Commits both files or neither: when the second cannot replace its target, the first
    // target gets back what it held before.
    static void commitBoth(AtomicFile &first, AtomicFile &second);

  private:
    [[noreturn]] void fail(const std::string &action, int error) const;
    [[noreturn]] void fail(const std::string &action, const std::string &reason) const;
    void checkReplaceable();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    Flush flush_ = Flush::None;
    bool finished_ = false;
};

// Flushes the folder's entries to disk, so the renames made in it survive a crash. Throws
// Error (KOVAR_ERROR_WRITE) naming the folder.
void flushFolder(const std::string &folder);

// A new temporary name ("/folder/.kovar-PID-N.tmp") beside `target`: hidden, in the target's
// folder, and independent of the target's own name so that a long name cannot make it too long.
std::string temporaryNameBeside(const std::string &target);
// Whether a file name (without its folder) is one temporaryNameBeside() makes.
bool isTemporaryName(std::string_view name);

// Removes the file at `path` when it is a temporary that no live writer holds: a regular file
// of this user, named as temporaryNameBeside() names them, not locked. Anything else, or a file
// whose state cannot be told, stays. Returns whether it was removed.
bool removeIfStaleTemporary(const std::string &path);

} // namespace kovar
