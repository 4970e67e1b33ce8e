// Internal to libtessivane (not installed): the pooled-variance t of eight
// neighbouring voxels at once, for series laid out as columns (sample k of
// every voxel in one row).
#ifndef TESSIVANE_NUMERICS_DETAIL_TTEST_BLOCK_H
#define TESSIVANE_NUMERICS_DETAIL_TTEST_BLOCK_H

#include <cstddef>

#include "detail_isa.h"

namespace tessivane {
namespace batch {
namespace detail {

constexpr std::size_t kVoxelBlock = 8;

// ttest()'s constants for samples of n1 and n2 values, converted as ttest()
// and avevar() convert them.
struct pooled_t_constants {
    explicit pooled_t_constants(unsigned long n1, unsigned long n2);
    unsigned long n1, n2;
    float fn1, fn2;            // n, the divisor of the mean
    float fn1_less, fn2_less;  // n - 1, the divisor of the variance and the pooling weight
    float df;                  // n1 + n2 - 2
    double scale;              // 1.0 / n1 + 1.0 / n2
};

// t[l] = ttest() of voxel l (0..7), whose samples are a[k * a_row + l]
// (k in 0..n1-1) and b[k * b_row + l] (k in 0..n2-1): each lane takes
// avevar()'s and ttest()'s float and double steps in their order, and a lane
// whose pooled variance or difference of means left float's range is handed
// to ttest() itself (which forms it again from scaled data). With `avx2`, the
// AVX2 path where there is one.
void pooled_t_block(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                    const pooled_t_constants &k, bool avx2, float *t);

// The lanes' steps as above, with each lane's difference of means and pooled
// variance into diff[l] and svar[l].
#if TV_HAVE_AVX2_PATHS
bool pooled_t_block_avx2(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                         const pooled_t_constants &k, float *t, float *diff, float *svar);
#else
inline bool pooled_t_block_avx2(const float *, std::ptrdiff_t, const float *, std::ptrdiff_t,
                                const pooled_t_constants &, float *, float *, float *)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace batch
}  // namespace tessivane

#endif
