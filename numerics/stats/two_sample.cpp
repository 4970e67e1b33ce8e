// Two-sample statistics: mean and variance, Student's t (pooled and Welch), and the
// two-sample Kolmogorov-Smirnov D. The tests deliver the statistic only; their prob
// out-parameter is part of the calling convention and is never written.
#include "stat.h"

#include <cmath>
#include <limits>

#include "detail_moments.h"

namespace {

using tessivane::detail::two_moments;

// avevar()'s float steps.
void mean_and_variance(const float data[], unsigned long n, float *ave, float *var)
{
    *ave = 0.0f;
    for (unsigned long j = 1; j <= n; j++)
        *ave += data[j];
    *ave /= n;
    // Corrected two-pass variance: ep * ep / n removes the rounding error of the mean.
    float ep = 0.0f;
    *var = 0.0f;
    for (unsigned long j = 1; j <= n; j++) {
        const float s = data[j] - *ave;
        ep += s;
        *var += s * s;
    }
    *var = (*var - ep * ep / n) / (n - 1);
}

two_moments moments_of(const float data1[], unsigned long n1, const float data2[], unsigned long n2)
{
    two_moments m;
    mean_and_variance(data1, n1, &m.ave1, &m.var1);
    mean_and_variance(data2, n2, &m.ave2, &m.var2);
    return m;
}

// The moments again from both samples scaled by one power of two, unless a value is not finite
// or both variances are 0 for constant samples (truly 0; every t is then 0): then `m` stays.
two_moments rescaled_moments(const float data1[], unsigned long n1, const float data2[],
                             unsigned long n2, const two_moments &m)
{
    using namespace tessivane::detail;
    int e1, e2;
    if (!scale_exponent(data1, n1, &e1) || !scale_exponent(data2, n2, &e2) ||
        (m.var1 == 0.0f && m.var2 == 0.0f && constant_sample(data1, n1) &&
         constant_sample(data2, n2)))
        return m;
    const int e = e1 > e2 ? e1 : e2;
    if (e == 0)
        return m;  // already at that scale
    const scaled_copy s1(data1, n1, e), s2(data2, n2, e);
    return moments_of(s1, n1, s2, n2);
}

// tutest()'s float sum of the squared standard errors of the two means.
float welch_variance(const two_moments &m, unsigned long n1, unsigned long n2)
{
    return m.var1 / n1 + m.var2 / n2;
}

// The moments as they are, or formed again from rescaled samples when the difference of the
// means or the t's variance `spread` left float's range.
two_moments moments_in_range(const float data1[], unsigned long n1, const float data2[],
                             unsigned long n2,
                             float (*spread)(const two_moments &, unsigned long, unsigned long))
{
    const two_moments m = moments_of(data1, n1, data2, n2);
    if (tessivane::detail::pooled_in_range(m.ave1 - m.ave2, spread(m, n1, n2)))
        return m;
    return rescaled_moments(data1, n1, data2, n2, m);
}

}  // namespace

namespace tessivane {
namespace detail {

float pooled_variance(const two_moments &m, unsigned long n1, unsigned long n2)
{
    const float df = static_cast<float>(n1 + n2 - 2);
    return ((n1 - 1) * m.var1 + (n2 - 1) * m.var2) / df;
}

two_moments pooled_moments(const float data1[], unsigned long n1, const float data2[],
                           unsigned long n2)
{
    return moments_in_range(data1, n1, data2, n2, pooled_variance);
}

two_moments welch_moments(const float data1[], unsigned long n1, const float data2[],
                          unsigned long n2)
{
    return moments_in_range(data1, n1, data2, n2, welch_variance);
}

}  // namespace detail
}  // namespace tessivane

void avevar(float data[], unsigned long n, float *ave, float *var)
{
    using namespace tessivane::detail;
    mean_and_variance(data, n, ave, var);
    int e;
    if ((std::isfinite(*ave) && squares_in_range(*var)) || !scale_exponent(data, n, &e) || e == 0 ||
        (*var == 0.0f && constant_sample(data, n)))
        return;
    // Mean and variance of the scaled data, scaled back (where the variance itself lies beyond
    // float's range it is inf or rounds into the subnormals, as it must).
    const scaled_copy scaled(data, n, e);
    mean_and_variance(scaled, n, ave, var);
    *ave = std::ldexp(*ave, e);
    *var = std::ldexp(*var, 2 * e);
}

void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
           float * /*prob*/)
{
    const two_moments m = tessivane::detail::pooled_moments(data1, n1, data2, n2);
    const float svar = tessivane::detail::pooled_variance(m, n1, n2);
    if (svar == 0.0f) {
        *t = 0.0f;
        return;
    }
    const float diff = m.ave1 - m.ave2;
    *t = static_cast<float>(diff / std::sqrt(svar * (1.0 / n1 + 1.0 / n2)));
}

void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
            float * /*prob*/)
{
    const two_moments m = tessivane::detail::welch_moments(data1, n1, data2, n2);
    if (m.var1 == 0.0f && m.var2 == 0.0f) {
        *t = 0.0f;
        return;
    }
    const float diff = m.ave1 - m.ave2;
    const float s = welch_variance(m, n1, n2);
    *t = static_cast<float>(diff / std::sqrt(static_cast<double>(s)));
}

void kstwo(float data1[], unsigned long n1, float data2[], unsigned long n2, float *d,
           float * /*prob*/)
{
    sort(n1, data1);
    sort(n2, data2);
    // A NaN compares unordered with everything: the walk below could never step past it and
    // would not end. Any NaN makes D not a number.
    for (unsigned long j = 1; j <= n1; j++)
        if (std::isnan(data1[j])) {
            *d = std::numeric_limits<float>::quiet_NaN();
            return;
        }
    for (unsigned long j = 1; j <= n2; j++)
        if (std::isnan(data2[j])) {
            *d = std::numeric_limits<float>::quiet_NaN();
            return;
        }
    const float en1 = static_cast<float>(n1);
    const float en2 = static_cast<float>(n2);
    float fn1 = 0.0f;
    float fn2 = 0.0f;
    unsigned long j1 = 1;
    unsigned long j2 = 1;
    *d = 0.0f;
    // The distance is measured only after every value equal to the smallest one not yet
    // passed has been stepped past, in both samples: D is the largest distance between the
    // two empirical distribution functions, and between tied values they have no point where
    // one has taken its step and the other not. (Within one sample the distance moves one way
    // along a run of ties, so measuring only at the run's end finds the same largest value.)
    while (j1 <= n1 && j2 <= n2) {
        const float d1 = data1[j1];
        const float d2 = data2[j2];
        const float value = d1 <= d2 ? d1 : d2;
        if (d1 <= d2) {
            while (j1 < n1 && data1[j1 + 1] == value)
                j1++;
            fn1 = j1++ / en1;
        }
        if (d2 <= d1) {
            while (j2 < n2 && data2[j2 + 1] == value)
                j2++;
            fn2 = j2++ / en2;
        }
        const float dt = std::fabs(fn2 - fn1);
        if (dt > *d)
            *d = dt;
    }
}
