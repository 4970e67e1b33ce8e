// Two-sample statistics: mean and variance, Student's t (pooled and Welch), and the
// two-sample Kolmogorov-Smirnov D. The tests deliver the statistic only; their prob
// out-parameter is part of the calling convention and is never written.
#include "stat.h"

#include <cmath>
#include <limits>

void avevar(float data[], unsigned long n, float *ave, float *var)
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

void ttest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
           float * /*prob*/)
{
    float ave1, var1, ave2, var2;
    avevar(data1, n1, &ave1, &var1);
    avevar(data2, n2, &ave2, &var2);
    const float df = static_cast<float>(n1 + n2 - 2);
    const float svar = ((n1 - 1) * var1 + (n2 - 1) * var2) / df;
    if (svar == 0.0f) {
        *t = 0.0f;
        return;
    }
    const float diff = ave1 - ave2;
    *t = static_cast<float>(diff / std::sqrt(svar * (1.0 / n1 + 1.0 / n2)));
}

void tutest(float data1[], unsigned long n1, float data2[], unsigned long n2, float *t,
            float * /*prob*/)
{
    float ave1, var1, ave2, var2;
    avevar(data1, n1, &ave1, &var1);
    avevar(data2, n2, &ave2, &var2);
    if (var1 == 0.0f && var2 == 0.0f) {
        *t = 0.0f;
        return;
    }
    const float diff = ave1 - ave2;
    const float s = var1 / n1 + var2 / n2;
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
