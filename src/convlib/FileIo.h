// Whole-file reading and atomic whole-file writing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kovar {

// Largest input file read (an 8192 x 8192 32-bit texture with its mip chain is about 342 MiB).
inline constexpr std::uint64_t kMaxInputBytes = 512ull << 20;

// The bytes of the file. Throws Error (KOVAR_ERROR_OPEN) naming the file when it cannot be
// opened or read, is not a regular file, or is larger than kMaxInputBytes.
std::vector<std::uint8_t> readFileBytes(const std::string &path);

// Replaces the file with the bytes, or leaves it as it was and throws Error
// (KOVAR_ERROR_WRITE). A durable file is flushed to disk before it replaces the old one.
void writeFileAtomically(const std::string &path, std::span<const std::uint8_t> bytes,
                         bool durable = false);

} // namespace kovar
