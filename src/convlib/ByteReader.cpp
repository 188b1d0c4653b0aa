// Bounds-checked little-endian reads from the bytes of a file.
#include "convlib/ByteReader.h"

#include "convlib/Error.h"

namespace kovar {

void ByteReader::require(std::uint64_t offset, std::uint64_t length, const char *what) const
{
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
        throw Error(KOVAR_ERROR_FORMAT, file_ + ": file is truncated: " + what + " needs " +
                                            std::to_string(length) + " bytes from offset " +
                                            std::to_string(offset) + ", the file has " +
                                            std::to_string(bytes_.size()) + " bytes");
    }
}

std::span<const std::uint8_t> ByteReader::bytes(std::uint64_t offset, std::uint64_t length,
                                                const char *what) const
{
    require(offset, length, what);
    return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
}

std::uint8_t ByteReader::u8(std::uint64_t offset, const char *what) const
{
    return bytes(offset, 1, what)[0];
}

std::uint16_t ByteReader::u16(std::uint64_t offset, const char *what) const
{
    return loadLe16(bytes(offset, 2, what).data());
}

std::uint32_t ByteReader::u32(std::uint64_t offset, const char *what) const
{
    return loadLe32(bytes(offset, 4, what).data());
}

std::int32_t ByteReader::i32(std::uint64_t offset, const char *what) const
{
    return static_cast<std::int32_t>(u32(offset, what));
}

} // namespace kovar
