// Pearson's and Spearman's correlation of two measurements, with p-values.
//
// pearsn() gives r only; pearsn_prob() gives r and its two-sided p from
// Student's t with n - 2 degrees of freedom (r_to_p(r, n) gives the same p for
// any r). spear() gives the rank correlation rs and the two-sided p (probd) of
// the normal deviate of the sum of squared rank differences; its probrs is not
// written (except when a sample is constant), so the t-based p of rs is
// r_to_p(rs, n). The inputs are only read.
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

int main()
{
    // Body mass (kg) and resting heart rate: a weak linear trend, one outlier.
    const unsigned long n = 25;
    float *mass = vector(1, n), *rate = vector(1, n);
    long seed = -7;
    for (unsigned long i = 1; i <= n; i++) {
        mass[i] = 60.0f + 1.5f * static_cast<float>(i) + 3.0f * gasdev(&seed);
        rate[i] = 40.0f + 0.4f * mass[i] + 4.0f * gasdev(&seed);
    }
    rate[n] = 140.0f;  // a measurement error: Spearman's rank statistic barely notices

    float r = 0.0f, p = 0.0f, z = 0.0f;
    pearsn_prob(mass, rate, n, &r, &p, &z);
    std::printf("Pearson  r  = %.4f, p = %.4g (t with %lu df; r_to_p gives %.4g)\n", r, p, n - 2,
                r_to_p(r, n));

    float d = 0.0f, zd = 0.0f, probd = 0.0f, rs = 0.0f, probrs = 0.0f;
    spear(mass, rate, n, &d, &zd, &probd, &rs, &probrs);
    std::printf("Spearman rs = %.4f, p = %.4g (normal deviate %.3f of D = %.0f); "
                "t-based p = %.4g\n",
                rs, probd, zd, d, r_to_p(rs, n));

    // The threshold a correlation from n pairs must exceed for p < 0.05.
    std::printf("|r| needed for p = 0.05 with %lu pairs: %.4f\n", n, p_to_r(0.05f, n));

    free_vector(rate, 1, n);
    free_vector(mass, 1, n);
    return 0;
}
