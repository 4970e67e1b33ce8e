// The pooled-variance t of eight voxels side by side, in plain code: reading
// the rows of a column layout front to back instead of gathering each voxel
// from samples a row apart.

#include "detail_ttest_block.h"

#include <cmath>

#include "detail_moments.h"
#include "stat.h"

namespace tessivane {
namespace batch {
namespace detail {

pooled_t_constants::pooled_t_constants(unsigned long n1_, unsigned long n2_)
    : n1(n1_)
    , n2(n2_)
    , fn1(static_cast<float>(n1_))
    , fn2(static_cast<float>(n2_))
    , fn1_less(static_cast<float>(n1_ - 1))
    , fn2_less(static_cast<float>(n2_ - 1))
    , df(static_cast<float>(n1_ + n2_ - 2))
    , scale(1.0 / static_cast<double>(n1_) + 1.0 / static_cast<double>(n2_))
{}

namespace {

constexpr std::size_t L = kVoxelBlock;

// Whether the n values a row apart from p are all equal.
bool constant_lane(const float *p, std::ptrdiff_t row, unsigned long n)
{
    for (unsigned long j = 1; j < n; j++)
        if (!(p[static_cast<std::ptrdiff_t>(j) * row] == p[0]))
            return false;
    return true;
}

// avevar() of each lane.
void avevar_block(const float *p, std::ptrdiff_t row, unsigned long n, float fn, float fn_less,
                  float *ave, float *var)
{
    float sum[L] = {}, ep[L] = {}, ss[L] = {};
    for (unsigned long j = 0; j < n; j++)
        for (std::size_t l = 0; l < L; l++)
            sum[l] += p[static_cast<std::ptrdiff_t>(j) * row + l];
    for (std::size_t l = 0; l < L; l++)
        ave[l] = sum[l] / fn;
    for (unsigned long j = 0; j < n; j++)
        for (std::size_t l = 0; l < L; l++) {
            const float s = p[static_cast<std::ptrdiff_t>(j) * row + l] - ave[l];
            ep[l] += s;
            ss[l] += s * s;
        }
    for (std::size_t l = 0; l < L; l++)
        var[l] = (ss[l] - ep[l] * ep[l] / fn) / fn_less;
}

void pooled_t_lanes(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                    const pooled_t_constants &k, float *t, float *diff, float *svar)
{
    float ave1[L], var1[L], ave2[L], var2[L];
    avevar_block(a, a_row, k.n1, k.fn1, k.fn1_less, ave1, var1);
    avevar_block(b, b_row, k.n2, k.fn2, k.fn2_less, ave2, var2);
    for (std::size_t l = 0; l < L; l++) {
        svar[l] = (k.fn1_less * var1[l] + k.fn2_less * var2[l]) / k.df;
        diff[l] = ave1[l] - ave2[l];
        t[l] = svar[l] == 0.0f ? 0.0f : static_cast<float>(diff[l] / std::sqrt(svar[l] * k.scale));
    }
}

// ttest() of the one voxel whose samples start at a and b, a row apart, from
// 1-based copies.
float pooled_t_lane(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                    const pooled_t_constants &k)
{
    tessivane::detail::scratch_vector<float> d1(1, static_cast<long>(k.n1));
    tessivane::detail::scratch_vector<float> d2(1, static_cast<long>(k.n2));
    for (unsigned long j = 0; j < k.n1; j++)
        d1[j + 1] = a[static_cast<std::ptrdiff_t>(j) * a_row];
    for (unsigned long j = 0; j < k.n2; j++)
        d2[j + 1] = b[static_cast<std::ptrdiff_t>(j) * b_row];
    float t = 0.0f, unused = 0.0f;
    ::ttest(d1, k.n1, d2, k.n2, &t, &unused);
    return t;
}

}  // namespace

void pooled_t_block(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                    const pooled_t_constants &k, bool avx2, float *t)
{
    float diff[L], svar[L];
    if (!avx2 || !pooled_t_block_avx2(a, a_row, b, b_row, k, t, diff, svar))
        pooled_t_lanes(a, a_row, b, b_row, k, t, diff, svar);
    // A lane out of range goes to ttest(), except a constant one (zeros
    // outside the brain are common): its svar = 0 and t = 0 stand there too.
    for (std::size_t l = 0; l < L; l++)
        if (!tessivane::detail::pooled_in_range(diff[l], svar[l]) &&
            !(svar[l] == 0.0f && constant_lane(a + l, a_row, k.n1) &&
              constant_lane(b + l, b_row, k.n2)))
            t[l] = pooled_t_lane(a + l, a_row, b + l, b_row, k);
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
