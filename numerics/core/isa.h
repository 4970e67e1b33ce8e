#ifndef TESSIVANE_ISA_H
#define TESSIVANE_ISA_H

// Which instruction-set path the numerics take. Every path gives exactly the
// same bits for every number it returns, zeros and infinities included (the
// same IEEE operations on the same operands, no fused multiply-adds); the
// wider ones are only faster. Where a result is NaN, every path gives a NaN in
// that place, but its sign and payload may differ between paths (svdcmp on NaN
// input, for one: which operand a NaN comes from depends on operand order).
// On x86 the library itself is built for baseline x86-64 and picks a path
// once, at the first call, from what the CPU supports, capped by the
// environment variable TESSIVANE_ISA (portable, avx2 or avx512; an unknown
// value is ignored). Built for any other processor (aarch64, for one) it has
// the portable path only.

#include "tessivane_export.h"

namespace tessivane {

enum class isa : int {
    portable = 0,  // the straightforward code, compiled for the baseline processor
    avx2 = 1,      // AVX2 (no FMA is ever used)
    avx512 = 2,    // AVX-512 F/BW/DQ/VL; routines without such a path take their AVX2 one
};

// The widest path this CPU can run. [thread-safe]
TV_API isa supported_isa();

// The path the routines take now. [thread-safe]
TV_API isa active_isa();

// Makes the routines take `requested`, capped at supported_isa(), and returns the
// previous path. Meant for comparing paths; a call running on another thread keeps
// the path it started with, and every path gives the same results. [thread-safe]
TV_API isa set_active_isa(isa requested);

// "portable", "avx2" or "avx512".
TV_API const char *isa_name(isa path);

}  // namespace tessivane

#endif
