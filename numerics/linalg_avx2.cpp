// The row and column sums that several AVX2 paths of the linear algebra
// share: each lane adds its own sum's terms in the scalar order.

#include "detail_linalg.h"

#include <immintrin.h>

namespace tessivane {
namespace detail {
namespace {

TV_TARGET_AVX2 inline void transpose8(__m256 &r0, __m256 &r1, __m256 &r2, __m256 &r3, __m256 &r4,
                                      __m256 &r5, __m256 &r6, __m256 &r7)
{
    __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    __m256 t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5);
    __m256 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
    __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xee);
    __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xee);
    __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xee);
    __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xee);
    r0 = _mm256_permute2f128_ps(u0, u4, 0x20);
    r1 = _mm256_permute2f128_ps(u1, u5, 0x20);
    r2 = _mm256_permute2f128_ps(u2, u6, 0x20);
    r3 = _mm256_permute2f128_ps(u3, u7, 0x20);
    r4 = _mm256_permute2f128_ps(u0, u4, 0x31);
    r5 = _mm256_permute2f128_ps(u1, u5, 0x31);
    r6 = _mm256_permute2f128_ps(u2, u6, 0x31);
    r7 = _mm256_permute2f128_ps(u3, u7, 0x31);
}

}  // namespace

TV_TARGET_AVX2 void column_sums(float **M, int k0, int k1, int j0, int j1, const float *x, float *S)
{
    int j = j0;
    for (; j + 32 <= j1 + 1; j += 32) {
        __m256 s0 = _mm256_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
        for (int k = k0; k <= k1; k++) {
            const __m256 xk = _mm256_set1_ps(x[k]);
            const float *r = M[k] + j;
            s0 = _mm256_add_ps(s0, _mm256_mul_ps(xk, _mm256_loadu_ps(r)));
            s1 = _mm256_add_ps(s1, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 8)));
            s2 = _mm256_add_ps(s2, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 16)));
            s3 = _mm256_add_ps(s3, _mm256_mul_ps(xk, _mm256_loadu_ps(r + 24)));
        }
        _mm256_storeu_ps(S + j, s0);
        _mm256_storeu_ps(S + j + 8, s1);
        _mm256_storeu_ps(S + j + 16, s2);
        _mm256_storeu_ps(S + j + 24, s3);
    }
    for (; j + 8 <= j1 + 1; j += 8) {
        __m256 s0 = _mm256_setzero_ps();
        for (int k = k0; k <= k1; k++)
            s0 = _mm256_add_ps(s0, _mm256_mul_ps(_mm256_set1_ps(x[k]), _mm256_loadu_ps(M[k] + j)));
        _mm256_storeu_ps(S + j, s0);
    }
    for (; j <= j1; j++) {
        float s = 0.0f;
        for (int k = k0; k <= k1; k++)
            s += x[k] * M[k][j];
        S[j] = s;
    }
}

TV_TARGET_AVX2 void row_sums(float **M, int j0, int j1, int k0, int k1, const float *x, float *S)
{
    int j = j0;
    for (; j + 8 <= j1 + 1; j += 8) {
        const float *r[8];
        for (int q = 0; q < 8; q++)
            r[q] = M[j + q];
        __m256 s = _mm256_setzero_ps();
        int k = k0;
        for (; k + 8 <= k1 + 1; k += 8) {
            __m256 c0 = _mm256_loadu_ps(r[0] + k), c1 = _mm256_loadu_ps(r[1] + k),
                   c2 = _mm256_loadu_ps(r[2] + k), c3 = _mm256_loadu_ps(r[3] + k),
                   c4 = _mm256_loadu_ps(r[4] + k), c5 = _mm256_loadu_ps(r[5] + k),
                   c6 = _mm256_loadu_ps(r[6] + k), c7 = _mm256_loadu_ps(r[7] + k);
            transpose8(c0, c1, c2, c3, c4, c5, c6, c7);
            s = _mm256_add_ps(s, _mm256_mul_ps(c0, _mm256_set1_ps(x[k])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c1, _mm256_set1_ps(x[k + 1])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c2, _mm256_set1_ps(x[k + 2])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c3, _mm256_set1_ps(x[k + 3])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c4, _mm256_set1_ps(x[k + 4])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c5, _mm256_set1_ps(x[k + 5])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c6, _mm256_set1_ps(x[k + 6])));
            s = _mm256_add_ps(s, _mm256_mul_ps(c7, _mm256_set1_ps(x[k + 7])));
        }
        for (; k <= k1; k++) {
            __m256 c = _mm256_setr_ps(r[0][k], r[1][k], r[2][k], r[3][k], r[4][k], r[5][k], r[6][k],
                                      r[7][k]);
            s = _mm256_add_ps(s, _mm256_mul_ps(c, _mm256_set1_ps(x[k])));
        }
        _mm256_storeu_ps(S + j, s);
    }
    for (; j <= j1; j++) {
        float s = 0.0f;
        for (int k = k0; k <= k1; k++)
            s += M[j][k] * x[k];
        S[j] = s;
    }
}

}  // namespace detail
}  // namespace tessivane
