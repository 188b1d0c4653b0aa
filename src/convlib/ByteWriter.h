// Little-endian writes into a growing byte buffer, for file headers.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace kovar {

class ByteWriter
{
  public:
    explicit ByteWriter(std::size_t reserve = 0) { bytes_.reserve(reserve); }
    // Writes into `reuse`'s memory, emptied first.
    ByteWriter(std::vector<std::uint8_t> &&reuse, std::size_t reserve) : bytes_(std::move(reuse))
    {
        bytes_.clear();
        bytes_.reserve(reserve);
    }

    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    // Byte by byte: short header texts, and GCC 12 misreads a range insert into an empty
    // vector as an overflow.
    void text(std::string_view s)
    {
        for (const char c : s)
            u8(static_cast<std::uint8_t>(c));
    }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void append(const std::uint8_t *data, std::size_t count)
    {
        bytes_.insert(bytes_.end(), data, data + count);
    }

    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t> &bytes() { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace kovar
