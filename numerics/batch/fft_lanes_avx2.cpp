// four1 and realft of eight series in the eight float lanes of AVX2. The
// block's floats sit in a work array of vectors, vector j holding float j of
// every series, so that each butterfly of the single call becomes one
// butterfly of vectors with the same twiddle in every lane:
// - twiddle products in double (each lane's value converted, multiplied and
//   summed in double as the single call does, rounded once to float), sums
//   in float; the twiddle (1, 0) that starts each stage in float, which gives
//   the double result's bits for every input (see unit_product);
// - the separation step of realft with the single call's float h-values and
//   double outputs.
// No fused multiply-add is ever used (the target is "avx2" alone).

#include "detail_avx2.h"
#include "detail_fft.h"
#include "detail_fft_lanes.h"

#include <immintrin.h>

#include <utility>

namespace tessivane {
namespace batch {
namespace detail {
namespace {

using tessivane::detail::transpose8;

// ---------------------------------------------------------------- moving blocks

// Eight floats of the series in lane l at first + l * series + offset, for
// the offsets of floats j = 0..count-1 (count a multiple of 8 or not): the
// work vectors v[j].
struct block_io {
    const lane_layout &layout;
    std::size_t count;

    std::ptrdiff_t offset(std::size_t j) const
    {
        return static_cast<std::ptrdiff_t>(j / layout.width) * layout.sample +
               static_cast<std::ptrdiff_t>(j % layout.width);
    }
    // Each series' floats one after the other.
    bool contiguous() const
    {
        return count % 8 == 0 && layout.sample == static_cast<std::ptrdiff_t>(layout.width);
    }
    // The eight series' floats j side by side (real samples), or their eight
    // complex samples side by side (complex).
    bool side_by_side() const
    {
        return layout.series == static_cast<std::ptrdiff_t>(layout.width);
    }
};

TV_TARGET_AVX2 void load_block(const float *first, const block_io &io, __m256 *v)
{
    const lane_layout &L = io.layout;
    if (io.contiguous()) {
        for (std::size_t c = 0; c < io.count; c += 8) {
            __m256 r[8];
#pragma GCC unroll 8
            for (int l = 0; l < 8; ++l)
                r[l] = _mm256_loadu_ps(first + l * L.series + c);
            transpose8(r);
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                _mm256_store_ps(reinterpret_cast<float *>(v + c + j), r[j]);
        }
    } else if (io.side_by_side() && L.width == 1) {
        for (std::size_t j = 0; j < io.count; ++j)
            v[j] = _mm256_loadu_ps(first + io.offset(j));
    } else if (io.side_by_side() && L.width == 2) {
        for (std::size_t j = 0; j < io.count; j += 2) {
            const float *p = first + io.offset(j);
            const __m256 lo = _mm256_loadu_ps(p), hi = _mm256_loadu_ps(p + 8);
            // Lanes (0, 1, 4, 5 | 2, 3, 6, 7), put in order by pairs.
            const __m256 re = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
            const __m256 im = _mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
            v[j] = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(re), 0xD8));
            v[j + 1] = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(im), 0xD8));
        }
    } else {
        alignas(32) float lanes[8];
        for (std::size_t j = 0; j < io.count; ++j) {
            const float *p = first + io.offset(j);
            for (int l = 0; l < 8; ++l)
                lanes[l] = p[l * L.series];
            v[j] = _mm256_load_ps(lanes);
        }
    }
}

TV_TARGET_AVX2 void store_block(const __m256 *v, const block_io &io, float *first)
{
    const lane_layout &L = io.layout;
    if (io.contiguous()) {
        for (std::size_t c = 0; c < io.count; c += 8) {
            __m256 r[8];
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                r[j] = v[c + j];
            transpose8(r);
#pragma GCC unroll 8
            for (int l = 0; l < 8; ++l)
                _mm256_storeu_ps(first + l * L.series + c, r[l]);
        }
    } else if (io.side_by_side() && L.width == 1) {
        for (std::size_t j = 0; j < io.count; ++j)
            _mm256_storeu_ps(first + io.offset(j), v[j]);
    } else if (io.side_by_side() && L.width == 2) {
        for (std::size_t j = 0; j < io.count; j += 2) {
            float *p = first + io.offset(j);
            const __m256 lo = _mm256_unpacklo_ps(v[j], v[j + 1]);  // series 0, 1 | 4, 5
            const __m256 hi = _mm256_unpackhi_ps(v[j], v[j + 1]);  // series 2, 3 | 6, 7
            _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
            _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
        }
    } else {
        alignas(32) float lanes[8];
        for (std::size_t j = 0; j < io.count; ++j) {
            _mm256_store_ps(lanes, v[j]);
            float *p = first + io.offset(j);
            for (int l = 0; l < 8; ++l)
                p[l * L.series] = lanes[l];
        }
    }
}

// ---------------------------------------------------------------- four1

// One complex value of each of the eight series.
struct Complex8 {
    __m256 re;
    __m256 im;
};

TV_TARGET_AVX2 TV_INLINE __m256 join(__m128 lo, __m128 hi)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// wr * b - wi * c (sign -1) or wr * b + wi * c (sign +1) in double for four
// lanes, rounded once to float.
TV_TARGET_AVX2 TV_INLINE __m128 real_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(wr, re), _mm256_mul_pd(wi, im)));
}
TV_TARGET_AVX2 TV_INLINE __m128 imaginary_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(wr, im), _mm256_mul_pd(wi, re)));
}

// The twiddle product of four1 for the value b of the work array: tempr =
// wr*re - wi*im and tempi = wr*im + wi*re, products and sums in double, each
// rounded once to float. Each half of the eight floats is converted straight
// from memory, which spares the shuffle unit a conversion from a register.
TV_TARGET_AVX2 TV_INLINE Complex8 product_at(const __m256 *b, __m256d wr, __m256d wi)
{
    const float *re = reinterpret_cast<const float *>(b), *im = re + 8;
    const __m256d re0 = _mm256_cvtps_pd(_mm_load_ps(re));
    const __m256d re1 = _mm256_cvtps_pd(_mm_load_ps(re + 4));
    const __m256d im0 = _mm256_cvtps_pd(_mm_load_ps(im));
    const __m256d im1 = _mm256_cvtps_pd(_mm_load_ps(im + 4));
    return {join(real_part(wr, re0, wi, im0), real_part(wr, re1, wi, im1)),
            join(imaginary_part(wr, re0, wi, im0), imaginary_part(wr, re1, wi, im1))};
}

// The same for the twiddle (1, 0): 1*re and 1*im are exact, a product with 0
// is a signed zero or NaN, and a sum with a signed zero is exact, so these
// float operations give the double ones' bits for every input.
TV_TARGET_AVX2 TV_INLINE Complex8 unit_product(const Complex8 &b)
{
    const __m256 zero = _mm256_setzero_ps();
    return {_mm256_sub_ps(b.re, _mm256_mul_ps(zero, b.im)),
            _mm256_add_ps(b.im, _mm256_mul_ps(zero, b.re))};
}

// b = a - t, a = a + t, in float.
TV_TARGET_AVX2 TV_INLINE void butterfly(Complex8 &a, Complex8 &b, const Complex8 &t)
{
    b.re = _mm256_sub_ps(a.re, t.re);
    b.im = _mm256_sub_ps(a.im, t.im);
    a.re = _mm256_add_ps(a.re, t.re);
    a.im = _mm256_add_ps(a.im, t.im);
}

// Twiddle m of the stage with half length h, from the four1 table: stage h
// holds 2h doubles from 2(h - 1) on, in chunks of min(h, 8) twiddles, the
// chunk's wr values, then its wi values.
inline const double *twiddle_wr(const double *table, unsigned long h, unsigned long m)
{
    const unsigned long chunk = h < 8 ? h : 8;
    return table + 2 * (h - 1) + 2 * (m - m % chunk) + m % chunk;
}

// Complex value k of the work array: v[2k], v[2k + 1].
TV_TARGET_AVX2 TV_INLINE Complex8 value(const __m256 *v, unsigned long k)
{
    return {v[2 * k], v[2 * k + 1]};
}
TV_TARGET_AVX2 TV_INLINE void put(__m256 *v, unsigned long k, const Complex8 &z)
{
    v[2 * k] = z.re;
    v[2 * k + 1] = z.im;
}

// The bit-reversal reordering of four1's first step.
TV_TARGET_AVX2 void reverse_order(__m256 *v, unsigned long nn)
{
    unsigned long j = 0;
    for (unsigned long i = 0; i < nn; ++i) {
        if (j > i) {
            std::swap(v[2 * i], v[2 * j]);
            std::swap(v[2 * i + 1], v[2 * j + 1]);
        }
        unsigned long m = nn >> 1;
        while (m >= 1 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
}

// One stage: the butterflies of twiddle (1, 0) first, then twiddle by
// twiddle, each twiddle broadcast once for all the butterflies that take it.
TV_TARGET_AVX2 void one_stage(__m256 *v, unsigned long nn, unsigned long h, const double *table)
{
    for (unsigned long s = 0; s < nn; s += 2 * h) {
        Complex8 a = value(v, s), b = value(v, s + h);
        butterfly(a, b, unit_product(b));
        put(v, s, a);
        put(v, s + h, b);
    }
    for (unsigned long m = 1; m < h; ++m) {
        const double *wr = twiddle_wr(table, h, m);
        const __m256d r = _mm256_broadcast_sd(wr), i = _mm256_broadcast_sd(wr + (h < 8 ? h : 8));
        for (unsigned long s = m; s < nn; s += 2 * h) {
            Complex8 a = value(v, s), b;
            butterfly(a, b, product_at(v + 2 * (s + h), r, i));
            put(v, s, a);
            put(v, s + h, b);
        }
    }
}

// four1 on the work array: bit reversal, then the stages h = 1, 2, ..., nn/2.
TV_TARGET_AVX2 void four1_block(__m256 *v, unsigned long nn, const double *table)
{
    reverse_order(v, nn);
    for (unsigned long h = 1; h < nn; h *= 2)
        one_stage(v, nn, h, table);
}

// ---------------------------------------------------------------- realft

// realft's separation step on frequencies k = 1..n/4-1 and their partners
// n/2 - k: the h-values in float, each output formed in double from them and
// rounded once.
TV_TARGET_AVX2 void separate_block(__m256 *v, unsigned long n, const double *wrs,
                                   const double *wis, float c1, float c2)
{
    const __m256 vc1 = _mm256_set1_ps(c1), vc2 = _mm256_set1_ps(c2), vnc2 = _mm256_set1_ps(-c2);
    const __m256d sign = _mm256_set1_pd(-0.0);
    // h1r, h1i, h2r, h2i of the eight lanes, read back in halves of four.
    alignas(32) float h[4][8];
    for (unsigned long k = 1; k < n / 4; ++k) {
        const Complex8 x = value(v, k), y = value(v, n / 2 - k);
        _mm256_store_ps(h[0], _mm256_mul_ps(vc1, _mm256_add_ps(x.re, y.re)));
        _mm256_store_ps(h[1], _mm256_mul_ps(vc1, _mm256_sub_ps(x.im, y.im)));
        _mm256_store_ps(h[2], _mm256_mul_ps(vnc2, _mm256_add_ps(x.im, y.im)));
        _mm256_store_ps(h[3], _mm256_mul_ps(vc2, _mm256_sub_ps(x.re, y.re)));
        const __m256d wr = _mm256_broadcast_sd(wrs + k), wi = _mm256_broadcast_sd(wis + k);
        float *top = reinterpret_cast<float *>(v + 2 * k);
        float *partner = reinterpret_cast<float *>(v + 2 * (n / 2 - k));
        for (int half = 0; half < 8; half += 4) {
            const __m256d h1r = _mm256_cvtps_pd(_mm_load_ps(h[0] + half));
            const __m256d h1i = _mm256_cvtps_pd(_mm_load_ps(h[1] + half));
            const __m256d h2r = _mm256_cvtps_pd(_mm_load_ps(h[2] + half));
            const __m256d h2i = _mm256_cvtps_pd(_mm_load_ps(h[3] + half));
            const __m256d wr_h2r = _mm256_mul_pd(wr, h2r), wi_h2i = _mm256_mul_pd(wi, h2i);
            const __m256d wr_h2i = _mm256_mul_pd(wr, h2i), wi_h2r = _mm256_mul_pd(wi, h2r);
            const __m256d minus_h1i = _mm256_xor_pd(h1i, sign);
            _mm_store_ps(top + half,
                         _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_add_pd(h1r, wr_h2r), wi_h2i)));
            _mm_store_ps(top + 8 + half,
                         _mm256_cvtpd_ps(_mm256_add_pd(_mm256_add_pd(h1i, wr_h2i), wi_h2r)));
            _mm_store_ps(partner + half,
                         _mm256_cvtpd_ps(_mm256_add_pd(_mm256_sub_pd(h1r, wr_h2r), wi_h2i)));
            _mm_store_ps(partner + 8 + half, _mm256_cvtpd_ps(_mm256_add_pd(
                                                 _mm256_add_pd(minus_h1i, wr_h2i), wi_h2r)));
        }
    }
}

TV_TARGET_AVX2 void realft_block(__m256 *v, unsigned long n, bool forward, const lane_twiddles &w)
{
    const float c1 = 0.5f, c2 = forward ? -0.5f : 0.5f;
    if (forward)
        four1_block(v, n / 2, w.four1);
    separate_block(v, n, w.wr, w.wi, c1, c2);
    const __m256 h1r = v[0];
    if (forward) {
        v[0] = _mm256_add_ps(h1r, v[1]);
        v[1] = _mm256_sub_ps(h1r, v[1]);
    } else {
        const __m256 vc1 = _mm256_set1_ps(c1);
        v[0] = _mm256_mul_ps(vc1, _mm256_add_ps(h1r, v[1]));
        v[1] = _mm256_mul_ps(vc1, _mm256_sub_ps(h1r, v[1]));
        four1_block(v, n / 2, w.four1);
    }
}

}  // namespace

TV_TARGET_AVX2 bool four1_lanes_avx2(const float *in, float *out, const lane_layout &layout,
                                     unsigned long nn, const lane_twiddles &w, float *work)
{
    __m256 *v = reinterpret_cast<__m256 *>(work);
    const block_io io{layout, 2 * nn};
    load_block(in, io, v);
    four1_block(v, nn, w.four1);
    store_block(v, io, out);
    return true;
}

TV_TARGET_AVX2 bool realft_lanes_avx2(const float *in, float *out, const lane_layout &layout,
                                      unsigned long n, int isign, const lane_twiddles &w,
                                      float *work)
{
    __m256 *v = reinterpret_cast<__m256 *>(work);
    const block_io io{layout, n};
    load_block(in, io, v);
    realft_block(v, n, isign == 1, w);
    store_block(v, io, out);
    return true;
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
