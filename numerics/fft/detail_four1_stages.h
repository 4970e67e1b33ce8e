#ifndef TESSIVANE_DETAIL_FOUR1_STAGES_H
#define TESSIVANE_DETAIL_FOUR1_STAGES_H

// The stages of four1's vector paths after the first sweep, and the entry
// point (see detail_four1_kernels.h for what the paths share and how the
// including file chooses the instruction set).
//
// Each group of eight butterflies converts its bottom operands to double,
// forms the twiddle products in double, rounds them to float and does the
// float sums; the conversions share the CPU's floating-point adders with the
// sums and set the pace. Operands converted straight from memory cost less
// than ones extracted from registers, and one stage at a time keeps every
// operand in a register of its own (several stages in registers spill on the
// AVX2 path, which has 16). So the stages run one at a time over data that
// stays in L1:
// - stages h = 8 .. kLowBlock/2 block by block, each block of kLowBlock
//   values through all of them;
// - the larger stages of a part of part_of(nn) values in chunks of up to
//   kChunk stages: the chunk's independent butterfly networks (rows of
//   values at distance H, the chunk's first h) run kColumn neighbouring
//   values at a time through all the chunk's stages;
// - the stages beyond the part (from 2^17 values on) over the whole array,
//   where a sweep costs a pass through memory beyond L2, three at a time in
//   registers (split_pass): there that beat the columns.
// The AVX-512 path, whose 32 registers hold three stages without spilling,
// keeps the register sweeps for the whole transform up to 2^14 values, and
// 16 and 32 points on every path keep their one register sweep.

#include "detail_four1_kernels.h"

#include <algorithm>

namespace tessivane {
namespace detail {
namespace {

// Values per block of the smaller stages (16 KiB of data).
const unsigned long kLowBlock = 2048;
// Values per part whose stages all run before the larger ones: at most
// 2^16 (512 KiB, within L2), and as many as leave a multiple of three stages
// for the sweeps over the whole array (split_pass takes three per sweep).
inline unsigned long part_of(unsigned long nn)
{
    const unsigned kLogPart = 16;
    const unsigned log2nn = log2_of(nn);
    if (log2nn <= kLogPart)
        return nn;
    return nn >> ((log2nn - kLogPart + 2) / 3 * 3);
}
// The AVX-512 path sweeps three stages at a time in registers up to this
// length (see the entry point).
const unsigned long kWideSweepsUpTo = 1UL << 14;
// Neighbouring values per column of the larger stages (512 bytes per row).
const unsigned long kColumn = 64;
// Stages per column chunk: 2^kChunk rows (4 KiB) are in L1 at once. The rows
// lie a power of two apart and share cache sets: eight of them fit the
// associativity of every L1 the path runs on, more were measurably slower.
const unsigned kChunk = 3;

// Stage h on `count` values (a multiple of 8) from top on, with partners h
// values further on and twiddles m, m + 1, ... from w (the chunk of m);
// Finish: the transform's last stage, which interleaves.
template <bool Finish>
TV_FOUR1_TARGET void stage_segment(float *top, unsigned long h, const double *w,
                                   unsigned long count)
{
    float *bottom = top + 2 * h;
    for (unsigned long m = 0; m < 2 * count; m += 16) {
        const Split t = twiddle_product_at(bottom + m, load_twiddles(w + m));
        Split a = load_block(top + m);
        Split b;
        butterfly(a, b, t);
        store_block<Finish>(top + m, a);
        store_block<Finish>(bottom + m, b);
    }
}

TV_FOUR1_TARGET TV_INLINE void stage_segment(float *top, unsigned long h, const double *w,
                                             unsigned long count, bool finish)
{
    if (finish)
        stage_segment<true>(top, h, w, count);
    else
        stage_segment<false>(top, h, w, count);
}

// Stages h = 8 .. n/2 on the n values at x (n a power of two, 16 or more);
// `finish`: stage n/2 is the transform's last.
TV_FOUR1_TARGET void single_stages(float *x, unsigned long n, const double *table, bool finish)
{
    const unsigned long block = std::min(n, kLowBlock);
    for (unsigned long b = 0; b < n; b += block)
        for (unsigned long h = 8; h < block; h <<= 1)
            for (unsigned long s = b; s < b + block; s += 2 * h)
                stage_segment(x + 2 * s, h, stage(table, h), h, finish && 2 * h == n);
    unsigned long first = block;
    while (first < n) {
        unsigned k = 0;
        while (k < kChunk && (first << k) < n)
            ++k;
        const unsigned long span = first << k;
        const unsigned long width = std::min(first, kColumn);
        for (unsigned long s = 0; s < n; s += span)
            for (unsigned long c = 0; c < first; c += width)
                for (unsigned j = 0; j < k; ++j) {
                    // Stage h pairs value s + q 2h + r + c with the one h
                    // further on, twiddle r + c, for rows r = 0, first, ... < h.
                    const unsigned long h = first << j;
                    const double *w = stage(table, h);
                    for (unsigned long q = s; q < s + span; q += 2 * h)
                        for (unsigned long r = c; r < h; r += first)
                            stage_segment(x + 2 * (q + r), h, w + 2 * r, width,
                                          finish && 2 * h == n);
                }
        first = span;
    }
}

// Stages h, 2h, ..., 2^(Stages-1) h in one sweep: each group of 2^Stages
// blocks at distance h goes through all those stages' butterflies in
// registers. At stage j the pair (i, i + 2^j) takes the twiddle of offset
// m + (i mod 2^j) h.
template <int Stages, bool Finish>
TV_FOUR1_TARGET void split_pass(float *x, unsigned long n, unsigned long h, const double *table)
{
    constexpr int kBlocks = 1 << Stages;
    const double *w[Stages];
    for (int j = 0; j < Stages; ++j)
        w[j] = stage(table, h << j);
    for (unsigned long s = 0; s < n; s += kBlocks * h) {
        for (unsigned long m = 0; m < h; m += 8) {
            float *p = x + 2 * (s + m);
            // The first stage takes its bottom operands straight from memory
            // into the twiddle products.
            Split v[kBlocks];
            const Twiddles first = load_twiddles(w[0] + 2 * m);
#pragma GCC unroll 8
            for (int i = 0; i < kBlocks; i += 2) {
                v[i] = load_block(p + 2 * h * i);
                butterfly(v[i], v[i + 1], twiddle_product_at(p + 2 * h * (i + 1), first));
            }
#pragma GCC unroll 3
            for (int j = 1; j < Stages; ++j) {
                const int d = 1 << j;
#pragma GCC unroll 8
                for (int i = 0; i < kBlocks; ++i) {
                    if ((i & d) != 0)
                        continue;
                    const Twiddles t = load_twiddles(w[j] + 2 * (m + (i & (d - 1)) * h));
                    butterfly(v[i], v[i + d], twiddle_product(v[i + d], t));
                }
            }
#pragma GCC unroll 8
            for (int i = 0; i < kBlocks; ++i)
                store_block<Finish>(p + 2 * h * i, v[i]);
        }
    }
}

template <int Stages>
TV_FOUR1_TARGET void split_pass(float *x, unsigned long n, unsigned long h, const double *table,
                                bool finish)
{
    if (finish)
        split_pass<Stages, true>(x, n, h, table);
    else
        split_pass<Stages, false>(x, n, h, table);
}

// Stages h = first, 2 first, ..., last on n values, three per sweep while
// three are left; `finish`: stage `last` is the transform's last, whose sweep
// interleaves.
TV_FOUR1_TARGET void split_passes(float *x, unsigned long n, unsigned long first,
                                  unsigned long last, const double *table, bool finish)
{
    unsigned long h = first;
    while (h <= last) {
        if (4 * h <= last) {
            split_pass<3>(x, n, h, table, finish && 4 * h == last);
            h <<= 3;
        } else if (2 * h <= last) {
            split_pass<2>(x, n, h, table, finish && 2 * h == last);
            h <<= 2;
        } else {
            split_pass<1>(x, n, h, table, finish && h == last);
            h <<= 1;
        }
    }
}

}  // namespace

// The whole transform; false (nothing changed) when the length is below
// eight or the twiddle table cannot be had.
bool TV_FOUR1_ENTRY(float data[], unsigned long nn, int isign)
{
    if (nn < 8)
        return false;
    const TwiddlePtr tables = four1_twiddles(nn, isign);
    if (!tables)
        return false;
    const double *table = tables->d;
    float *x = data + 1;
    if (nn >= 64) {
        first_sweep_tiles(x, nn, table);
    } else {
        first_sweep_small(x, nn, table);
        // At 16 and 32 points the one or two stages left take one sweep in
        // registers, without the loops of the larger lengths.
        if (nn > 8)
            split_passes(x, nn, 8, nn / 2, table, true);
        return true;
    }
#if TV_FOUR1_WIDE
    // With 32 vector registers three stages fit in registers without
    // spilling; up to 2^14 values (128 KiB) those sweeps measured as fast as
    // the single stages, beyond that the single stages won.
    if (nn <= kWideSweepsUpTo) {
        split_passes(x, nn, 8, nn / 2, table, true);
        return true;
    }
#endif
    const unsigned long part = part_of(nn);
    for (unsigned long s = 0; s < nn; s += part)
        single_stages(x + 2 * s, part, table, part == nn);
    if (part < nn)
        split_passes(x, nn, part, nn / 2, table, true);
    return true;
}

}  // namespace detail
}  // namespace tessivane

#endif
