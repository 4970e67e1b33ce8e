// fgauss at eight points at once: the Gaussian's argument, amplitude and
// derivatives in AVX2 float lanes, the double products in two halves of four,
// and exp() point by point from the maths library as fgauss calls it.

#include "detail_fit.h"

#include <immintrin.h>

#include <cmath>

namespace tessivane {
namespace detail {
namespace {

// (float)((double)bex * 2.0 * (double)arg), four lanes.
TV_TARGET_AVX2 inline __m128 doubled_product(__m128 bex, __m128 arg)
{
    const __m256d twice = _mm256_mul_pd(_mm256_cvtps_pd(bex), _mm256_set1_pd(2.0));
    return _mm256_cvtpd_ps(_mm256_mul_pd(twice, _mm256_cvtps_pd(arg)));
}

TV_TARGET_AVX2 inline __m256 exp_of_minus(__m256 square)
{
    alignas(32) float s[8];
    _mm256_store_ps(s, square);
    for (float &v : s)
        v = static_cast<float>(std::exp(-static_cast<double>(v)));
    return _mm256_load_ps(s);
}

// Eight points from x: ymod, and the derivatives into a [8 x ma] block.
TV_TARGET_AVX2 void eight_points(const float *x, const float *a, int ma, float *ymod, float *dyda)
{
    alignas(32) float d[3][8];
    const __m256 xs = _mm256_loadu_ps(x);
    __m256 y = _mm256_setzero_ps();
    for (int i = 1; i + 2 <= ma; i += 3) {
        const __m256 a1 = _mm256_set1_ps(a[i]), a2 = _mm256_set1_ps(a[i + 1]),
                     a3 = _mm256_set1_ps(a[i + 2]);
        const __m256 arg = _mm256_div_ps(_mm256_sub_ps(xs, a2), a3);
        const __m256 ex = exp_of_minus(_mm256_mul_ps(arg, arg));
        const __m256 bex = _mm256_mul_ps(a1, ex);
        const __m256 fac = _mm256_set_m128(
            doubled_product(_mm256_extractf128_ps(bex, 1), _mm256_extractf128_ps(arg, 1)),
            doubled_product(_mm256_castps256_ps128(bex), _mm256_castps256_ps128(arg)));
        y = _mm256_add_ps(y, bex);
        _mm256_store_ps(d[0], ex);
        _mm256_store_ps(d[1], _mm256_div_ps(fac, a3));
        _mm256_store_ps(d[2], _mm256_div_ps(_mm256_mul_ps(fac, arg), a3));
        for (int p = 0; p < 8; p++)
            for (int k = 0; k < 3; k++)
                dyda[p * ma + i - 1 + k] = d[k][p];
    }
    _mm256_storeu_ps(ymod, y);
}

}  // namespace

TV_TARGET_AVX2 bool fgauss_points_avx2(const float *x, const float *a, int ma, int count,
                                       float *ymod, float *dyda)
{
    for (int p = 0; p < count * ma; p++)
        dyda[p] = 0.0f;  // a trailing pair or single parameter has no derivative
    int p = 0;
    for (; p + 8 <= count; p += 8)
        eight_points(x + p, a, ma, ymod + p, dyda + p * ma);
    if (p < count) {
        // The last points padded with copies of the first, their results dropped.
        alignas(32) float xs[8], ys[8];
        float ds[8 * 16] = {};  // ma <= 16
        for (int q = 0; q < 8; q++)
            xs[q] = x[p + q < count ? p + q : p];
        eight_points(xs, a, ma, ys, ds);
        for (int q = 0; p + q < count; q++) {
            ymod[p + q] = ys[q];
            for (int k = 0; k < ma; k++)
                dyda[(p + q) * ma + k] = ds[q * ma + k];
        }
    }
    return true;
}

}  // namespace detail
}  // namespace tessivane
