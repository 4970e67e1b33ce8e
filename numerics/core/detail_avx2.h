#ifndef TESSIVANE_DETAIL_AVX2_H
#define TESSIVANE_DETAIL_AVX2_H

// Register-level building blocks of the AVX2 paths, for the translation units
// that compile those paths.

#include "detail_isa.h"

#if !TV_HAVE_AVX2_PATHS
#error "the AVX2 paths are for x86 builds only (CMakeLists.txt leaves their sources out elsewhere)"
#endif

#include <immintrin.h>

// For the small kernels of the innermost loops: once inlined and unrolled,
// their arrays of vectors live in registers rather than on the stack.
#define TV_INLINE inline __attribute__((always_inline))

namespace tessivane {
namespace detail {

// v[i] lane j <- v[j] lane i.
TV_TARGET_AVX2 TV_INLINE void transpose8(__m256 v[8])
{
    __m256 t[8], u[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_ps(v[i], v[i + 1]);
        t[i + 1] = _mm256_unpackhi_ps(v[i], v[i + 1]);
    }
#pragma GCC unroll 8
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(3, 2, 3, 2));
        u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
#pragma GCC unroll 8
    for (int i = 0; i < 4; ++i) {
        v[i] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
        v[i + 4] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
    }
}

}  // namespace detail
}  // namespace tessivane

#endif
