// Bounds-checked little-endian reads from the bytes of a file: the one reader of the library's
// formats and of the program's other binary files (shortcuts, version resources). Header-only,
// so code outside the library uses it without linking the library.
#pragma once

#include "convlib/Error.h"

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
// that is missing, so a truncated file never leads to a read past its end. Numbers are
// little-endian; a file that says it is big-endian (an ELF file) may ask for that instead.
class ByteReader
{
  public:
    enum class Order { LittleEndian, BigEndian };

    // `file` names the bytes in messages; empty leaves the name to the caller's message.
    ByteReader(std::span<const std::uint8_t> bytes, const std::string &file,
               Order order = Order::LittleEndian)
        : bytes_(bytes), file_(file), order_(order)
    {}

    std::size_t size() const { return bytes_.size(); }
    const std::string &file() const { return file_; }
    void setOrder(Order order) { order_ = order; }

    // Throws unless `length` bytes from `offset` lie inside; `what` names them in the message.
    void require(std::uint64_t offset, std::uint64_t length, const char *what) const
    {
        if (offset > bytes_.size() || length > bytes_.size() - offset) {
            throw Error(KOVAR_ERROR_FORMAT, (file_.empty() ? std::string() : file_ + ": ") +
                                                "file is truncated: " + what + " needs " +
                                                std::to_string(length) + " bytes from offset " +
                                                std::to_string(offset) + ", the file has " +
                                                std::to_string(bytes_.size()) + " bytes");
        }
    }

    // The `length` bytes from `offset`, checked as by require().
    std::span<const std::uint8_t> bytes(std::uint64_t offset, std::uint64_t length,
                                        const char *what) const
    {
        require(offset, length, what);
        return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

    std::uint8_t u8(std::uint64_t offset, const char *what) const
    {
        return bytes(offset, 1, what)[0];
    }
    std::uint16_t u16(std::uint64_t offset, const char *what) const
    {
        return static_cast<std::uint16_t>(number(offset, 2, what));
    }
    std::uint32_t u32(std::uint64_t offset, const char *what) const
    {
        return static_cast<std::uint32_t>(number(offset, 4, what));
    }
    std::uint64_t u64(std::uint64_t offset, const char *what) const
    {
        return number(offset, 8, what);
    }
    std::int32_t i32(std::uint64_t offset, const char *what) const
    {
        return static_cast<std::int32_t>(u32(offset, what));
    }

  private:
    std::uint64_t number(std::uint64_t offset, int width, const char *what) const
    {
        const std::span<const std::uint8_t> field = bytes(offset, width, what);
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const int at = order_ == Order::LittleEndian ? width - 1 - i : i;
            value = (value << 8) | field[at];
        }
        return value;
    }

    std::span<const std::uint8_t> bytes_;
    std::string file_;
    Order order_;
};

} // namespace kovar
