// Pearson and Spearman correlation of two paired, 1-based samples.
#include "stat.h"

#include "detail_moments.h"
#include "detail_scratch.h"

#include <cmath>

#include "nrutil.h"

namespace {

// Added to both factors under the root of the t statistic so that t stays finite at |r| = 1.
constexpr double kTiny = 1.0e-20;

struct PearsonSums {
    float sxx;
    float syy;
    float sxy;
    float sxxyy() const { return sxx * syy; }
};

// Centred sums of squares and products, in float, about means summed in index order.
PearsonSums pearson_sums(const float x[], const float y[], unsigned long n)
{
    float ax = 0.0f;
    float ay = 0.0f;
    for (unsigned long j = 1; j <= n; j++) {
        ax += x[j];
        ay += y[j];
    }
    ax /= n;
    ay /= n;
    PearsonSums s{0.0f, 0.0f, 0.0f};
    for (unsigned long j = 1; j <= n; j++) {
        const float xt = x[j] - ax;
        const float yt = y[j] - ay;
        s.sxx += xt * xt;
        s.syy += yt * yt;
        s.sxy += xt * yt;
    }
    return s;
}

// The sums as above, or, when they or the product sxx * syy left float's range, the sums of
// x and y each scaled by a power of two (r does not change).
PearsonSums pearson_sums_in_range(const float x[], const float y[], unsigned long n)
{
    using namespace tessivane::detail;
    const PearsonSums s = pearson_sums(x, y, n);
    int ex, ey;
    if ((squares_in_range(s.sxx) && squares_in_range(s.syy) && normal_float(s.sxxyy()) &&
         std::isfinite(s.sxy)) ||
        !scale_exponent(x, n, &ex) || !scale_exponent(y, n, &ey) || (ex == 0 && ey == 0))
        return s;
    // A constant sample (sxx or syy truly 0) answers r = 0 either way.
    if ((s.sxx == 0.0f && constant_sample(x, n)) || (s.syy == 0.0f && constant_sample(y, n)))
        return s;
    const scaled_copy xs(x, n, ex), ys(y, n, ey);
    return pearson_sums(xs, ys, n);
}

}  // namespace

void pearsn(float x[], float y[], unsigned long n, float *r, float * /*prob*/, float * /*z*/)
{
    const PearsonSums s = pearson_sums_in_range(x, y, n);
    const float div = static_cast<float>(std::sqrt(static_cast<double>(s.sxxyy())));
    *r = div > 0.0f ? tessivane::detail::within_unit(s.sxy / div) : 0.0f;
}

void pearsn_prob(float x[], float y[], unsigned long n, float *r, float *prob, float * /*z*/)
{
    const PearsonSums s = pearson_sums_in_range(x, y, n);
    const float sxxyy = s.sxxyy();
    const float div = static_cast<float>(std::sqrt(static_cast<double>(sxxyy)));
    // Unlike pearsn, the division is made in double against the unrounded root.
    if (div > 0.0f)
        *r = tessivane::detail::within_unit(
            static_cast<float>(s.sxy / std::sqrt(static_cast<double>(sxxyy))));
    else
        *r = 0.0f;
    const float df = static_cast<float>(n - 2);
    const double rd = *r;
    const float t =
        static_cast<float>(rd * std::sqrt(df / ((1.0 - rd + kTiny) * (1.0 + rd + kTiny))));
    *prob = betai(0.5f * df, 0.5f, df / (df + t * t));
}

void spear(float data1[], float data2[], unsigned long n, float *d, float *zd, float *probd,
           float *rs, float *probrs)
{
    using tessivane::sqr;
    // Released in reverse order on return, and also when sort2 throws.
    tessivane::detail::scratch_vector<float> wksp1(1, static_cast<long>(n));
    tessivane::detail::scratch_vector<float> wksp2(1, static_cast<long>(n));
    for (unsigned long j = 1; j <= n; j++) {
        wksp1[j] = data1[j];
        wksp2[j] = data2[j];
    }
    // Rank each sample while carrying the other along, so that position j ends up holding
    // the rank pair of one observation.
    float sf, sg;
    sort2(n, wksp1, wksp2);
    crank(n, wksp1, &sf);
    sort2(n, wksp2, wksp1);
    crank(n, wksp2, &sg);

    *d = 0.0f;
    for (unsigned long j = 1; j <= n; j++)
        *d = static_cast<float>(*d + sqr(wksp1[j] - wksp2[j]));

    const float en = static_cast<float>(n);
    const float en3n = en * en * en - en;
    const float sfg = sf + sg;
    const float aved = static_cast<float>(en3n / 6.0 - sfg / 12.0);
    const float fac = static_cast<float>((1.0 - sf / en3n) * (1.0 - sg / en3n));
    const float vard = static_cast<float>(((en - 1.0) * en * en * sqr(en + 1.0f) / 36.0) * fac);

    if (vard == 0.0f || fac == 0.0f) {
        // All values of a sample tied: no rank correlation can be measured.
        *rs = 0.0f;
        *probrs = 0.0f;
    } else {
        const float dev = *d - aved;
        *zd = static_cast<float>(dev / std::sqrt(static_cast<double>(vard)));
        const float absz = std::fabs(*zd);
        *probd = erfcc(static_cast<float>(absz / 1.4142136));
        *rs = tessivane::detail::within_unit(static_cast<float>(
            (1.0 - (6.0 / en3n) * (*d + sfg / 12.0)) / std::sqrt(static_cast<double>(fac))));
    }
}
