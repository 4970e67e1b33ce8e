// The AVX-512 path of realft's separation step: eight frequencies per step
// in their natural order, each output formed in 512-bit double lanes from the
// float h-values and the double twiddles of the portable step and rounded
// once to float, so the bits are those of fft.cpp. The frequencies left over
// take the AVX2 step. No fused multiply-add is ever used.

#include "detail_fft_avx2.h"

#include <immintrin.h>

namespace tessivane {
namespace detail {
namespace {

// The outputs of the separation step for eight frequencies.
struct Separated {
    __m256 o1, o2, o3, o4;
};

TV_TARGET_AVX512 TV_INLINE Separated separated(__m256 fh1r, __m256 fh1i, __m256 fh2r, __m256 fh2i,
                                               __m512d wr, __m512d wi)
{
    const __m512d h1r = widened(fh1r);
    const __m512d h1i = widened(fh1i);
    const __m512d h2r = widened(fh2r);
    const __m512d h2i = widened(fh2i);
    const __m512d wr_h2r = _mm512_mul_pd(wr, h2r);
    const __m512d wi_h2i = _mm512_mul_pd(wi, h2i);
    const __m512d wr_h2i = _mm512_mul_pd(wr, h2i);
    const __m512d wi_h2r = _mm512_mul_pd(wi, h2r);
    const __m512d minus_h1i = _mm512_xor_pd(h1i, _mm512_set1_pd(-0.0));
    return {narrowed(_mm512_sub_pd(_mm512_add_pd(h1r, wr_h2r), wi_h2i)),
            narrowed(_mm512_add_pd(_mm512_add_pd(h1i, wr_h2i), wi_h2r)),
            narrowed(_mm512_add_pd(_mm512_sub_pd(h1r, wr_h2r), wi_h2i)),
            narrowed(_mm512_add_pd(_mm512_add_pd(minus_h1i, wr_h2i), wi_h2r))};
}

// Lanes 0-7 of a permutation of the sixteen floats of v. (GCC 12 warns about
// the undefined operands inside its 512-bit casts and permutations; every
// lane used here is defined.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
TV_TARGET_AVX512 TV_INLINE __m256 picked(__m512i lanes, __m512 v)
{
    return _mm512_castps512_ps256(_mm512_permutexvar_ps(lanes, v));
}

// Sixteen floats taken by `lanes` from a (0-7) and b (16-23).
TV_TARGET_AVX512 TV_INLINE __m512 merged(__m256 a, __m512i lanes, __m256 b)
{
    return _mm512_permutex2var_ps(_mm512_castps256_ps512(a), lanes, _mm512_castps256_ps512(b));
}
#pragma GCC diagnostic pop

// The step on frequencies k = 1..end-1 (layout as separate_avx2).
TV_TARGET_AVX512 void separate_avx512(float *top, float *mirror, unsigned long n, unsigned long end,
                                      const double *wrs, const double *wis, float c1, float c2)
{
    const __m256 vc1 = _mm256_set1_ps(c1);
    const __m256 vc2 = _mm256_set1_ps(c2);
    const __m256 vnc2 = _mm256_set1_ps(-c2);
    // Frequencies k..k+7 are sixteen floats from top[2k] on; their partners
    // n/2-k..n/2-k-7 sixteen floats from mirror[n - 2(k + 7)] on, last first.
    const __m512i re = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i im = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i partner_re = _mm512_setr_epi32(14, 12, 10, 8, 6, 4, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i partner_im = _mm512_setr_epi32(15, 13, 11, 9, 7, 5, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i interleaved =
        _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i interleaved_reversed =
        _mm512_setr_epi32(7, 23, 6, 22, 5, 21, 4, 20, 3, 19, 2, 18, 1, 17, 0, 16);
    unsigned long k = 1;
    for (; k + 8 <= end; k += 8) {
        float *pt = top + 2 * k;
        float *pm = mirror + n - 2 * (k + 7);
        const __m512 t = _mm512_loadu_ps(pt);
        const __m512 m = _mm512_loadu_ps(pm);
        const __m256 xr = picked(re, t), xi = picked(im, t);
        const __m256 yr = picked(partner_re, m), yi = picked(partner_im, m);
        const Separated o = separated(
            _mm256_mul_ps(vc1, _mm256_add_ps(xr, yr)), _mm256_mul_ps(vc1, _mm256_sub_ps(xi, yi)),
            _mm256_mul_ps(vnc2, _mm256_add_ps(xi, yi)), _mm256_mul_ps(vc2, _mm256_sub_ps(xr, yr)),
            _mm512_loadu_pd(wrs + k), _mm512_loadu_pd(wis + k));
        _mm512_storeu_ps(pt, merged(o.o1, interleaved, o.o2));
        _mm512_storeu_ps(pm, merged(o.o3, interleaved_reversed, o.o4));
    }
    separate_avx2(top, mirror, n, end, wrs, wis, c1, c2, k);
}

}  // namespace

bool realft_separate_avx512(float data[], unsigned long n, int isign, float c1, float c2)
{
    const TwiddlePtr tables = realft_twiddles(n, isign == 1);
    if (!tables)
        return false;
    const double *wr = tables->d;
    separate_avx512(data + 1, data + 1, n, n >> 2, wr, wr + tables->stride, c1, c2);
    return true;
}

}  // namespace detail
}  // namespace tessivane
