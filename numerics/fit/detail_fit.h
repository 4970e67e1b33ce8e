// Internal to libtessivane (not installed): the built-in Gaussian model at many
// points at once.
#ifndef TESSIVANE_NUMERICS_DETAIL_FIT_H
#define TESSIVANE_NUMERICS_DETAIL_FIT_H

#include "detail_isa.h"

namespace tessivane {
namespace detail {

// The most points fgauss_points_avx2 takes in one call.
constexpr int kFgaussBlock = 64;

// For each of the `count` (1..kFgaussBlock) points x[0..count-1]:
// fgauss(x[p], a, &ymod[p], d, ma) with d[k] at dyda[(k - 1) * kFgaussBlock + p]
// (k = 1..ma; the derivatives fgauss leaves unwritten are 0). ymod and each
// row of dyda are written up to count rounded up to 8. Eight points side by
// side in AVX2 lanes, each taking fgauss's float and double steps in their
// order; true when it ran.
#if TV_HAVE_AVX2_PATHS
bool fgauss_points_avx2(const float *x, const float *a, int ma, int count, float *ymod,
                        float *dyda);
#else
inline bool fgauss_points_avx2(const float *, const float *, int, int, float *, float *)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace tessivane

#endif
