// The exact two-sample Kolmogorov-Smirnov p-value: against a count of every merged order of small
// samples, with D taken from kstwo() (KsExact), and against SciPy's exact test on the reference
// table written by tests/reference/ks_exact_references.py (KsExactAccuracy).
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "stat.h"
#include "reference/ks_exact_table.h"
#include "support/fatal.h"

namespace {

// The largest |i n2 - j n1| along the merged order of samples coded by the bits of `order`
// (bit k set: the k-th smallest value belongs to the first sample).
long lattice_d(unsigned order, int n, long n1, long n2)
{
    long i = 0, j = 0, worst = 0;
    for (int k = 0; k < n; k++) {
        ((order >> k) & 1u) ? i++ : j++;
        worst = std::max(worst, std::labs(i * n2 - j * n1));
    }
    return worst;
}

}  // namespace

TEST(KsExact, EveryMergedOrderOfSmallSamples)
{
    const int sizes[][2] = {{1, 1}, {3, 4}, {5, 5}, {2, 9}, {7, 8}};
    for (const auto &size : sizes) {
        const int n1 = size[0], n2 = size[1], n = n1 + n2;
        std::vector<unsigned> orders;
        std::vector<long> ds;  // the lattice D of each order
        for (unsigned order = 0; order < (1u << n); order++)
            if (__builtin_popcount(order) == n1)
                orders.push_back(order), ds.push_back(lattice_d(order, n, n1, n2));
        std::vector<float> a(n1 + 1), b(n2 + 1);  // 1..n1, 1..n2
        for (std::size_t o = 0; o < orders.size(); o++) {
            int i = 0, j = 0;
            for (int k = 0; k < n; k++)
                ((orders[o] >> k) & 1u) ? a[++i] = 2.385f * k : b[++j] = 2.385f * k;
            float d = 0.0f, unused = 0.0f;
            kstwo(a.data(), n1, b.data(), n2, &d, &unused);
            const double expected = static_cast<double>(std::count_if(
                                        ds.begin(), ds.end(), [&](long m) { return m >= ds[o]; })) /
                                    static_cast<double>(orders.size());
            ASSERT_NEAR(kstwo_prob_exact(d, n1, n2), expected, 2 * FLT_EPSILON * expected)
                << "n1 = " << n1 << ", n2 = " << n2 << ", order " << orders[o] << ", D = " << d;
        }
    }
}

TEST(KsExact, FixedAnswersAndRefusals)
{
    EXPECT_EQ(kstwo_prob_exact(0.0f, 10, 20), 1.0f);
    EXPECT_EQ(kstwo_prob_exact(-0.5f, 10, 20), 1.0f);
    EXPECT_EQ(kstwo_prob_exact(1.001f, 10, 20), 0.0f);
    // Only the two orders with one sample wholly below the other reach D = 1.
    EXPECT_FLOAT_EQ(kstwo_prob_exact(1.0f, 10, 10), 2.0f / 184756.0f);
    EXPECT_TRUE(std::isnan(kstwo_prob_exact(NAN, 10, 20)));
    EXPECT_EQ(kstwo_prob_exact(0.0f, 20000, 5000), 1.0f);  // n1 n2 = 10^8 exactly: allowed
    TV_EXPECT_FATAL(kstwo_prob_exact(0.5f, 0, 7),
                    "kstwo_prob_exact: n1 = 0, n2 = 7: each sample needs at least one value");
    TV_EXPECT_FATAL(kstwo_prob_exact(0.5f, 20000, 5001),
                    "kstwo_prob_exact: n1 * n2 = 20000 * 5001 exceeds 10^8: use kstwo_prob for "
                    "samples this large");
}

TEST(KsExactAccuracy, AgainstScipyExactTest)
{
    // Both sides are exact in double; the float rounding of d and of the result remain.
    for (const KsExactCase &c : kKsExact) {
        const float p = kstwo_prob_exact(static_cast<float>(c.d), c.n1, c.n2);
        EXPECT_NEAR(p, c.p, 2 * FLT_EPSILON * c.p)
            << "n1 = " << c.n1 << ", n2 = " << c.n2 << ", D = " << c.d;
    }
}
