// The exact null distribution of the two-sample Kolmogorov-Smirnov D for samples without ties.
//
// Merging the two samples in ascending order traces a monotone lattice path from (0, 0) to
// (n1, n2), a step in i for each value of the first sample and a step in j for each value of the
// second; under the null hypothesis all C(n1 + n2, n1) paths are equally likely, and D is the
// largest |i / n1 - j / n2| along the path. P(D >= d) is the share of paths that reach a point
// with |i n2 - j n1| >= d n1 n2.
//
// The sweep carries probabilities instead of path counts: the chance that a uniformly drawn path
// passes through (i, j), and the chance that it does so after reaching the boundary. A path at
// (i, j) steps in i with probability (n1 - i) / (n1 - i + n2 - j). Every term is a positive
// product, so the tail keeps its relative precision however small it is (1 - count / total
// would cancel), and nothing overflows where C(n1 + n2, n1) would.
#include "detail_refuse.h"
#include "detail_scratch.h"
#include "stat.h"

#include <cmath>
#include <limits>
#include <utility>

namespace {

// The largest n1 * n2 accepted: the sweep visits (n1 + 1)(n2 + 1) points.
constexpr unsigned long max_lattice = 100000000UL;

// How far below d n1 n2 (in lattice units) a point still counts as reaching it, so that a d
// equal to an attainable D up to float rounding reaches that D: 2^-20 in units of D (about
// eight float steps at 1, more than the rounding of kstwo's D), capped at half a lattice step,
// where it would start to merge distinct attainable values.
double reach_tolerance(double lattice)
{
    return std::fmin(0x1p-20 * lattice, 0.5);
}

}  // namespace

float kstwo_prob_exact(float d, unsigned long n1, unsigned long n2)
{
    if (n1 == 0 || n2 == 0)
        tessivane::detail::refuse("kstwo_prob_exact: n1 = %lu, n2 = %lu: each sample needs at "
                                  "least one value",
                                  n1, n2);
    if (n1 > max_lattice / n2)
        tessivane::detail::refuse("kstwo_prob_exact: n1 * n2 = %lu * %lu exceeds 10^8: use "
                                  "kstwo_prob for samples this large",
                                  n1, n2);
    if (std::isnan(d))
        return d;
    if (d <= 0.0f)
        return 1.0f;
    // D is symmetric in the two samples; the shorter one spans the rows kept in memory.
    if (n2 > n1)
        std::swap(n1, n2);
    const double lattice = static_cast<double>(n1) * static_cast<double>(n2);
    const double threshold = static_cast<double>(d) * lattice - reach_tolerance(lattice);
    const double a = static_cast<double>(n1), b = static_cast<double>(n2);

    // pass[j]: P(the path passes through (i, j)); reached[j]: P(it does so having reached the
    // boundary at or before (i, j)). Row i overwrites row i - 1 in place.
    tessivane::detail::scratch_vector<double> pass(0, static_cast<long>(n2));
    tessivane::detail::scratch_vector<double> reached(0, static_cast<long>(n2));
    for (unsigned long i = 0; i <= n1; i++) {
        const double di = static_cast<double>(i);
        for (unsigned long j = 0; j <= n2; j++) {
            const double dj = static_cast<double>(j);
            double p, r;
            if (i == 0 && j == 0) {
                p = 1.0;
                r = 0.0;
            } else {
                // Arrivals from (i - 1, j) by a step in i and from (i, j - 1) by a step in j.
                p = 0.0;
                r = 0.0;
                if (i > 0) {
                    const double step = (a - di + 1.0) / (a - di + 1.0 + b - dj);
                    p = pass[j] * step;
                    r = reached[j] * step;
                }
                if (j > 0) {
                    const double step = (b - dj + 1.0) / (a - di + b - dj + 1.0);
                    p = p + pass[j - 1] * step;
                    r = r + reached[j - 1] * step;
                }
            }
            if (std::fabs(di * b - dj * a) >= threshold)
                r = p;
            pass[j] = p;
            reached[j] = r;
        }
    }
    return static_cast<float>(reached[n2]);
}
