#ifndef TESSIVANE_DETAIL_FFT_AVX2_H
#define TESSIVANE_DETAIL_FFT_AVX2_H

// What the vector paths of the FFTs share: index helpers and the float
// butterfly of four1 and fourn, the join of two halves that four1 and the
// separation step of realft use, and the 512-bit conversions of their
// AVX-512 paths. The files that include this compile those paths:
// four1_avx2.cpp and four1_avx512.cpp (through detail_four1_kernels.h),
// fourn_avx2.cpp, realft_avx2.cpp and realft_avx512.cpp.

#include "detail_avx2.h"
#include "detail_fft.h"

#include <immintrin.h>

#include <cstdint>

namespace tessivane {
namespace detail {
// In the unnamed namespace of each including file, beside that file's own
// kernels (overloads of butterfly among them).
namespace {

// The low `bits` bits of v in reverse order (bits <= 64), without a loop
// over the bits: the first sweep of four1 calls this once per tile, where the
// loop measured 6 % of the sweep.
inline unsigned long reverse_bits(unsigned long v, unsigned bits)
{
    if (bits == 0)
        return 0;
    std::uint64_t r = v;
    r = ((r >> 1) & 0x5555555555555555ULL) | ((r & 0x5555555555555555ULL) << 1);
    r = ((r >> 2) & 0x3333333333333333ULL) | ((r & 0x3333333333333333ULL) << 2);
    r = ((r >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((r & 0x0F0F0F0F0F0F0F0FULL) << 4);
    return static_cast<unsigned long>(__builtin_bswap64(r) >> (64 - bits));
}

inline unsigned log2_of(unsigned long n)
{
    unsigned l = 0;
    while ((1UL << l) < n)
        ++l;
    return l;
}

// bottom = top - t, top = top + t, in float.
TV_TARGET_AVX2 TV_INLINE void butterfly(__m256 &top, __m256 &bottom, __m256 t)
{
    bottom = _mm256_sub_ps(top, t);
    top = _mm256_add_ps(top, t);
}

TV_TARGET_AVX2 TV_INLINE __m256 join(__m128 lo, __m128 hi)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// Eight floats to double and back in 512-bit lanes, for the AVX-512 paths.
// (The zero-masked forms with every lane selected are the same instructions,
// without the undefined source operand that GCC 12 warns about.)
TV_TARGET_AVX512 TV_INLINE __m512d widened(__m256 v)
{
    return _mm512_maskz_cvtps_pd(0xFF, v);
}

TV_TARGET_AVX512 TV_INLINE __m256 narrowed(__m512d v)
{
    return _mm512_maskz_cvtpd_ps(0xFF, v);
}

}  // namespace
}  // namespace detail
}  // namespace tessivane

#endif
