// The four-colour fit of opaque DXT1 blocks for every x86-64 processor (SSE2).
#include "convlib/DxtFourColourFit.h"

#include <cstdint>

#include <emmintrin.h>

namespace kovar::dxtblock {

#define DXT_FIT_ENTRY fitOpaqueBaseline
#define DXT_FIT_REGISTER __m128i
#define DXT_FIT_MADD _mm_madd_epi16
#define DXT_FIT_VECTOR_BYTES 16
#include "convlib/DxtFitKernel.inc"
#include "convlib/DxtFitSearch.inc"
#undef DXT_FIT_ENTRY
#undef DXT_FIT_VECTOR_BYTES
#undef DXT_FIT_REGISTER
#undef DXT_FIT_MADD

} // namespace kovar::dxtblock
