// Internal to libtessivane (not installed): four1 and realft on eight or
// sixteen series at once, one series per vector lane, for the batched
// transforms. The body is detail_fft_lanes_kernel.h.
#ifndef TESSIVANE_NUMERICS_DETAIL_FFT_LANES_H
#define TESSIVANE_NUMERICS_DETAIL_FFT_LANES_H

#include <cstddef>

#include "detail_isa.h"

namespace tessivane {
namespace batch {
namespace detail {

// Where the floats of a block of neighbouring series lie. Float j of a
// series (its 1-based data[j + 1] in a single call) is at
//     first + l * series + (j / width) * sample + j % width
// for lane l, with width 1 for real samples and 2 for complex ones (real and
// imaginary part side by side). All distances are in floats. `stream`: the
// output is far larger than the caches and goes to memory with
// non-temporal stores (whole cache lines, where the layout allows), which
// spares reading each line before it is overwritten.
struct lane_layout {
    std::ptrdiff_t series = 0;
    std::ptrdiff_t sample = 1;
    unsigned width = 1;
    bool stream = false;
};

// Float j of a series, from its first float.
inline std::ptrdiff_t float_offset(const lane_layout &L, std::size_t j)
{
    return static_cast<std::ptrdiff_t>(j / L.width) * L.sample +
           static_cast<std::ptrdiff_t>(j % L.width);
}

// The twiddles of one batch, from the process-wide cache (detail_fft.h):
// the four1 table of the complex transform and, for realft, the separation
// twiddles wr[k], wi[k].
struct lane_twiddles {
    const double *four1 = nullptr;
    const double *wr = nullptr;
    const double *wi = nullptr;
};

// Each lane of a block takes exactly the operations of the single call, in its
// order, with its float and double steps, so each series comes out with the
// single call's bits. `in` and `out` share the layout and are the same array
// or do not overlap. `blocks` neighbouring blocks (blocks * lanes series) are
// done in one call: side by side (columns) as one tile, whose samples are read
// and written a whole tile row at a time; `work` holds blocks * lanes *
// (floats per series) floats, 64-byte aligned. False (nothing done) where the
// build has no such path.
//
// four1 of nn complex values per series (nn >= 1), with the table of its
// isign; realft of n real values per series (n >= 2), isign 1 forward, else
// inverse. Eight series at a time with AVX2, sixteen with AVX-512.
using four1_lanes_fn = bool (*)(const float *in, float *out, const lane_layout &layout,
                                unsigned long nn, const lane_twiddles &w, std::size_t blocks,
                                float *work);
using realft_lanes_fn = bool (*)(const float *in, float *out, const lane_layout &layout,
                                 unsigned long n, int isign, const lane_twiddles &w,
                                 std::size_t blocks, float *work);

#if TV_HAVE_AVX2_PATHS
bool four1_lanes_avx2(const float *in, float *out, const lane_layout &layout, unsigned long nn,
                      const lane_twiddles &w, std::size_t blocks, float *work);
bool realft_lanes_avx2(const float *in, float *out, const lane_layout &layout, unsigned long n,
                       int isign, const lane_twiddles &w, std::size_t blocks, float *work);
bool four1_lanes_avx512(const float *in, float *out, const lane_layout &layout, unsigned long nn,
                        const lane_twiddles &w, std::size_t blocks, float *work);
bool realft_lanes_avx512(const float *in, float *out, const lane_layout &layout, unsigned long n,
                         int isign, const lane_twiddles &w, std::size_t blocks, float *work);
#else
inline bool four1_lanes_avx2(const float *, float *, const lane_layout &, unsigned long,
                             const lane_twiddles &, std::size_t, float *)
{
    return false;
}
inline bool realft_lanes_avx2(const float *, float *, const lane_layout &, unsigned long, int,
                              const lane_twiddles &, std::size_t, float *)
{
    return false;
}
inline bool four1_lanes_avx512(const float *, float *, const lane_layout &, unsigned long,
                               const lane_twiddles &, std::size_t, float *)
{
    return false;
}
inline bool realft_lanes_avx512(const float *, float *, const lane_layout &, unsigned long, int,
                                const lane_twiddles &, std::size_t, float *)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace batch
}  // namespace tessivane

#endif
