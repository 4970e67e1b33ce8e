// four1 and realft of eight series in the eight float lanes of AVX2 (the
// body is detail_fft_lanes_kernel.h; here the vector operations it uses and
// the moves between the caller's layout and the work array). No fused
// multiply-add is ever used (the target is "avx2" alone).

#include "detail_avx2.h"
#include "detail_fft_lanes.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace tessivane {
namespace batch {
namespace detail {
namespace {

// Every row from first on, `series` floats apart, starts a cache line.
inline bool on_lines(const float *first, std::ptrdiff_t series)
{
    return (reinterpret_cast<std::uintptr_t>(first) | static_cast<std::uintptr_t>(series) * 4) %
               64 ==
           0;
}

struct avx2_lanes {
    static constexpr int N = 8, H = 4;
    using vec = __m256;
    using half = __m128;
    using dvec = __m256d;

    TV_TARGET_AVX2 static TV_INLINE vec load(const float *p) { return _mm256_load_ps(p); }
    TV_TARGET_AVX2 static TV_INLINE void store(float *p, vec v) { _mm256_store_ps(p, v); }
    TV_TARGET_AVX2 static TV_INLINE vec add(vec a, vec b) { return _mm256_add_ps(a, b); }
    TV_TARGET_AVX2 static TV_INLINE vec sub(vec a, vec b) { return _mm256_sub_ps(a, b); }
    TV_TARGET_AVX2 static TV_INLINE vec mul(vec a, vec b) { return _mm256_mul_ps(a, b); }
    TV_TARGET_AVX2 static TV_INLINE vec set1(float x) { return _mm256_set1_ps(x); }
    TV_TARGET_AVX2 static TV_INLINE vec zero() { return _mm256_setzero_ps(); }

    TV_TARGET_AVX2 static TV_INLINE half hload(const float *p) { return _mm_load_ps(p); }
    TV_TARGET_AVX2 static TV_INLINE void hstore(float *p, half v) { _mm_store_ps(p, v); }
    TV_TARGET_AVX2 static TV_INLINE half hadd(half a, half b) { return _mm_add_ps(a, b); }
    TV_TARGET_AVX2 static TV_INLINE half hsub(half a, half b) { return _mm_sub_ps(a, b); }

    TV_TARGET_AVX2 static TV_INLINE dvec widen(const float *p)
    {
        return _mm256_cvtps_pd(_mm_load_ps(p));
    }
    TV_TARGET_AVX2 static TV_INLINE half narrow(dvec v) { return _mm256_cvtpd_ps(v); }
    TV_TARGET_AVX2 static TV_INLINE vec join(half lo, half hi) { return _mm256_set_m128(hi, lo); }
    TV_TARGET_AVX2 static TV_INLINE dvec dset1(double x) { return _mm256_set1_pd(x); }
    TV_TARGET_AVX2 static TV_INLINE dvec dadd(dvec a, dvec b) { return _mm256_add_pd(a, b); }
    TV_TARGET_AVX2 static TV_INLINE dvec dsub(dvec a, dvec b) { return _mm256_sub_pd(a, b); }
    TV_TARGET_AVX2 static TV_INLINE dvec dmul(dvec a, dvec b) { return _mm256_mul_pd(a, b); }
    TV_TARGET_AVX2 static TV_INLINE dvec dneg(dvec a)
    {
        return _mm256_xor_pd(a, _mm256_set1_pd(-0.0));
    }

    // Eight series `series` floats apart, each `count` floats (a multiple
    // of 8) one after the other: 8 x 8 transposes.
    TV_TARGET_AVX2 static void load_rows(const float *first, std::ptrdiff_t series,
                                         std::size_t count, float *v)
    {
        for (std::size_t c = 0; c < count; c += 8) {
            __m256 r[8];
#pragma GCC unroll 8
            for (int l = 0; l < 8; ++l)
                r[l] = _mm256_loadu_ps(first + l * series + c);
            tessivane::detail::transpose8(r);
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                store(v + (c + j) * N, r[j]);
        }
    }
    // With `stream`, 16 floats of each row at a time, its two halves stored
    // one after the other: whole cache lines where the rows start lines.
    TV_TARGET_AVX2 static void store_rows(const float *v, std::ptrdiff_t series, std::size_t count,
                                          float *first, bool stream)
    {
        const int halves = stream && count % 16 == 0 && on_lines(first, series) ? 2 : 1;
        for (std::size_t c = 0; c < count; c += 8 * halves) {
            __m256 r[2][8];
            for (int h = 0; h < halves; ++h) {
#pragma GCC unroll 8
                for (int j = 0; j < 8; ++j)
                    r[h][j] = load(v + (c + 8 * h + j) * N);
                tessivane::detail::transpose8(r[h]);
            }
#pragma GCC unroll 8
            for (int l = 0; l < 8; ++l) {
                float *p = first + l * series + c;
                if (halves == 1) {
                    _mm256_storeu_ps(p, r[0][l]);
                } else {
                    _mm256_stream_ps(p, r[0][l]);
                    _mm256_stream_ps(p + 8, r[1][l]);
                }
            }
        }
        if (halves == 2)
            _mm_sfence();
    }

    // A sample of eight series side by side: 8 real values, or 8 complex
    // values (16 floats) split into real and imaginary parts and joined again.
    TV_TARGET_AVX2 static TV_INLINE vec loadu(const float *p)
    {
        return _mm256_loadu_ps(p);
    }
    TV_TARGET_AVX2 static TV_INLINE void storeu(float *p, vec v)
    {
        _mm256_storeu_ps(p, v);
    }
    TV_TARGET_AVX2 static TV_INLINE void split_complex(const float *p, float *re, float *im)
    {
        const __m256 lo = _mm256_loadu_ps(p), hi = _mm256_loadu_ps(p + 8);
        // Lanes (0, 1, 4, 5 | 2, 3, 6, 7), put in order by pairs.
        const __m256 r = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 i = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
        store(re, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(r), 0xD8)));
        store(im, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(i), 0xD8)));
    }
    TV_TARGET_AVX2 static TV_INLINE void join_complex(const float *re, const float *im, float *p)
    {
        const __m256 lo = _mm256_unpacklo_ps(load(re), load(im));  // series 0, 1 | 4, 5
        const __m256 hi = _mm256_unpackhi_ps(load(re), load(im));  // series 2, 3 | 6, 7
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
};

#define TV_LANES_TARGET TV_TARGET_AVX2
#include "detail_fft_lanes_kernel.h"
#undef TV_LANES_TARGET

}  // namespace

TV_TARGET_AVX2 bool four1_lanes_avx2(const float *in, float *out, const lane_layout &layout,
                                     unsigned long nn, const lane_twiddles &w, std::size_t blocks,
                                     float *work)
{
    return four1_lanes<avx2_lanes>(in, out, layout, nn, w, blocks, work);
}

TV_TARGET_AVX2 bool realft_lanes_avx2(const float *in, float *out, const lane_layout &layout,
                                      unsigned long n, int isign, const lane_twiddles &w,
                                      std::size_t blocks, float *work)
{
    return realft_lanes<avx2_lanes>(in, out, layout, n, isign, w, blocks, work);
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
