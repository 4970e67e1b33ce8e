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

namespace {

// Rows r[0..7] (sum k, point p) turned into columns: r[p] becomes the eight
// sums' terms of point p.
TV_TARGET_AVX2 inline void transpose8(__m256 *r)
{
    __m256 t[8], u[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm256_unpacklo_ps(r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_ps(r[k], r[k + 1]);
    }
    for (int k = 0; k < 8; k += 4) {
        u[k] = _mm256_shuffle_ps(t[k], t[k + 2], 0x44);
        u[k + 1] = _mm256_shuffle_ps(t[k], t[k + 2], 0xEE);
        u[k + 2] = _mm256_shuffle_ps(t[k + 1], t[k + 3], 0x44);
        u[k + 3] = _mm256_shuffle_ps(t[k + 1], t[k + 3], 0xEE);
    }
    for (int k = 0; k < 4; k++) {
        r[k] = _mm256_permute2f128_ps(u[k], u[k + 4], 0x20);
        r[k + 4] = _mm256_permute2f128_ps(u[k], u[k + 4], 0x31);
    }
}

}  // namespace

TV_TARGET_AVX2 bool three_free_sums_avx2(float *sums, const float *y, const float *sig,
                                         const float *ymod, const float *d1, const float *d2,
                                         const float *d3, int count)
{
    // Lanes 0..7 of acc: a11 a21 a22 a31 a32 a33 b1 b2; b3 and chisq apart.
    __m256 acc = _mm256_loadu_ps(sums);
    float b3 = sums[8], chisq = sums[9];
    const __m256 one = _mm256_set1_ps(1.0f);
    int p = 0;
    for (; p + 8 <= count; p += 8) {
        const __m256 s = _mm256_loadu_ps(sig + p);
        const __m256 sig2i = _mm256_div_ps(one, _mm256_mul_ps(s, s));
        const __m256 dy = _mm256_sub_ps(_mm256_loadu_ps(y + p), _mm256_loadu_ps(ymod + p));
        const __m256 e1 = _mm256_loadu_ps(d1 + p), e2 = _mm256_loadu_ps(d2 + p),
                     e3 = _mm256_loadu_ps(d3 + p);
        const __m256 wt1 = _mm256_mul_ps(e1, sig2i), wt2 = _mm256_mul_ps(e2, sig2i),
                     wt3 = _mm256_mul_ps(e3, sig2i);
        __m256 terms[8] = {_mm256_mul_ps(wt1, e1), _mm256_mul_ps(wt2, e1), _mm256_mul_ps(wt2, e2),
                           _mm256_mul_ps(wt3, e1), _mm256_mul_ps(wt3, e2), _mm256_mul_ps(wt3, e3),
                           _mm256_mul_ps(dy, wt1), _mm256_mul_ps(dy, wt2)};
        alignas(32) float last[2][8];
        _mm256_store_ps(last[0], _mm256_mul_ps(dy, wt3));
        _mm256_store_ps(last[1], _mm256_mul_ps(_mm256_mul_ps(dy, dy), sig2i));
        transpose8(terms);
        for (int q = 0; q < 8; q++) {
            acc = _mm256_add_ps(acc, terms[q]);
            b3 += last[0][q];
            chisq += last[1][q];
        }
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, acc);
    float &a11 = lanes[0], &a21 = lanes[1], &a22 = lanes[2], &a31 = lanes[3], &a32 = lanes[4],
          &a33 = lanes[5], &b1 = lanes[6], &b2 = lanes[7];
    for (; p < count; p++) {
        float sig2i = 1.0f / (sig[p] * sig[p]);
        float dy = y[p] - ymod[p];
        float wt = d1[p] * sig2i;
        a11 += wt * d1[p];
        b1 += dy * wt;
        wt = d2[p] * sig2i;
        a21 += wt * d1[p];
        a22 += wt * d2[p];
        b2 += dy * wt;
        wt = d3[p] * sig2i;
        a31 += wt * d1[p];
        a32 += wt * d2[p];
        a33 += wt * d3[p];
        b3 += dy * wt;
        chisq += dy * dy * sig2i;
    }
    for (int k = 0; k < 8; k++)
        sums[k] = lanes[k];
    sums[8] = b3;
    sums[9] = chisq;
    return true;
}

}  // namespace detail
}  // namespace tessivane
