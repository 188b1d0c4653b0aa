// Bounds-checked little-endian reads from the bytes of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kovar {

// Every read outside the bytes throws Error (KOVAR_ERROR_FORMAT) naming the file and the part
// that is missing, so a truncated file never leads to a read past its end.
class ByteReader
{
  public:
    ByteReader(std::span<const std::uint8_t> bytes, const std::string &file)
        : bytes_(bytes), file_(file)
    {}

    std::size_t size() const { return bytes_.size(); }
    const std::string &file() const { return file_; }

    // Throws unless `length` bytes from `offset` lie inside; `what` names them in the message.
    void require(std::uint64_t offset, std::uint64_t length, const char *what) const;

    // The `length` bytes from `offset`, checked as by require().
    std::span<const std::uint8_t> bytes(std::uint64_t offset, std::uint64_t length,
                                        const char *what) const;

    std::uint8_t u8(std::uint64_t offset, const char *what) const;
    std::uint16_t u16(std::uint64_t offset, const char *what) const;
    std::uint32_t u32(std::uint64_t offset, const char *what) const;
    std::int32_t i32(std::uint64_t offset, const char *what) const;

  private:
    std::span<const std::uint8_t> bytes_;
    std::string file_;
};

} // namespace kovar
