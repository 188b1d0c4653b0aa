// The four-colour fit of opaque DXT1 blocks for processors with AVX-512 (F, BW, DQ, VL), chosen at
// run time. Only the functions of DxtFitKernel.inc and DxtFitSearch.inc are compiled for AVX-512
// (no fused multiply-add, so that they compute what the baseline version does); every header is
// included before the switch.
#include "convlib/DxtFourColourFit.h"

#include <cstdint>

#include <immintrin.h>

namespace kovar::dxtblock {

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl"))),   \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl")
#endif

#define DXT_FIT_ENTRY fitOpaqueAvx512
#define DXT_FIT_REGISTER __m512i
#define DXT_FIT_MADD _mm512_madd_epi16
#define DXT_FIT_VECTOR_BYTES 64
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
