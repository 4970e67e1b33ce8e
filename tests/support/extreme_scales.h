#ifndef TESSIVANE_TEST_SUPPORT_EXTREME_SCALES_H
#define TESSIVANE_TEST_SUPPORT_EXTREME_SCALES_H

// Paired samples whose float sums of squares over- or underflow: x = 1..9 and
// y = 2x + (x mod 3), each multiplied by a scale and rounded to float. Their
// statistics do not depend on the scale. References from SciPy 1.10.1
// (python3-scipy) in double on the float data:
//   r, p = scipy.stats.pearsonr(x, y)
//   t = scipy.stats.ttest_ind(x, y).statistic
//   tu = scipy.stats.ttest_ind(x, y, equal_var=False).statistic

#include <vector>

namespace tv_test {

struct ScaledPairRow {
    double scale;
    float r, p, t, tu;
};

constexpr ScaledPairRow kScaledPairs[] = {
    {1.0, 0.987420883f, 7.26088075e-07f, -2.96922996f, -2.96922996f},
    {1e10, 0.98742088f, 7.26088615e-07f, -2.96923003f, -2.96923003f},
    {1e16, 0.987420882f, 7.26088185e-07f, -2.96922999f, -2.96922999f},
    {1e18, 0.987420883f, 7.2608804e-07f, -2.96922987f, -2.96922987f},
    {1e-14, 0.987420881f, 7.26088478e-07f, -2.9692299f, -2.9692299f},
    {1e-20, 0.987420883f, 7.26088075e-07f, -2.96922997f, -2.96922997f},
    {1e-24, 0.987420888f, 7.2608712e-07f, -2.96922996f, -2.96922996f},
};

constexpr unsigned long kScaledN = 9;

// 1-based x or y of a row (index 0 unused).
inline std::vector<float> scaled_sample(double scale, bool y)
{
    std::vector<float> v(kScaledN + 1, 0.0f);
    for (unsigned long i = 1; i <= kScaledN; i++)
        v[i] = static_cast<float>((y ? 2.0 * i + i % 3 : 1.0 * i) * scale);
    return v;
}

}  // namespace tv_test

#endif
