// Writes the reference values of tests/test_significance.cpp: the Welch-Satterthwaite degrees of
// freedom, Welch's t and its two-sided p for fixed samples, two-sided t tails for non-integer
// degrees of freedom, and two-sample Kolmogorov-Smirnov tails. Everything is computed in long
// double: the t distribution by Boost.Math, the Kolmogorov-Smirnov tail by its theta-function
// form below lambda = 1 and by the alternating series above, each summed far past convergence.
// Build target `pvalue_references`; paste its output into the tables of the test.
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <cstdio>
#include <vector>
#include "welch_samples.h"

namespace {

using Real = long double;

const std::vector<std::vector<float>> &kSamples = kWelchSamples;

void mean_var(const std::vector<float> &x, Real &mean, Real &var)
{
    mean = 0;
    for (float v : x)
        mean += v;
    mean /= x.size();
    var = 0;
    for (float v : x)
        var += (v - mean) * (v - mean);
    var /= x.size() - 1;
}

Real t_two_sided(Real t, Real df)
{
    boost::math::students_t_distribution<Real> dist(df);
    return 2 * boost::math::cdf(boost::math::complement(dist, std::fabs(t)));
}

Real ks_tail(Real lambda)
{
    const Real pi = 3.141592653589793238462643383279502884L;
    Real sum = 0;
    if (lambda < 1) {
        // Q = 1 - sqrt(2 pi) / lambda * sum_{k>=1} exp(-(2k - 1)^2 pi^2 / (8 lambda^2))
        for (int k = 1; k <= 200; k++)
            sum += std::exp(-(2 * k - 1) * (2 * k - 1) * pi * pi / (8 * lambda * lambda));
        return 1 - std::sqrt(2 * pi) / lambda * sum;
    }
    for (int j = 200; j >= 1; j--)
        sum += (j % 2 ? 2 : -2) * std::exp(-2 * Real(j) * j * lambda * lambda);
    return sum;
}

}  // namespace

int main()
{
    std::printf("// Welch: pair, df, t, two-sided p\n");
    for (std::size_t k = 0; k + 1 < kSamples.size(); k += 2) {
        Real m1, v1, m2, v2;
        mean_var(kSamples[k], m1, v1);
        mean_var(kSamples[k + 1], m2, v2);
        const Real n1 = kSamples[k].size(), n2 = kSamples[k + 1].size();
        const Real q1 = v1 / n1, q2 = v2 / n2;
        const Real df = (q1 + q2) * (q1 + q2) / (q1 * q1 / (n1 - 1) + q2 * q2 / (n2 - 1));
        const Real t = (m1 - m2) / std::sqrt(q1 + q2);
        std::printf("    {%zu, %.17Lg, %.17Lg, %.17Lg},\n", k / 2, df, t, t_two_sided(t, df));
    }

    std::printf("// t tails: t, df, two-sided p\n");
    // The arguments are the floats the test passes.
    const float tails[][2] = {{0.5f, 1.5f},  {1.0f, 2.25f},  {2.0f, 3.7f},   {2.5f, 7.3f},
                              {3.1f, 12.6f}, {1.96f, 45.5f}, {4.0f, 9.25f},  {6.0f, 20.5f},
                              {0.1f, 0.75f}, {10.0f, 5.5f},  {2.2f, 150.8f}, {-1.7f, 17.2f}};
    for (const auto &c : tails)
        std::printf("    {%.9g, %.9g, %.17Lg},\n", c[0], c[1], t_two_sided(c[0], c[1]));

    std::printf("// Kolmogorov-Smirnov: d, n1, n2, tail at the corrected effective size\n");
    const struct {
        float d;
        unsigned long n1, n2;
    } ks[] = {{0.5f, 10, 12},      {0.3f, 40, 50},    {0.2f, 100, 80},    {0.1f, 500, 400},
              {0.05f, 1000, 2000}, {0.8f, 8, 8},      {0.25f, 30, 200},   {0.6f, 20, 25},
              {0.15f, 60, 60},     {0.35f, 16, 1000}, {0.04f, 5000, 5000}};
    for (const auto &c : ks) {
        const Real en = std::sqrt(Real(c.n1) * c.n2 / (Real(c.n1) + c.n2));
        const Real lambda = (en + 0.12L + 0.11L / en) * c.d;
        std::printf("    {%.9g, %lu, %lu, %.17Lg},\n", c.d, c.n1, c.n2, ks_tail(lambda));
    }
    return 0;
}
