// betacf on AVX2: eight continued fractions in two vectors of four doubles.
// Each lane takes betacf's operations in betacf's order (no FMA, the same
// floor, the same reciprocals); a lane that has met the tolerance keeps its h
// while the others go on, so the iteration count is still per fraction.

#include "detail_special.h"

#include <immintrin.h>

namespace tessivane {
namespace detail {
namespace {

struct fraction_lanes {
    __m256d a, b, x, qab, qap, qam, c, d, h, running;
};

TV_TARGET_AVX2 inline __m256d floor_tiny(__m256d v)
{
    const __m256d floor = _mm256_set1_pd(kFpmin);
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
    return _mm256_blendv_pd(v, floor, _mm256_cmp_pd(magnitude, floor, _CMP_LT_OQ));
}

TV_TARGET_AVX2 inline void start(fraction_lanes &f, const double *a, const double *b,
                                 const double *x)
{
    const __m256d one = _mm256_set1_pd(1.0);
    f.a = _mm256_loadu_pd(a);
    f.b = _mm256_loadu_pd(b);
    f.x = _mm256_loadu_pd(x);
    f.qab = _mm256_add_pd(f.a, f.b);
    f.qap = _mm256_add_pd(f.a, one);
    f.qam = _mm256_sub_pd(f.a, one);
    f.c = one;
    f.d = floor_tiny(_mm256_sub_pd(one, _mm256_div_pd(_mm256_mul_pd(f.qab, f.x), f.qap)));
    f.d = _mm256_div_pd(one, f.d);
    f.h = f.d;
    f.running = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
}

// One half step: d = 1 / floor(1 + aa d), c = floor(1 + aa / c).
TV_TARGET_AVX2 inline void half_step(fraction_lanes &f, __m256d aa)
{
    const __m256d one = _mm256_set1_pd(1.0);
    f.d = floor_tiny(_mm256_add_pd(one, _mm256_mul_pd(aa, f.d)));
    f.c = floor_tiny(_mm256_add_pd(one, _mm256_div_pd(aa, f.c)));
    f.d = _mm256_div_pd(one, f.d);
}

// Iteration m of the lanes still running; false once none is.
TV_TARGET_AVX2 inline bool iterate(fraction_lanes &f, int m)
{
    const int m2 = 2 * m;
    const __m256d md = _mm256_set1_pd(m), m2d = _mm256_set1_pd(m2);
    const __m256d sign = _mm256_set1_pd(-0.0);
    __m256d aa = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(md, _mm256_sub_pd(f.b, md)), f.x),
                               _mm256_mul_pd(_mm256_add_pd(f.qam, m2d), _mm256_add_pd(f.a, m2d)));
    half_step(f, aa);
    __m256d h = _mm256_mul_pd(_mm256_mul_pd(f.h, f.d), f.c);
    const __m256d a_m = _mm256_xor_pd(sign, _mm256_add_pd(f.a, md));
    aa = _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(a_m, _mm256_add_pd(f.qab, md)), f.x),
                       _mm256_mul_pd(_mm256_add_pd(f.a, m2d), _mm256_add_pd(f.qap, m2d)));
    half_step(f, aa);
    const __m256d del = _mm256_mul_pd(f.d, f.c);
    h = _mm256_mul_pd(h, del);
    f.h = _mm256_blendv_pd(f.h, h, f.running);
    const __m256d off = _mm256_andnot_pd(sign, _mm256_sub_pd(del, _mm256_set1_pd(1.0)));
    const __m256d done = _mm256_cmp_pd(off, _mm256_set1_pd(kEps), _CMP_LT_OQ);
    f.running = _mm256_andnot_pd(done, f.running);
    return _mm256_movemask_pd(f.running) != 0;
}

}  // namespace

TV_TARGET_AVX2 bool betacf8_avx2(const double *a, const double *b, const double *x, float *out)
{
    fraction_lanes lo, hi;
    start(lo, a, b, x);
    start(hi, a + 4, b + 4, x + 4);
    bool lo_running = true, hi_running = true;
    for (int m = 1; m <= kItmax && (lo_running || hi_running); m++) {
        if (lo_running)
            lo_running = iterate(lo, m);
        if (hi_running)
            hi_running = iterate(hi, m);
    }
    // Without convergence the last approximation is returned, as betacf does.
    _mm_storeu_ps(out, _mm256_cvtpd_ps(lo.h));
    _mm_storeu_ps(out + 4, _mm256_cvtpd_ps(hi.h));
    return true;
}

}  // namespace detail
}  // namespace tessivane
