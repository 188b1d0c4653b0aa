// The four-colour fit of opaque DXT1 blocks for every x86-64 processor (SSE2).
#include "convlib/DxtFourColourFit.h"

#include <cstdint>

namespace kovar::dxtblock {

#define DXT_FIT_ENTRY fitOpaqueBaseline
#define DXT_FIT_VECTOR_BYTES 16
#include "convlib/DxtFitKernel.inc"
#undef DXT_FIT_ENTRY
#undef DXT_FIT_VECTOR_BYTES

} // namespace kovar::dxtblock
