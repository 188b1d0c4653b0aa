// The output file of a pass: rewritten in place, removed again if the pass fails.
#pragma once

#include <cstddef>
#include <filesystem>

namespace season {

// Opens the destination for writing, creating it when missing. An existing file is
// overwritten in place and cut to the written length by commit(), rather than emptied first
// or replaced by a new file: on ext4 both of those start write-back of the whole file and
// cost more than the pass's own work. A ResultFile destroyed without commit() (a failed
// pass) removes the destination, so no half-written result is ever left to be used. A
// destination that is a link is replaced by a new file rather than written through.
// Failures throw platform::Error naming the destination and the reason.
class ResultFile
{
  public:
    explicit ResultFile(std::filesystem::path destination);
    ~ResultFile();
    ResultFile(const ResultFile &) = delete;
    ResultFile &operator=(const ResultFile &) = delete;

    void write(const void *data, std::size_t size);
    void commit();

  private:
    [[noreturn]] void fail(int error);
    void discard();

    std::filesystem::path m_destination;
    int m_fd = -1;
    std::size_t m_written = 0;
};

} // namespace season
