// The AVX2 path of the separation step that realft and rlft3 share: eight
// frequencies per step, each output formed in double from the float h-values
// and the double twiddles of the portable step, and rounded once to float, so
// the bits are those of fft.cpp. No fused multiply-add is ever used (the
// target is "avx2" alone).

#include "detail_fft_avx2.h"

#include <immintrin.h>

namespace tessivane {
namespace detail {

// The four outputs of the separation step for four frequencies from their
// float h-values, each formed in double and rounded once to float.
struct Separated {
    __m128 o1, o2, o3, o4;
};

TV_TARGET_AVX2 TV_INLINE Separated separated(__m128 fh1r, __m128 fh1i, __m128 fh2r, __m128 fh2i,
                                             __m256d wr, __m256d wi)
{
    const __m256d h1r = _mm256_cvtps_pd(fh1r);
    const __m256d h1i = _mm256_cvtps_pd(fh1i);
    const __m256d h2r = _mm256_cvtps_pd(fh2r);
    const __m256d h2i = _mm256_cvtps_pd(fh2i);
    const __m256d wr_h2r = _mm256_mul_pd(wr, h2r);
    const __m256d wi_h2i = _mm256_mul_pd(wi, h2i);
    const __m256d wr_h2i = _mm256_mul_pd(wr, h2i);
    const __m256d wi_h2r = _mm256_mul_pd(wi, h2r);
    const __m256d minus_h1i = _mm256_xor_pd(h1i, _mm256_set1_pd(-0.0));
    return {_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_add_pd(h1r, wr_h2r), wi_h2i)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(h1i, wr_h2i), wi_h2r)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_sub_pd(h1r, wr_h2r), wi_h2i)),
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(minus_h1i, wr_h2i), wi_h2r))};
}

// Reverses the order of four complex values.
TV_TARGET_AVX2 TV_INLINE __m256 reversed(__m256 v)
{
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0x1B));
}

// The h-values are float; each output is formed in double and rounded once.
TV_TARGET_AVX2 void separate_avx2(float *top, float *mirror, unsigned long n, unsigned long end,
                                  const double *wrs, const double *wis, float c1, float c2,
                                  unsigned long first)
{
    unsigned long k = first;
    {
        // Eight frequencies at a time, in the lane order (k, k+1, k+4, k+5 |
        // k+2, k+3, k+6, k+7) that splitting real and imaginary parts gives.
        const __m256 vc1 = _mm256_set1_ps(c1);
        const __m256 vc2 = _mm256_set1_ps(c2);
        const __m256 vnc2 = _mm256_set1_ps(-c2);
        // The partners, loaded from frequency n/2 - k - 7 upwards, into that order.
        const __m256i partner_lanes = _mm256_setr_epi32(5, 4, 7, 6, 1, 0, 3, 2);
        for (; k + 8 <= end; k += 8) {
            float *pt = top + 2 * k;
            float *pm = mirror + n - 2 * (k + 7);
            const __m256 t0 = _mm256_loadu_ps(pt), t1 = _mm256_loadu_ps(pt + 8);
            const __m256 m0 = _mm256_loadu_ps(pm), m1 = _mm256_loadu_ps(pm + 8);
            const __m256 xr = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(2, 0, 2, 0));
            const __m256 xi = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 1, 3, 1));
            const __m256 yr = _mm256_permutevar8x32_ps(
                _mm256_shuffle_ps(m1, m0, _MM_SHUFFLE(2, 0, 2, 0)), partner_lanes);
            const __m256 yi = _mm256_permutevar8x32_ps(
                _mm256_shuffle_ps(m1, m0, _MM_SHUFFLE(3, 1, 3, 1)), partner_lanes);
            const __m256 h1r = _mm256_mul_ps(vc1, _mm256_add_ps(xr, yr));
            const __m256 h1i = _mm256_mul_ps(vc1, _mm256_sub_ps(xi, yi));
            const __m256 h2r = _mm256_mul_ps(vnc2, _mm256_add_ps(xi, yi));
            const __m256 h2i = _mm256_mul_ps(vc2, _mm256_sub_ps(xr, yr));
            const __m256d wr0 = _mm256_loadu_pd(wrs + k), wr1 = _mm256_loadu_pd(wrs + k + 4);
            const __m256d wi0 = _mm256_loadu_pd(wis + k), wi1 = _mm256_loadu_pd(wis + k + 4);
            const Separated lo = separated(_mm256_castps256_ps128(h1r), _mm256_castps256_ps128(h1i),
                                           _mm256_castps256_ps128(h2r), _mm256_castps256_ps128(h2i),
                                           _mm256_permute2f128_pd(wr0, wr1, 0x20),
                                           _mm256_permute2f128_pd(wi0, wi1, 0x20));
            const Separated hi = separated(
                _mm256_extractf128_ps(h1r, 1), _mm256_extractf128_ps(h1i, 1),
                _mm256_extractf128_ps(h2r, 1), _mm256_extractf128_ps(h2i, 1),
                _mm256_permute2f128_pd(wr0, wr1, 0x31), _mm256_permute2f128_pd(wi0, wi1, 0x31));
            // Interleaved again, in the order of k.
            _mm256_storeu_ps(pt,
                             join(_mm_unpacklo_ps(lo.o1, lo.o2), _mm_unpacklo_ps(hi.o1, hi.o2)));
            _mm256_storeu_ps(pt + 8,
                             join(_mm_unpackhi_ps(lo.o1, lo.o2), _mm_unpackhi_ps(hi.o1, hi.o2)));
            _mm256_storeu_ps(
                pm, reversed(join(_mm_unpackhi_ps(lo.o3, lo.o4), _mm_unpackhi_ps(hi.o3, hi.o4))));
            _mm256_storeu_ps(pm + 8, reversed(join(_mm_unpacklo_ps(lo.o3, lo.o4),
                                                   _mm_unpacklo_ps(hi.o3, hi.o4))));
        }
    }
    const __m128 vc1 = _mm_set1_ps(c1);
    const __m128 vc2 = _mm_set1_ps(c2);
    const __m128 vnc2 = _mm_set1_ps(-c2);
    for (; k + 4 <= end; k += 4) {
        float *pt = top + 2 * k;
        float *pm = mirror + n - 2 * (k + 3);
        const __m256 t = _mm256_loadu_ps(pt);
        // The partners in the order of k: frequencies n/2 - k, ..., n/2 - k - 3.
        const __m256 m = reversed(_mm256_loadu_ps(pm));
        const __m128 tlo = _mm256_castps256_ps128(t), thi = _mm256_extractf128_ps(t, 1);
        const __m128 mlo = _mm256_castps256_ps128(m), mhi = _mm256_extractf128_ps(m, 1);
        const __m128 xr = _mm_shuffle_ps(tlo, thi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 xi = _mm_shuffle_ps(tlo, thi, _MM_SHUFFLE(3, 1, 3, 1));
        const __m128 yr = _mm_shuffle_ps(mlo, mhi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 yi = _mm_shuffle_ps(mlo, mhi, _MM_SHUFFLE(3, 1, 3, 1));
        const Separated o =
            separated(_mm_mul_ps(vc1, _mm_add_ps(xr, yr)), _mm_mul_ps(vc1, _mm_sub_ps(xi, yi)),
                      _mm_mul_ps(vnc2, _mm_add_ps(xi, yi)), _mm_mul_ps(vc2, _mm_sub_ps(xr, yr)),
                      _mm256_loadu_pd(wrs + k), _mm256_loadu_pd(wis + k));
        _mm256_storeu_ps(pt, join(_mm_unpacklo_ps(o.o1, o.o2), _mm_unpackhi_ps(o.o1, o.o2)));
        _mm256_storeu_ps(pm,
                         reversed(join(_mm_unpacklo_ps(o.o3, o.o4), _mm_unpackhi_ps(o.o3, o.o4))));
    }
    for (; k < end; ++k) {
        float *pt = top + 2 * k;
        float *pm = mirror + n - 2 * k;
        const double wr = wrs[k];
        const double wi = wis[k];
        const float h1r = c1 * (pt[0] + pm[0]);
        const float h1i = c1 * (pt[1] - pm[1]);
        const float h2r = -c2 * (pt[1] + pm[1]);
        const float h2i = c2 * (pt[0] - pm[0]);
        pt[0] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        pt[1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        pm[0] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        pm[1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
    }
}

bool realft_separate_avx2(float data[], unsigned long n, int isign, float c1, float c2)
{
    const TwiddlePtr tables = realft_twiddles(n, isign == 1);
    if (!tables)
        return false;
    const double *wr = tables->d;
    separate_avx2(data + 1, data + 1, n, n >> 2, wr, wr + tables->stride, c1, c2);
    return true;
}

}  // namespace detail
}  // namespace tessivane
