// Internal to libtessivane (not installed): the moments of the two-sample t statistics,
// formed again from scaled samples where their float steps over- or underflow (see
// detail_rescale.h), and the range of a correlation coefficient.
#ifndef TESSIVANE_NUMERICS_DETAIL_MOMENTS_H
#define TESSIVANE_NUMERICS_DETAIL_MOMENTS_H

#include "detail_rescale.h"

namespace tessivane {
namespace detail {

// A correlation coefficient rounded beyond +-1 (perfectly linear data: the float sums or their
// product round so that |sxy| exceeds the root by a float step) is +-1. NaN stays NaN.
inline float within_unit(float r)
{
    return r > 1.0f ? 1.0f : r < -1.0f ? -1.0f : r;
}

// Mean and variance of two samples by avevar()'s float steps.
struct two_moments {
    float ave1, var1, ave2, var2;
};

// ttest()'s pooled variance ((n1 - 1) var1 + (n2 - 1) var2) / (n1 + n2 - 2), in float.
float pooled_variance(const two_moments &m, unsigned long n1, unsigned long n2);

// Whether the pooled t's float intermediates stayed in range.
inline bool pooled_in_range(float diff, float svar)
{
    return std::isfinite(diff) && squares_in_range(svar);
}

// The moments behind ttest(): from data1[1..n1] and data2[1..n2] as they are, or, when the
// pooled variance or the difference of the means left float's range, from both samples scaled
// by one common power of two (the t does not change).
two_moments pooled_moments(const float data1[], unsigned long n1, const float data2[],
                           unsigned long n2);

// The same for tutest() and welch_df(), whose range test is on var1 / n1 + var2 / n2.
two_moments welch_moments(const float data1[], unsigned long n1, const float data2[],
                          unsigned long n2);

}  // namespace detail
}  // namespace tessivane

#endif
