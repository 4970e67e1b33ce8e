// The pooled-variance t of eight voxels in the eight float lanes of AVX2: one
// load per sample row, each lane taking avevar()'s float steps and ttest()'s
// double steps (in two halves of four) in their order, without FMA.

#include "detail_ttest_block.h"

#include <immintrin.h>

namespace tessivane {
namespace batch {
namespace detail {
namespace {

TV_TARGET_AVX2 inline void avevar8(const float *p, std::ptrdiff_t row, unsigned long n, float fn,
                                   float fn_less, __m256 &ave, __m256 &var)
{
    __m256 sum = _mm256_setzero_ps();
    for (unsigned long j = 0; j < n; j++)
        sum = _mm256_add_ps(sum, _mm256_loadu_ps(p + static_cast<std::ptrdiff_t>(j) * row));
    ave = _mm256_div_ps(sum, _mm256_set1_ps(fn));
    __m256 ep = _mm256_setzero_ps(), ss = _mm256_setzero_ps();
    for (unsigned long j = 0; j < n; j++) {
        const __m256 s =
            _mm256_sub_ps(_mm256_loadu_ps(p + static_cast<std::ptrdiff_t>(j) * row), ave);
        ep = _mm256_add_ps(ep, s);
        ss = _mm256_add_ps(ss, _mm256_mul_ps(s, s));
    }
    const __m256 correction = _mm256_div_ps(_mm256_mul_ps(ep, ep), _mm256_set1_ps(fn));
    var = _mm256_div_ps(_mm256_sub_ps(ss, correction), _mm256_set1_ps(fn_less));
}

// (float)(diff / sqrt(svar * scale)) for four lanes, in double.
TV_TARGET_AVX2 inline __m128 t_half(__m128 diff, __m128 svar, double scale)
{
    const __m256d root =
        _mm256_sqrt_pd(_mm256_mul_pd(_mm256_cvtps_pd(svar), _mm256_set1_pd(scale)));
    return _mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtps_pd(diff), root));
}

}  // namespace

TV_TARGET_AVX2 bool pooled_t_block_avx2(const float *a, std::ptrdiff_t a_row, const float *b,
                                        std::ptrdiff_t b_row, const pooled_t_constants &k, float *t,
                                        float *diff_out, float *svar_out)
{
    __m256 ave1, var1, ave2, var2;
    avevar8(a, a_row, k.n1, k.fn1, k.fn1_less, ave1, var1);
    avevar8(b, b_row, k.n2, k.fn2, k.fn2_less, ave2, var2);
    const __m256 pooled = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(k.fn1_less), var1),
                                        _mm256_mul_ps(_mm256_set1_ps(k.fn2_less), var2));
    const __m256 svar = _mm256_div_ps(pooled, _mm256_set1_ps(k.df));
    const __m256 diff = _mm256_sub_ps(ave1, ave2);
    const __m128 lo = t_half(_mm256_castps256_ps128(diff), _mm256_castps256_ps128(svar), k.scale);
    const __m128 hi =
        t_half(_mm256_extractf128_ps(diff, 1), _mm256_extractf128_ps(svar, 1), k.scale);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 tv = _mm256_set_m128(hi, lo);
    _mm256_storeu_ps(t, _mm256_blendv_ps(tv, zero, _mm256_cmp_ps(svar, zero, _CMP_EQ_OQ)));
    _mm256_storeu_ps(diff_out, diff);
    _mm256_storeu_ps(svar_out, svar);
    return true;
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
