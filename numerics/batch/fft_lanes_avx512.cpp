// four1 and realft of sixteen series in the sixteen float lanes of AVX-512
// (the body is detail_fft_lanes_kernel.h; here the vector operations it uses
// and the moves between the caller's layout and the work array). No fused
// multiply-add is ever used (the target leaves FMA out).

#include "detail_avx2.h"
#include "detail_fft_lanes.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// GCC 12 warns that the conversion intrinsics' own placeholder operand
// (_mm512_undefined_pd) "may be used uninitialized" once they are inlined; the
// instructions never read it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace tessivane {
namespace batch {
namespace detail {
namespace {

struct avx512_lanes {
    static constexpr int N = 16, H = 8;
    using vec = __m512;
    using half = __m256;
    using dvec = __m512d;

    TV_TARGET_AVX512 static TV_INLINE vec load(const float *p) { return _mm512_load_ps(p); }
    TV_TARGET_AVX512 static TV_INLINE void store(float *p, vec v) { _mm512_store_ps(p, v); }
    TV_TARGET_AVX512 static TV_INLINE vec add(vec a, vec b) { return _mm512_add_ps(a, b); }
    TV_TARGET_AVX512 static TV_INLINE vec sub(vec a, vec b) { return _mm512_sub_ps(a, b); }
    TV_TARGET_AVX512 static TV_INLINE vec mul(vec a, vec b) { return _mm512_mul_ps(a, b); }
    TV_TARGET_AVX512 static TV_INLINE vec set1(float x) { return _mm512_set1_ps(x); }
    TV_TARGET_AVX512 static TV_INLINE vec zero() { return _mm512_setzero_ps(); }

    TV_TARGET_AVX512 static TV_INLINE half hload(const float *p) { return _mm256_load_ps(p); }
    TV_TARGET_AVX512 static TV_INLINE void hstore(float *p, half v) { _mm256_store_ps(p, v); }
    TV_TARGET_AVX512 static TV_INLINE half hadd(half a, half b) { return _mm256_add_ps(a, b); }
    TV_TARGET_AVX512 static TV_INLINE half hsub(half a, half b) { return _mm256_sub_ps(a, b); }
    TV_TARGET_AVX512 static TV_INLINE vec join(half lo, half hi)
    {
        return _mm512_insertf32x8(_mm512_castps256_ps512(lo), hi, 1);
    }
    TV_TARGET_AVX512 static TV_INLINE half low(vec v) { return _mm512_castps512_ps256(v); }
    TV_TARGET_AVX512 static TV_INLINE half high(vec v) { return _mm512_extractf32x8_ps(v, 1); }

    TV_TARGET_AVX512 static TV_INLINE dvec widen(const float *p)
    {
        return _mm512_cvtps_pd(_mm256_load_ps(p));
    }
    TV_TARGET_AVX512 static TV_INLINE half narrow(dvec v) { return _mm512_cvtpd_ps(v); }
    TV_TARGET_AVX512 static TV_INLINE dvec dset1(double x) { return _mm512_set1_pd(x); }
    TV_TARGET_AVX512 static TV_INLINE dvec dadd(dvec a, dvec b) { return _mm512_add_pd(a, b); }
    TV_TARGET_AVX512 static TV_INLINE dvec dsub(dvec a, dvec b) { return _mm512_sub_pd(a, b); }
    TV_TARGET_AVX512 static TV_INLINE dvec dmul(dvec a, dvec b) { return _mm512_mul_pd(a, b); }
    TV_TARGET_AVX512 static TV_INLINE dvec dneg(dvec a)
    {
        return _mm512_xor_pd(a, _mm512_set1_pd(-0.0));
    }

    // Sixteen series `series` floats apart, each `count` floats (a multiple
    // of 8) one after the other: 8 x 8 transposes of series 0-7 and 8-15.
    TV_TARGET_AVX512 static void load_rows(const float *first, std::ptrdiff_t series,
                                           std::size_t count, float *v)
    {
        for (std::size_t c = 0; c < count; c += 8) {
            __m256 r[2][8];
#pragma GCC unroll 16
            for (int l = 0; l < 16; ++l)
                r[l / 8][l % 8] = _mm256_loadu_ps(first + l * series + c);
            tessivane::detail::transpose8(r[0]);
            tessivane::detail::transpose8(r[1]);
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                store(v + (c + j) * N, join(r[0][j], r[1][j]));
        }
    }
    // With `stream`, 16 floats of each row at a time: whole cache lines
    // where the rows start lines.
    TV_TARGET_AVX512 static void store_rows(const float *v, std::ptrdiff_t series,
                                            std::size_t count, float *first, bool stream)
    {
        const bool lines =
            stream && count % 16 == 0 &&
            ((reinterpret_cast<std::uintptr_t>(first) | static_cast<std::uintptr_t>(series) * 4) %
             64) == 0;
        for (std::size_t c = 0; c < count; c += lines ? 16 : 8) {
            __m256 r[2][2][8];  // [floats c.. or c + 8..][series 0-7 or 8-15][row]
            for (int h = 0; h < (lines ? 2 : 1); ++h) {
#pragma GCC unroll 8
                for (int j = 0; j < 8; ++j) {
                    const vec x = load(v + (c + 8 * h + j) * N);
                    r[h][0][j] = low(x);
                    r[h][1][j] = high(x);
                }
                tessivane::detail::transpose8(r[h][0]);
                tessivane::detail::transpose8(r[h][1]);
            }
#pragma GCC unroll 16
            for (int l = 0; l < 16; ++l) {
                float *p = first + l * series + c;
                if (lines)
                    _mm512_stream_ps(p, join(r[0][l / 8][l % 8], r[1][l / 8][l % 8]));
                else
                    _mm256_storeu_ps(p, r[0][l / 8][l % 8]);
            }
        }
        if (lines)
            _mm_sfence();
    }

    // A sample of sixteen series side by side: 16 real values, or 16 complex
    // values (32 floats) split into real and imaginary parts and joined again.
    TV_TARGET_AVX512 static TV_INLINE vec loadu(const float *p)
    {
        return _mm512_loadu_ps(p);
    }
    TV_TARGET_AVX512 static TV_INLINE void storeu(float *p, vec v)
    {
        _mm512_storeu_ps(p, v);
    }
    TV_TARGET_AVX512 static TV_INLINE void split_complex(const float *p, float *re, float *im)
    {
        const __m512i even =
            _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        const vec lo = _mm512_loadu_ps(p), hi = _mm512_loadu_ps(p + 16);
        store(re, _mm512_permutex2var_ps(lo, even, hi));
        store(im, _mm512_permutex2var_ps(lo, _mm512_add_epi32(even, _mm512_set1_epi32(1)), hi));
    }
    TV_TARGET_AVX512 static TV_INLINE void join_complex(const float *re, const float *im, float *p)
    {
        // Real part i of the block, then imaginary part i (index 16 + i).
        const __m512i first_eight =
            _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i last_eight = _mm512_add_epi32(first_eight, _mm512_set1_epi32(8));
        _mm512_storeu_ps(p, _mm512_permutex2var_ps(load(re), first_eight, load(im)));
        _mm512_storeu_ps(p + 16, _mm512_permutex2var_ps(load(re), last_eight, load(im)));
    }
};

#define TV_LANES_TARGET TV_TARGET_AVX512
#include "detail_fft_lanes_kernel.h"
#undef TV_LANES_TARGET

}  // namespace

TV_TARGET_AVX512 bool four1_lanes_avx512(const float *in, float *out, const lane_layout &layout,
                                         unsigned long nn, const lane_twiddles &w,
                                         std::size_t blocks, float *work)
{
    return four1_lanes<avx512_lanes>(in, out, layout, nn, w, blocks, work);
}

TV_TARGET_AVX512 bool realft_lanes_avx512(const float *in, float *out, const lane_layout &layout,
                                          unsigned long n, int isign, const lane_twiddles &w,
                                          std::size_t blocks, float *work)
{
    return realft_lanes<avx512_lanes>(in, out, layout, n, isign, w, blocks, work);
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
