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
    void commit();

  private:
    [[noreturn]] void fail(const std::string &action, int error) const;
    void discard();
    void flushFolder() const;

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool durable_ = false;
};

} // namespace kovar
