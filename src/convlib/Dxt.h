// DXT (S3TC) block compression: decoding DXT1/3/5 surfaces and encoding DXT1 with 1-bit alpha.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kovar {

enum class DxtFormat { Dxt1, Dxt3, Dxt5 };

// Bytes of one DXT surface: max(1, ceil(w/4)) * max(1, ceil(h/4)) blocks of 8 bytes (DXT1) or
// 16 bytes (DXT3, DXT5).
std::size_t dxtSurfaceSize(DxtFormat f, std::uint32_t width, std::uint32_t height);

// Decodes an ordinary top-down block surface of dxtSurfaceSize(f, width, height) bytes into
// rgba (width * height * 4 bytes, R,G,B,A, rows top-down). DXT1 texels of the transparent
// index decode as (0, 0, 0, 0).
void decodeDxt(DxtFormat f, const std::uint8_t *blocks, std::uint32_t width, std::uint32_t height,
               std::uint8_t *rgba);

// Encodes rgba (width * height * 4 bytes, R,G,B,A, rows top-down) as DXT1 with 1-bit alpha into
// blocks (dxtSurfaceSize(Dxt1, width, height) bytes). A texel with alpha < 128 is transparent
// and gets the transparent index of a three-colour block; every other texel is opaque and never
// gets it. Blocks without transparent texels use four-colour mode (colour0 > colour1), or, when
// both colours encode equal, index 0 for every texel. Any width and height >= 1 is accepted.
void encodeDxt1(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                std::uint8_t *blocks);

// How hard the DXT1 encoder searches. Fast is the default of every call that names no level;
// Better spends several times as long per block for a lower error.
enum class DxtLevel { Fast, Better };

// As above, at the given level.
void encodeDxt1(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                std::uint8_t *blocks, DxtLevel level);

// As above, for the image turned upside down: the blocks of the image whose first row is the
// last row of `rgba`, as bitmaps store their rows bottom-up. Reads the rows in place; no
// flipped copy is made.
void encodeDxt1BottomUp(const std::uint8_t *rgba, std::uint32_t width, std::uint32_t height,
                        std::uint8_t *blocks, DxtLevel level);

// The instruction set the encoder runs on ("AVX-512", "AVX2" or "SSE2"): the best this processor
// has, or a lesser one that the environment variable TESSAVANE_SIMD ("sse2", "avx2", "avx512")
// asks for. Every instruction set gives the same bytes.
const char *dxtInstructionSet();

// How many threads one encodeDxt1 call may spread its blocks over; the call still returns only
// when all are done. 0, the default, means OMP_NUM_THREADS when that is set, else one per
// hardware thread, both read once, by the first call that needs them; 1 keeps all work on the
// calling thread. Applies to every later call.
void setDxtEncodeThreads(unsigned count);

} // namespace kovar
