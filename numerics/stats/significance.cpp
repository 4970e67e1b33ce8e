// p-values for the two-sample tests, which deliver their statistic only: the Welch-Satterthwaite
// degrees of freedom for tutest(), a two-sided t tail for such non-integer degrees of freedom,
// and the significance of a two-sample Kolmogorov-Smirnov D.
#include "stat.h"

#include <cmath>

#include "detail_moments.h"

float welch_df(float data1[], unsigned long n1, float data2[], unsigned long n2)
{
    // The moments tutest() uses, formed again from scaled samples where they over- or underflow.
    const tessivane::detail::two_moments m = tessivane::detail::welch_moments(data1, n1, data2, n2);
    // The squared standard errors of the two means, formed as tutest() forms them.
    const float q1 = m.var1 / n1, q2 = m.var2 / n2;
    if (q1 == 0.0f && q2 == 0.0f) {
        // tutest() answers t = 0 here; any df then gives p = 1, and the pooled count is the
        // value the formula approaches when both spreads shrink alike.
        return static_cast<float>(n1 + n2 - 2);
    }
    const double sum = static_cast<double>(q1) + q2;
    const double denominator = static_cast<double>(q1) * q1 / static_cast<double>(n1 - 1) +
                               static_cast<double>(q2) * q2 / static_cast<double>(n2 - 1);
    return static_cast<float>(sum * sum / denominator);
}

float t_to_p_real(float t, float df)
{
    // The same steps as t_to_p(), with df already a float.
    return betai(0.5f * df, 0.5f, df / (df + t * t));
}

float kstwo_prob(float d, unsigned long n1, unsigned long n2)
{
    // Effective sample size, and the usual small-sample correction of the argument of the
    // asymptotic distribution.
    const double en1 = static_cast<double>(n1), en2 = static_cast<double>(n2);
    const double en = std::sqrt(en1 * en2 / (en1 + en2));
    return probks(static_cast<float>((en + 0.12 + 0.11 / en) * d));
}
