// Internal to libtessivane (not installed): the steps of svdfit that the batch
// shares, and the built-in Gaussian model at many points at once.
#ifndef TESSIVANE_NUMERICS_DETAIL_FIT_H
#define TESSIVANE_NUMERICS_DETAIL_FIT_H

#include "detail_isa.h"

#include <vector>

namespace tessivane {
namespace detail {

// The sums over the points of a fit of fgauss with ma parameters at
// a[1..ma], in double, in one pass: the curvature from the model's first
// derivatives over the fitted parameters (curvature()[j * mfit + k] = sum_i
// dy/da_j dy/da_k / sig_i^2, in increasing parameter order; a parameter past
// the last whole triple has none), and the residuals times the second
// derivatives, second_at(j, k) = sum_i r_i / sig_i^2 d2y/da_j da_k for
// j <= k over the parameters 1..ma (a Gaussian's triple couples only with
// itself; the amplitude enters linearly).
class gauss_sums {
public:
    gauss_sums(const float *x, const float *y, const float *sig, int ndata, const float *a,
               const int *ia, int ma);
    const std::vector<int> &fitted() const { return fitted_; }
    const double *curvature() const { return curvature_.data(); }
    double second_at(int j, int k) const
    {
        return j > m_ || k > m_ ? 0.0 : second_[static_cast<std::size_t>(j) * (m_ + 1) + k];
    }

private:
    double &second(int j, int k) { return second_[static_cast<std::size_t>(j) * (m_ + 1) + k]; }
    int m_;
    std::vector<int> fitted_;
    std::vector<double> curvature_, second_;
};

// For a fit of fgauss whose packed curvature is alpha (mrqcof's, over the
// fitted parameters) and whose sums at its parameters are `sums`: 0 when the
// full curvature of chi-square, alpha less the residuals times the model's
// second derivatives, scaled to unit diagonal of alpha, plus tolerance times
// the identity, is positive definite in double, else the index (1..ma) of a
// parameter along which it is not: the fit sits at a saddle, not a minimum.
// When it is, *newton = beta . H^-1 beta, the decrease of chi-square a full
// Newton step predicts (beta packed, as mrqcof gives it).
int gauss_saddle(const gauss_sums &sums, float **alpha, const float *beta, double tolerance,
                 double *newton);

// svdfit's steps, so that a batch over many series takes the same ones.
// Point i's weighted design row: afunc[1..ma] = the basis at x, u_row[j] =
// afunc[j] * (1 / sig); returns 1 / sig, the weight of the point's y.
float weighted_design_row(float x, float sig, void (*funcs)(float, float *, int), float *afunc,
                          float *u_row, int ma);
// Sets the singular values w[1..ma] below 1e-5 times the largest to 0.
void cut_small_singular_values(float *w, int ma);
// Point i's term of chi-square: ((y - sum_j a[j] afunc[j]) / sig)^2.
float chisq_term(const float *a, const float *afunc, int ma, float y, float sig);

// The most points fgauss_points_avx2 takes in one call.
constexpr int kFgaussBlock = 64;

// For each of the `count` (1..kFgaussBlock) points x[0..count-1]:
// fgauss(x[p], a, &ymod[p], d, ma) with d[k] at dyda[(k - 1) * kFgaussBlock + p]
// (k = 1..ma; the derivatives fgauss leaves unwritten are 0). ymod and each
// row of dyda are written up to count rounded up to 8. Eight points side by
// side in AVX2 lanes, each taking fgauss's float and double steps in their
// order; true when it ran.
#if TV_HAVE_AVX2_PATHS
bool fgauss_points_avx2(const float *x, const float *a, int ma, int count, float *ymod,
                        float *dyda);
// mrqcof's sums for three free parameters, sums = {a11 a21 a22 a31 a32 a33
// b1 b2 b3 chisq}, carried on over points 0..count-1 with y, sig, the model
// values and the derivatives d1, d2, d3: each sum takes mrqcof's products and
// adds point by point in order (eight points' products side by side, each
// sum in its own lane); true when it ran.
bool three_free_sums_avx2(float *sums, const float *y, const float *sig, const float *ymod,
                          const float *d1, const float *d2, const float *d3, int count);
#else
inline bool fgauss_points_avx2(const float *, const float *, int, int, float *, float *)
{
    return false;
}
inline bool three_free_sums_avx2(float *, const float *, const float *, const float *,
                                 const float *, const float *, const float *, int)
{
    return false;
}
#endif

}  // namespace detail
}  // namespace tessivane

#endif
