// fgauss at up to 64 points at once: the Gaussian's argument, amplitude and
// derivatives in AVX2 float lanes, the double products in halves of four, and
// exp() point by point from the maths library, as fgauss calls it, between
// the vector passes.

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

}  // namespace

TV_TARGET_AVX2 bool fgauss_points_avx2(const float *x, const float *a, int ma, int count,
                                       float *ymod, float *dyda)
{
    constexpr int B = kFgaussBlock;
    alignas(32) float xs[B], args[B], ex[B];
    const int padded = (count + 7) / 8 * 8;  // the last points padded with copies of the first
    for (int p = 0; p < padded; p++)
        xs[p] = x[p < count ? p : 0];
    for (int p = 0; p < padded; p++)
        ymod[p] = 0.0f;
    const int whole = ma / 3 * 3;
    for (int k = whole; k < ma; k++)  // a trailing pair or single parameter has no derivative
        for (int p = 0; p < padded; p++)
            dyda[k * B + p] = 0.0f;

    for (int i = 1; i + 2 <= ma; i += 3) {
        const __m256 a1 = _mm256_set1_ps(a[i]), a2 = _mm256_set1_ps(a[i + 1]),
                     a3 = _mm256_set1_ps(a[i + 2]);
        for (int p = 0; p < padded; p += 8) {
            const __m256 arg = _mm256_div_ps(_mm256_sub_ps(_mm256_load_ps(xs + p), a2), a3);
            _mm256_store_ps(args + p, arg);
            _mm256_store_ps(ex + p, _mm256_mul_ps(arg, arg));
        }
        for (int p = 0; p < padded; p++)
            ex[p] = static_cast<float>(std::exp(-static_cast<double>(ex[p])));
        float *d1 = dyda + (i - 1) * B, *d2 = d1 + B, *d3 = d2 + B;
        for (int p = 0; p < padded; p += 8) {
            const __m256 arg = _mm256_load_ps(args + p), e = _mm256_load_ps(ex + p);
            const __m256 bex = _mm256_mul_ps(a1, e);
            const __m256 fac = _mm256_set_m128(
                doubled_product(_mm256_extractf128_ps(bex, 1), _mm256_extractf128_ps(arg, 1)),
                doubled_product(_mm256_castps256_ps128(bex), _mm256_castps256_ps128(arg)));
            _mm256_storeu_ps(ymod + p, _mm256_add_ps(_mm256_loadu_ps(ymod + p), bex));
            _mm256_storeu_ps(d1 + p, e);
            _mm256_storeu_ps(d2 + p, _mm256_div_ps(fac, a3));
            _mm256_storeu_ps(d3 + p, _mm256_div_ps(_mm256_mul_ps(fac, arg), a3));
        }
    }
    return true;
}

}  // namespace detail
}  // namespace tessivane
