// Internal to libtessivane (not installed): the body of the lane FFTs
// (detail_fft_lanes.h), written once for any vector width. A kernel source
// defines TV_LANES_TARGET (its target attribute) and a traits class V, then
// includes this header inside its unnamed namespace, so each width gets its
// own copy compiled for its own instruction set.
//
// The block's floats sit in a work array of vectors: vector j (at work +
// j * V::N) holds float j of every series of the block, so each butterfly of
// the single call becomes one butterfly of vectors with the same twiddle in
// every lane. Each lane takes the single call's operations in its order:
// - the twiddle products in double, the lane's floats converted, multiplied
//   and summed in double and rounded once to float, in halves of V::H lanes
//   read straight from the work array (a conversion from memory needs no
//   shuffle); the butterfly sums in float;
// - the twiddle (1, 0) that starts each stage in float, which gives the double
//   result's bits for every input (1*re and 1*im are exact, a product with 0 is
//   a signed zero or NaN, and a sum with a signed zero is exact);
// - realft's separation step with the float h-values and each output formed
//   in double and rounded once.
// No fused multiply-add is ever used: the library is built with
// -ffp-contract=off and the kernels call separate multiplies and adds.
//
// V provides: N lanes, H lanes per double vector; vectors vec (N floats),
// half (H floats), dvec (H doubles); load/store (aligned, work array),
// add/sub/mul/set1/zero on vec; hload/hstore/hadd/hsub on half; widen
// (H floats from memory to dvec), narrow (dvec to half, rounding once),
// join (two halves to a vec), dset1/dadd/dsub/dmul/dneg on dvec; loadu/storeu
// (the caller's arrays); and load_rows/store_rows (N series one after the
// other) and split_complex/join_complex (a sample of N complex values side by
// side), which move blocks between the caller's layout and the work array.

// ---------------------------------------------------------------- four1

// Float j of the work array.
template <class V>
TV_LANES_TARGET TV_INLINE float *at(float *v, unsigned long j)
{
    return v + j * V::N;
}

// b = a - t, a = a + t, for the complex values a (re at pa[0], im at pa[N])
// and b, with t the twiddle product of b: done in halves.
template <class V>
TV_LANES_TARGET TV_INLINE void butterfly(float *pa, float *pb, typename V::dvec wr,
                                         typename V::dvec wi)
{
    typename V::half tr[2], ti[2];
#pragma GCC unroll 2
    for (int h = 0; h < 2; ++h) {
        const typename V::dvec re = V::widen(pb + h * V::H), im = V::widen(pb + V::N + h * V::H);
        tr[h] = V::narrow(V::dsub(V::dmul(wr, re), V::dmul(wi, im)));
        ti[h] = V::narrow(V::dadd(V::dmul(wr, im), V::dmul(wi, re)));
    }
    const typename V::vec t_re = V::join(tr[0], tr[1]), t_im = V::join(ti[0], ti[1]);
    const typename V::vec ar = V::load(pa), ai = V::load(pa + V::N);
    V::store(pb, V::sub(ar, t_re));
    V::store(pb + V::N, V::sub(ai, t_im));
    V::store(pa, V::add(ar, t_re));
    V::store(pa + V::N, V::add(ai, t_im));
}

// The same with the twiddle (1, 0), in float: t = (re - 0*im, im + 0*re).
template <class V>
TV_LANES_TARGET TV_INLINE void unit_butterfly(float *pa, float *pb)
{
    const typename V::vec zero = V::zero();
    const typename V::vec re = V::load(pb), im = V::load(pb + V::N);
    const typename V::vec tr = V::sub(re, V::mul(zero, im)), ti = V::add(im, V::mul(zero, re));
    const typename V::vec ar = V::load(pa), ai = V::load(pa + V::N);
    V::store(pb, V::sub(ar, tr));
    V::store(pb + V::N, V::sub(ai, ti));
    V::store(pa, V::add(ar, tr));
    V::store(pa + V::N, V::add(ai, ti));
}

// Swaps the complex values i and j of the work array.
template <class V>
TV_LANES_TARGET TV_INLINE void swap_values(float *v, unsigned long i, unsigned long j)
{
    for (unsigned long part = 0; part < 2; ++part) {
        float *p = at<V>(v, 2 * i + part), *q = at<V>(v, 2 * j + part);
        const typename V::vec x = V::load(p);
        V::store(p, V::load(q));
        V::store(q, x);
    }
}

// The bit-reversal reordering of four1's first step.
template <class V>
TV_LANES_TARGET void reverse_order(float *v, unsigned long nn)
{
    unsigned long j = 0;
    for (unsigned long i = 0; i < nn; ++i) {
        if (j > i)
            swap_values<V>(v, i, j);
        unsigned long m = nn >> 1;
        while (m >= 1 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
}

// Twiddle m of the stage with half length h in the four1 table: stage h holds
// 2h doubles from 2(h - 1) on, in chunks of min(h, 8) twiddles, the chunk's
// wr values, then its wi values.
inline const double *twiddle_wr(const double *table, unsigned long h, unsigned long m)
{
    const unsigned long chunk = h < 8 ? h : 8;
    return table + 2 * (h - 1) + 2 * (m - m % chunk) + m % chunk;
}

// One stage: the butterflies of twiddle (1, 0) first, then twiddle by twiddle,
// each broadcast once for all the butterflies that take it.
template <class V>
TV_LANES_TARGET void one_stage(float *v, unsigned long nn, unsigned long h, const double *table)
{
    for (unsigned long s = 0; s < nn; s += 2 * h)
        unit_butterfly<V>(at<V>(v, 2 * s), at<V>(v, 2 * (s + h)));
    for (unsigned long m = 1; m < h; ++m) {
        const double *wr = twiddle_wr(table, h, m);
        const typename V::dvec r = V::dset1(wr[0]), i = V::dset1(wr[h < 8 ? h : 8]);
        for (unsigned long s = m; s < nn; s += 2 * h)
            butterfly<V>(at<V>(v, 2 * s), at<V>(v, 2 * (s + h)), r, i);
    }
}

// four1 on the work array: bit reversal, then the stages h = 1, 2, ..., nn/2.
template <class V>
TV_LANES_TARGET void four1_block(float *v, unsigned long nn, const double *table)
{
    reverse_order<V>(v, nn);
    for (unsigned long h = 1; h < nn; h *= 2)
        one_stage<V>(v, nn, h, table);
}

// ---------------------------------------------------------------- realft

// realft's separation step on frequencies k = 1..n/4-1 and their partners
// n/2 - k: the h-values in float, kept in a small array from which their
// halves are widened; each output formed in double and rounded once.
template <class V>
TV_LANES_TARGET void separate_block(float *v, unsigned long n, const double *wrs, const double *wis,
                                    float c1, float c2)
{
    using vec = typename V::vec;
    using dvec = typename V::dvec;
    const vec vc1 = V::set1(c1), vc2 = V::set1(c2), vnc2 = V::set1(-c2);
    alignas(64) float h[4][V::N];
    for (unsigned long k = 1; k < n / 4; ++k) {
        float *top = at<V>(v, 2 * k), *partner = at<V>(v, n - 2 * k);
        const vec xr = V::load(top), xi = V::load(top + V::N);
        const vec yr = V::load(partner), yi = V::load(partner + V::N);
        V::store(h[0], V::mul(vc1, V::add(xr, yr)));
        V::store(h[1], V::mul(vc1, V::sub(xi, yi)));
        V::store(h[2], V::mul(vnc2, V::add(xi, yi)));
        V::store(h[3], V::mul(vc2, V::sub(xr, yr)));
        const dvec wr = V::dset1(wrs[k]), wi = V::dset1(wis[k]);
#pragma GCC unroll 2
        for (int q = 0; q < V::N; q += V::H) {
            const dvec h1r = V::widen(h[0] + q), h1i = V::widen(h[1] + q);
            const dvec h2r = V::widen(h[2] + q), h2i = V::widen(h[3] + q);
            const dvec wr_h2r = V::dmul(wr, h2r), wi_h2i = V::dmul(wi, h2i);
            const dvec wr_h2i = V::dmul(wr, h2i), wi_h2r = V::dmul(wi, h2r);
            V::hstore(top + q, V::narrow(V::dsub(V::dadd(h1r, wr_h2r), wi_h2i)));
            V::hstore(top + V::N + q, V::narrow(V::dadd(V::dadd(h1i, wr_h2i), wi_h2r)));
            V::hstore(partner + q, V::narrow(V::dadd(V::dsub(h1r, wr_h2r), wi_h2i)));
            V::hstore(partner + V::N + q,
                      V::narrow(V::dadd(V::dadd(V::dneg(h1i), wr_h2i), wi_h2r)));
        }
    }
}

template <class V>
TV_LANES_TARGET void realft_block(float *v, unsigned long n, bool forward, const lane_twiddles &w)
{
    using vec = typename V::vec;
    const float c1 = 0.5f, c2 = forward ? -0.5f : 0.5f;
    if (forward)
        four1_block<V>(v, n / 2, w.four1);
    separate_block<V>(v, n, w.wr, w.wi, c1, c2);
    // F_0 and F_{n/2} (forward), or their recombination (inverse).
    const vec h1r = V::load(v), second = V::load(v + V::N);
    if (forward) {
        V::store(v, V::add(h1r, second));
        V::store(v + V::N, V::sub(h1r, second));
    } else {
        const vec vc1 = V::set1(c1);
        V::store(v, V::mul(vc1, V::add(h1r, second)));
        V::store(v + V::N, V::mul(vc1, V::sub(h1r, second)));
        four1_block<V>(v, n / 2, w.four1);
    }
}

// ---------------------------------------------------------------- blocks

// Any layout, float by float.
template <class V>
TV_LANES_TARGET void gather_block(const float *first, const lane_layout &L, std::size_t count,
                                  float *v)
{
    for (std::size_t j = 0; j < count; ++j) {
        const float *p = first + float_offset(L, j);
        for (int l = 0; l < V::N; ++l)
            at<V>(v, j)[l] = p[l * L.series];
    }
}

template <class V>
TV_LANES_TARGET void scatter_block(const float *v, const lane_layout &L, std::size_t count,
                                   float *first)
{
    for (std::size_t j = 0; j < count; ++j) {
        float *p = first + float_offset(L, j);
        for (int l = 0; l < V::N; ++l)
            p[l * L.series] = v[j * V::N + l];
    }
}

// The N series of a block one after the other (rows), or side by side
// (columns: real samples, or complex samples of two floats).
inline bool rows_of(const lane_layout &L, std::size_t count)
{
    return count % 8 == 0 && L.sample == static_cast<std::ptrdiff_t>(L.width);
}
inline bool side_by_side(const lane_layout &L)
{
    return L.series == static_cast<std::ptrdiff_t>(L.width);
}

// Side by side, sample by sample. Each sample of a block usually lies on a
// page of its own, which no hardware prefetcher follows: the sample
// kAhead samples on is asked for (for writing, when storing) while this one
// moves. The address may lie past the array; a prefetch never faults.
constexpr std::ptrdiff_t kAhead = 16;

inline std::uintptr_t ahead_of(const float *p, const lane_layout &L)
{
    return reinterpret_cast<std::uintptr_t>(p) +
           static_cast<std::uintptr_t>(kAhead * L.sample * std::ptrdiff_t(sizeof(float)));
}

// A tile of `blocks` neighbouring blocks side by side: each sample's
// blocks * N series lie together (whole cache lines where the tile is wide
// enough), read once into the blocks' work arrays, one after the other
// (`count` vectors each), and written back the same way.
template <class V>
TV_LANES_TARGET void load_side_by_side(const float *first, const lane_layout &L, std::size_t count,
                                       std::size_t blocks, float *v)
{
    const std::size_t tile_bytes = blocks * V::N * L.width * sizeof(float);
    for (std::size_t j = 0; j < count; j += L.width) {
        const float *p = first + float_offset(L, j);
        for (std::size_t b = 0; b < tile_bytes; b += 64)
            _mm_prefetch(reinterpret_cast<const char *>(ahead_of(p, L) + b), _MM_HINT_T0);
        for (std::size_t b = 0; b < blocks; ++b) {
            const float *q = p + b * V::N * L.width;
            float *w = v + b * count * V::N;
            if (L.width == 1)
                V::store(at<V>(w, j), V::loadu(q));
            else
                V::split_complex(q, at<V>(w, j), at<V>(w, j + 1));
        }
    }
}

template <class V>
TV_LANES_TARGET void store_side_by_side(const float *v, const lane_layout &L, std::size_t count,
                                        std::size_t blocks, float *first)
{
    const std::size_t tile_bytes = blocks * V::N * L.width * sizeof(float);
    for (std::size_t j = 0; j < count; j += L.width) {
        float *p = first + float_offset(L, j);
        // A prefetch for writing: prefetchw where the CPU has it, with GCC and clang alike.
        for (std::size_t b = 0; b < tile_bytes; b += 64)
            __builtin_prefetch(reinterpret_cast<const void *>(ahead_of(p, L) + b), 1);
        for (std::size_t b = 0; b < blocks; ++b) {
            float *q = p + b * V::N * L.width;
            const float *w = v + b * count * V::N;
            if (L.width == 1)
                V::storeu(q, V::load(w + j * V::N));
            else
                V::join_complex(w + j * V::N, w + (j + 1) * V::N, q);
        }
    }
}

template <class V>
TV_LANES_TARGET void load_block(const float *first, const lane_layout &L, std::size_t count,
                                float *v)
{
    if (rows_of(L, count))
        V::load_rows(first, L.series, count, v);
    else if (side_by_side(L))
        load_side_by_side<V>(first, L, count, 1, v);
    else
        gather_block<V>(first, L, count, v);
}

template <class V>
TV_LANES_TARGET void store_block(float *v, const lane_layout &L, std::size_t count, float *first)
{
    if (rows_of(L, count))
        V::store_rows(v, L.series, count, first, L.stream);
    else if (side_by_side(L))
        store_side_by_side<V>(v, L, count, 1, first);
    else
        scatter_block<V>(v, L, count, first);
}

// `blocks` neighbouring blocks: side by side as one tile (its work arrays one
// after the other), in any other layout block by block through the first
// work array.
template <class V, class Transform>
TV_LANES_TARGET void each_block(const float *in, float *out, const lane_layout &L,
                                std::size_t count, std::size_t blocks, float *work,
                                const Transform &transform)
{
    if (blocks > 1 && side_by_side(L)) {
        load_side_by_side<V>(in, L, count, blocks, work);
        for (std::size_t b = 0; b < blocks; ++b)
            transform(work + b * count * V::N);
        store_side_by_side<V>(work, L, count, blocks, out);
        return;
    }
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(b * V::N) * L.series;
        load_block<V>(in + first, L, count, work);
        transform(work);
        store_block<V>(work, L, count, out + first);
    }
}

// The transforms of one work array.
template <class V>
struct four1_of {
    unsigned long nn;
    const double *table;
    TV_LANES_TARGET void operator()(float *v) const { four1_block<V>(v, nn, table); }
};
template <class V>
struct realft_of {
    unsigned long n;
    bool forward;
    const lane_twiddles &w;
    TV_LANES_TARGET void operator()(float *v) const { realft_block<V>(v, n, forward, w); }
};

template <class V>
TV_LANES_TARGET bool four1_lanes(const float *in, float *out, const lane_layout &layout,
                                 unsigned long nn, const lane_twiddles &w, std::size_t blocks,
                                 float *work)
{
    each_block<V>(in, out, layout, 2 * nn, blocks, work, four1_of<V>{nn, w.four1});
    return true;
}

template <class V>
TV_LANES_TARGET bool realft_lanes(const float *in, float *out, const lane_layout &layout,
                                  unsigned long n, int isign, const lane_twiddles &w,
                                  std::size_t blocks, float *work)
{
    each_block<V>(in, out, layout, n, blocks, work, realft_of<V>{n, isign == 1, w});
    return true;
}
