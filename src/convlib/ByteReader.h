// Bounds-checked little-endian reads from the bytes of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kovar {

// The little-endian numbers at p, unchecked: for loops over bytes whose bounds were checked
// before.
inline std::uint16_t loadLe16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t loadLe32(const std::uint8_t *p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

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
