// The four-colour fit of opaque DXT1 blocks for processors with AVX2, chosen at run time. Only
// the functions of DxtFitKernel.inc and DxtFitSearch.inc are compiled for AVX2 (no fused
// multiply-add, so that they compute what the baseline version does); every header is included
// before the switch.
#include "convlib/DxtFourColourFit.h"

#include <cstdint>

#include <immintrin.h>

namespace kovar::dxtblock {

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#define DXT_FIT_ENTRY fitOpaqueAvx2
#define DXT_FIT_REGISTER __m256i
#define DXT_FIT_MADD _mm256_madd_epi16
#define DXT_FIT_VECTOR_BYTES 32
#include "convlib/DxtFitKernel.inc"
#include "convlib/DxtFitSearch.inc"
#undef DXT_FIT_ENTRY
#undef DXT_FIT_VECTOR_BYTES
#undef DXT_FIT_REGISTER
#undef DXT_FIT_MADD

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

} // namespace kovar::dxtblock
