// An output file that replaces its target only when it is complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kovar {

// Writes to a new temporary file in the target's folder; commit() renames it over the target,
// after flushing it to disk, and flushes the folder after the rename, when the file is asked to
// be durable (the finished textures; not the scratch files every preview rewrites, where a flush
// would cost more than the work). Destroyed without commit(), it removes the temporary file and
// the target stays as it was. Failures throw Error (KOVAR_ERROR_WRITE) naming the target.
class AtomicFile
{
  public:
    explicit AtomicFile(std::string target, bool durable = false);
    ~AtomicFile();

    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(std::span<const std::uint8_t> bytes);
    // Fails, leaving the target as it is, when the target exists as something other than a
    // regular file or a link (a folder, a FIFO, a device), which a rename would either refuse
    // or silently replace.
    void commit();

    // Commits both files or neither: when the second cannot replace its target, the first
    // target gets back what it held before.
    static void commitBoth(AtomicFile &first, AtomicFile &second);

  private:
    [[noreturn]] void fail(const std::string &action, int error) const;
    [[noreturn]] void fail(const std::string &action, const std::string &reason) const;
    void checkReplaceable();
    void discard();
    void flushFolder() const;

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool durable_ = false;
};

} // namespace kovar
