// The row and column sums that several AVX2 paths of the linear algebra
// share: each lane adds its own sum's terms in the scalar order.

#include "detail_avx2.h"
#include "detail_linalg.h"

#include <immintrin.h>

namespace tessivane {
namespace detail {

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
            __m256 c[8];
#pragma GCC unroll 8
            for (int q = 0; q < 8; q++)
                c[q] = _mm256_loadu_ps(r[q] + k);
            transpose8(c);
#pragma GCC unroll 8
            for (int q = 0; q < 8; q++)
                s = _mm256_add_ps(s, _mm256_mul_ps(c[q], _mm256_set1_ps(x[k + q])));
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
