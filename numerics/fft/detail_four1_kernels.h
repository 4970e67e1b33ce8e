#ifndef TESSIVANE_DETAIL_FOUR1_KERNELS_H
#define TESSIVANE_DETAIL_FOUR1_KERNELS_H

// The vector paths of four1 (four1_avx2.cpp and four1_avx512.cpp compile
// these kernels, each for its instruction set). They perform exactly the
// operations of the portable code in fft.cpp, on the same operands and with
// the same float/double steps, so every result has the same bits; only the
// order of independent butterflies, their grouping into vector lanes and the
// memory traffic differ:
// - twiddles come from tables filled once by the same double recurrence;
// - the twiddle products run in 256- or 512-bit double lanes (wr*re - wi*im
//   and wr*im + wi*re, each product and sum rounded to double as in scalar
//   code, then rounded once to float); the butterfly sums run in float lanes;
// - the stages after the first sweep run one at a time with every operand
//   read from memory, the smaller ones block by block and the larger ones
//   column by column while the block or column stays in L1, or three at a
//   time in registers where that measured faster (detail_four1_stages.h);
// - the bit reversal moves whole tiles, so each cache line is read once, and
//   the first three stages run on each tile on the way;
// - the twiddle (1, 0) that starts each stage runs in float where that gives
//   the double result's bits for every input (see unit_twiddle_product).
// No fused multiply-add is ever used (neither target includes FMA). The
// other FFT paths are in fourn_avx2.cpp and realft_avx2.cpp.
//
// The including file (detail_four1_stages.h) is included in turn by a file
// that defines TV_FOUR1_TARGET, the target attribute of every kernel here,
// TV_FOUR1_WIDE (1: the twiddle products run in 512-bit lanes) and
// TV_FOUR1_ENTRY, the name of the entry point.

#if !defined(TV_FOUR1_TARGET) || !defined(TV_FOUR1_WIDE) || !defined(TV_FOUR1_ENTRY)
#error "define TV_FOUR1_TARGET, TV_FOUR1_WIDE and TV_FOUR1_ENTRY before including this"
#endif

#include "detail_fft_avx2.h"

#include <immintrin.h>

#include <algorithm>

namespace tessivane {
namespace detail {
namespace {

// ---------------------------------------------------------------- four1
//
// Between its first and its last sweep the transform keeps the array in
// blocks of eight complex values, each block holding the eight real parts and
// then the eight imaginary parts (the same 64 bytes as the eight values
// interleaved). Every butterfly then runs in one vector lane without
// shuffles; the first sweep (bit reversal and stages h = 1, 2, 4) builds this
// layout and the sweep of the last stage undoes it.

// Eight complex values, real and imaginary parts apart.
struct Split {
    __m256 re;
    __m256 im;
};

// Stage h of the table holds 2h doubles from 2(h - 1) on, in chunks of
// min(h, 8) twiddles: their wr values, then their wi values.
#if TV_FOUR1_WIDE
// The twiddles of eight butterflies in double, one 512-bit register each.
struct Twiddles {
    __m512d wr, wi;
};

TV_FOUR1_TARGET TV_INLINE Twiddles broadcast_twiddle(const double *wr, const double *wi)
{
    return {_mm512_set1_pd(*wr), _mm512_set1_pd(*wi)};
}

TV_FOUR1_TARGET TV_INLINE Twiddles load_twiddles(const double *w)
{
    return {_mm512_loadu_pd(w), _mm512_loadu_pd(w + 8)};
}
#else
// The twiddles of eight butterflies in double: lanes 0-3 and 4-7 of wr, wi.
struct Twiddles {
    __m256d wr0, wr1, wi0, wi1;
};

TV_FOUR1_TARGET TV_INLINE Twiddles broadcast_twiddle(const double *wr, const double *wi)
{
    const __m256d r = _mm256_broadcast_sd(wr);
    const __m256d i = _mm256_broadcast_sd(wi);
    return {r, r, i, i};
}

TV_FOUR1_TARGET TV_INLINE Twiddles load_twiddles(const double *w)
{
    return {_mm256_loadu_pd(w), _mm256_loadu_pd(w + 4), _mm256_loadu_pd(w + 8),
            _mm256_loadu_pd(w + 12)};
}
#endif

inline const double *stage(const double *table, unsigned long h)
{
    return table + 2 * (h - 1);
}

#if TV_FOUR1_WIDE
// The twiddle products wr*re - wi*im and wr*im + wi*re of eight values, the
// products and the sum in double, rounded once to float.
TV_FOUR1_TARGET TV_INLINE Split product_of(__m512d re, __m512d im, const Twiddles &w)
{
    return {narrowed(_mm512_sub_pd(_mm512_mul_pd(w.wr, re), _mm512_mul_pd(w.wi, im))),
            narrowed(_mm512_add_pd(_mm512_mul_pd(w.wr, im), _mm512_mul_pd(w.wi, re)))};
}

TV_FOUR1_TARGET TV_INLINE Split twiddle_product(const Split &b, const Twiddles &w)
{
    return product_of(widened(b.re), widened(b.im), w);
}

// The same for the split block at p, converted straight from memory.
TV_FOUR1_TARGET TV_INLINE Split twiddle_product_at(const float *p, const Twiddles &w)
{
    return product_of(widened(_mm256_loadu_ps(p)), widened(_mm256_loadu_ps(p + 8)), w);
}
#else
TV_FOUR1_TARGET TV_INLINE __m128 real_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(wr, re), _mm256_mul_pd(wi, im)));
}

TV_FOUR1_TARGET TV_INLINE __m128 imaginary_part(__m256d wr, __m256d re, __m256d wi, __m256d im)
{
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(wr, im), _mm256_mul_pd(wi, re)));
}

// The twiddle products wr*re - wi*im and wr*im + wi*re of eight values, the
// products and the sum in double, rounded once to float.
TV_FOUR1_TARGET TV_INLINE Split product_of(__m256d re0, __m256d re1, __m256d im0, __m256d im1,
                                           const Twiddles &w)
{
    return {join(real_part(w.wr0, re0, w.wi0, im0), real_part(w.wr1, re1, w.wi1, im1)),
            join(imaginary_part(w.wr0, re0, w.wi0, im0), imaginary_part(w.wr1, re1, w.wi1, im1))};
}

TV_FOUR1_TARGET TV_INLINE Split twiddle_product(const Split &b, const Twiddles &w)
{
    return product_of(_mm256_cvtps_pd(_mm256_castps256_ps128(b.re)),
                      _mm256_cvtps_pd(_mm256_extractf128_ps(b.re, 1)),
                      _mm256_cvtps_pd(_mm256_castps256_ps128(b.im)),
                      _mm256_cvtps_pd(_mm256_extractf128_ps(b.im, 1)), w);
}

// The same for the split block at p, converted straight from memory (no
// extraction of the upper halves).
TV_FOUR1_TARGET TV_INLINE Split twiddle_product_at(const float *p, const Twiddles &w)
{
    return product_of(_mm256_cvtps_pd(_mm_loadu_ps(p)), _mm256_cvtps_pd(_mm_loadu_ps(p + 4)),
                      _mm256_cvtps_pd(_mm_loadu_ps(p + 8)), _mm256_cvtps_pd(_mm_loadu_ps(p + 12)),
                      w);
}
#endif

// The same for the twiddle (1, 0) that starts every stage. 1*re and 1*im are
// exact, and so is every operation left (a product with 0 is a signed zero or
// NaN, and a sum with a signed zero is exact), so float operations give the
// bits of the double ones for every input.
TV_FOUR1_TARGET TV_INLINE Split unit_twiddle_product(const Split &b)
{
    const __m256 zero = _mm256_setzero_ps();
    return {_mm256_sub_ps(b.re, _mm256_mul_ps(zero, b.im)),
            _mm256_add_ps(b.im, _mm256_mul_ps(zero, b.re))};
}

TV_FOUR1_TARGET TV_INLINE void butterfly(Split &top, Split &bottom, const Split &t)
{
    butterfly(top.re, bottom.re, t.re);
    butterfly(top.im, bottom.im, t.im);
}

TV_FOUR1_TARGET TV_INLINE Split load_block(const float *p)
{
    return {_mm256_loadu_ps(p), _mm256_loadu_ps(p + 8)};
}

// Stores a block split, or (Finish) interleaved again.
template <bool Finish>
TV_FOUR1_TARGET TV_INLINE void store_block(float *p, const Split &v)
{
    if (Finish) {
        const __m256 lo = _mm256_unpacklo_ps(v.re, v.im);  // values 0, 1 | 4, 5
        const __m256 hi = _mm256_unpackhi_ps(v.re, v.im);  // values 2, 3 | 6, 7
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    } else {
        _mm256_storeu_ps(p, v.re);
        _mm256_storeu_ps(p + 8, v.im);
    }
}

// Rows of eight lanes transposed into split blocks: block i gets lane i.
TV_FOUR1_TARGET TV_INLINE void transpose8(Split r[8])
{
    __m256 re[8], im[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        re[j] = r[j].re;
        im[j] = r[j].im;
    }
    detail::transpose8(re);
    detail::transpose8(im);
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i)
        r[i] = {re[i], im[i]};
}

// The twiddles of stages 2 and 4 other than (1, 0), as broadcasts.
struct FirstTwiddles {
    Twiddles w2;
    Twiddles w4[4];
};

TV_FOUR1_TARGET TV_INLINE FirstTwiddles first_twiddles(const double *table)
{
    FirstTwiddles f;
    const double *w2 = stage(table, 2);
    const double *w4 = stage(table, 4);
    f.w2 = broadcast_twiddle(w2 + 1, w2 + 3);
    for (int m = 1; m < 4; ++m)
        f.w4[m] = broadcast_twiddle(w4 + m, w4 + 4 + m);
    return f;
}

// Stages h = 1, 2, 4 on rows r[j] holding, lane by lane, the values whose
// index ends in the three bits j.
TV_FOUR1_TARGET TV_INLINE void first_stages(Split r[8], const FirstTwiddles &f)
{
#pragma GCC unroll 8
    for (int j = 0; j < 8; j += 2)
        butterfly(r[j], r[j + 1], unit_twiddle_product(r[j + 1]));
#pragma GCC unroll 8
    for (int j = 0; j < 8; j += 4) {
        butterfly(r[j], r[j + 2], unit_twiddle_product(r[j + 2]));
        butterfly(r[j + 1], r[j + 3], twiddle_product(r[j + 3], f.w2));
    }
    butterfly(r[0], r[4], unit_twiddle_product(r[4]));
#pragma GCC unroll 8
    for (int j = 1; j < 4; ++j)
        butterfly(r[j], r[j + 4], twiddle_product(r[j + 4], f.w4[j]));
}

const unsigned char kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The value of a tile row in each lane after load_tile.
const unsigned char kLaneValue[8] = {0, 1, 4, 5, 2, 3, 6, 7};

// Index (a, b, c), with a and c of three bits each, reverses to
// (rev c, rev b, rev a): tile b (rows a of eight values c, each row one block
// of the array) holds the inputs of the blocks (rev c, rev b), each row a
// feeding row rev a of the first stages. `rows` is the distance of rows a
// in floats.
TV_FOUR1_TARGET TV_INLINE void load_tile(const float *x, unsigned long rows, unsigned long b,
                                         Split r[8])
{
#pragma GCC unroll 8
    for (int a = 0; a < 8; ++a) {
        const float *p = x + a * rows + 16 * b;
        const __m256 v0 = _mm256_loadu_ps(p);
        const __m256 v1 = _mm256_loadu_ps(p + 8);
        r[kRev3[a]] = {_mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0)),
                       _mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1))};
    }
}

// The partners rev b of the tiles b in group `base` (see first_sweep_tiles):
// for each l, 2^g neighbouring tiles.
TV_FOUR1_TARGET void prefetch_partners(const float *x, unsigned long rows, unsigned mid, unsigned g,
                                       unsigned long base)
{
    const unsigned long bytes = 64UL << g;
    for (unsigned long l = 0; l < (1UL << g); ++l) {
        const unsigned long first = reverse_bits(base << g | l, mid) & ~((1UL << g) - 1);
        for (int a = 0; a < 8; ++a) {
            const char *p = reinterpret_cast<const char *>(x + a * rows + 16 * first);
            for (unsigned long at = 0; at < bytes; at += 64)
                _mm_prefetch(p + at, _MM_HINT_T0);
            _mm_prefetch(p + bytes - 1, _MM_HINT_T0);
        }
    }
}

// Stores the transformed tile b (now rows of the blocks) at tile rb's place.
TV_FOUR1_TARGET TV_INLINE void store_tile(float *x, unsigned long rows, unsigned long rb,
                                          Split r[8])
{
    transpose8(r);
#pragma GCC unroll 8
    for (int lane = 0; lane < 8; ++lane)
        store_block<false>(x + kRev3[kLaneValue[lane]] * rows + 16 * rb, r[lane]);
}

// The first sweep for n >= 64: tiles b and rev b exchange places.
TV_FOUR1_TARGET void first_sweep_tiles(float *x, unsigned long n, const double *table)
{
    const FirstTwiddles f = first_twiddles(table);
    const unsigned mid = log2_of(n) - 6;
    const unsigned long rows = n / 4;
    // Tiles go in groups of 2^g x 2^g: tile b = (t, base, l) with t and l of
    // g bits, so that l runs over neighbouring tiles b and t over neighbouring
    // partners rev b, and the cache lines shared by neighbouring tiles are
    // used while they are in cache.
    const unsigned g = mid >= 4 ? 2 : 0;
    const unsigned long bases = 1UL << (mid - 2 * g);
    const unsigned long side = 1UL << g;
    Split t1[8], t2[8];
    for (unsigned long base = 0; base < bases; ++base) {
        // The partners of the next group are scattered in bit-reversed
        // order, which no hardware prefetcher follows: ask for them now.
        if (base + 1 < bases)
            prefetch_partners(x, rows, mid, g, base + 1);
        for (unsigned long t = 0; t < side; ++t)
            for (unsigned long l = 0; l < side; ++l) {
                const unsigned long b = (t << (mid - g)) | (base << g) | l;
                const unsigned long rb = reverse_bits(b, mid);
                if (rb < b)
                    continue;
                load_tile(x, rows, b, t1);
                first_stages(t1, f);
                if (rb == b) {
                    store_tile(x, rows, rb, t1);
                    continue;
                }
#if TV_FOUR1_WIDE
                load_tile(x, rows, rb, t2);
                first_stages(t2, f);
                store_tile(x, rows, b, t2);
                store_tile(x, rows, rb, t1);
#else
                // Sixteen registers hold one tile: tile b's result waits in
                // a local copy while tile rb is transformed.
                alignas(64) float waiting[128];
                store_tile(waiting, 16, 0, t1);
                load_tile(x, rows, rb, t2);
                first_stages(t2, f);
                store_tile(x, rows, b, t2);
#pragma GCC unroll 8
                for (int a = 0; a < 8; ++a) {
                    float *to = x + a * rows + 16 * rb;
                    _mm256_storeu_ps(to, _mm256_load_ps(waiting + 16 * a));
                    _mm256_storeu_ps(to + 8, _mm256_load_ps(waiting + 16 * a + 8));
                }
#endif
            }
    }
}

// Row j of the first sweep for n = 8Q values (Q = 1, 2, 4): value 8q + j
// comes from index rev(8q + j) = rev3(j) Q + rev_Q(q), so the row is the Q
// neighbouring values from rev3(j) Q on, lane q taking value rev_Q(q) of
// them. Lanes Q.. repeat values and are never stored.
TV_FOUR1_TARGET TV_INLINE Split small_row(const float *x, unsigned long values, int j)
{
    const float *p = x + 2 * kRev3[j] * values;
    if (values == 4) {
        const __m256 v = _mm256_loadu_ps(p);
        return {_mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 4, 2, 6, 0, 4, 2, 6)),
                _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(1, 5, 3, 7, 1, 5, 3, 7))};
    }
    if (values == 2) {
        const __m128 v = _mm_loadu_ps(p);
        const __m128 re = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 im = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 3, 1));
        return {join(re, re), join(im, im)};
    }
    return {_mm256_set1_ps(p[0]), _mm256_set1_ps(p[1])};
}

// The first sweep for n = 8, 16, 32: one row per lane j, lanes n/8.. unused.
TV_FOUR1_TARGET void first_sweep_small(float *x, unsigned long n, const double *table)
{
    const unsigned long values = n / 8;
    Split r[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
        r[j] = small_row(x, values, j);
    first_stages(r, first_twiddles(table));
    transpose8(r);
    if (n == 8) {
        // The last stage done: interleave again.
        store_block<true>(x, r[0]);
        return;
    }
    for (unsigned long q = 0; q < values; ++q)
        store_block<false>(x + 16 * q, r[q]);
}

}  // namespace
}  // namespace detail
}  // namespace tessivane

#endif
