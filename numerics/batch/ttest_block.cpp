// The pooled-variance t of eight voxels side by side, in plain code: reading
// the rows of a column layout front to back instead of gathering each voxel
// from samples a row apart.

#include "detail_ttest_block.h"

#include <cmath>

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

}  // namespace

void pooled_t_block(const float *a, std::ptrdiff_t a_row, const float *b, std::ptrdiff_t b_row,
                    const pooled_t_constants &k, bool avx2, float *t)
{
    if (avx2 && pooled_t_block_avx2(a, a_row, b, b_row, k, t))
        return;
    float ave1[L], var1[L], ave2[L], var2[L];
    avevar_block(a, a_row, k.n1, k.fn1, k.fn1_less, ave1, var1);
    avevar_block(b, b_row, k.n2, k.fn2, k.fn2_less, ave2, var2);
    for (std::size_t l = 0; l < L; l++) {
        const float svar = (k.fn1_less * var1[l] + k.fn2_less * var2[l]) / k.df;
        const float diff = ave1[l] - ave2[l];
        t[l] = svar == 0.0f ? 0.0f : static_cast<float>(diff / std::sqrt(svar * k.scale));
    }
}

}  // namespace detail
}  // namespace batch
}  // namespace tessivane
