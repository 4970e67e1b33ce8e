// Whether a stationary point of a fit of the built-in sum of Gaussians is a
// minimum: the full curvature of chi-square, with the model's second
// derivatives that the Gauss-Newton curvature alpha leaves out.

#include "detail_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessivane {
namespace detail {

gauss_sums::gauss_sums(const float *x, const float *y, const float *sig, int ndata, const float *a,
                       const int *ia, int ma)
    : m_(ma - ma % 3)
    , second_(static_cast<std::size_t>(m_ + 1) * (m_ + 1), 0.0)
{
    const std::size_t n =
        static_cast<std::size_t>(std::count_if(ia + 1, ia + 1 + ma, [](int f) { return f != 0; }));
    fitted_ = std::vector<int>(n);
    for (int l = 1, j = 0; l <= ma; l++)
        if (ia[l])
            fitted_[j++] = l;
    curvature_ = std::vector<double>(n * n, 0.0);
    // d: the first derivatives at the point (0 past the last whole triple).
    // ex: each Gaussian's exponential at the point.
    std::vector<double> d(ma + 1, 0.0), ex(m_ + 1);
    for (int i = 1; i <= ndata; i++) {
        double f = 0.0;
        for (int g = 1; g + 2 <= m_; g += 3) {
            const double u = (x[i] - static_cast<double>(a[g + 1])) / a[g + 2];
            ex[g] = std::exp(-u * u);
            f += a[g] * ex[g];
        }
        const double w = (y[i] - f) / (static_cast<double>(sig[i]) * sig[i]);
        for (int g = 1; g + 2 <= m_; g += 3) {
            const double width = a[g + 2], u = (x[i] - static_cast<double>(a[g + 1])) / width;
            const double e = ex[g], be = a[g] * e, g2 = width * width;
            second(g, g + 1) += w * e * 2.0 * u / width;
            second(g, g + 2) += w * e * 2.0 * u * u / width;
            second(g + 1, g + 1) += w * be * (4.0 * u * u - 2.0) / g2;
            second(g + 1, g + 2) += w * be * (4.0 * u * u * u - 4.0 * u) / g2;
            second(g + 2, g + 2) += w * be * (4.0 * u * u * u * u - 6.0 * u * u) / g2;
            const double twice = 2.0 * a[g] * e * u / width;
            d[g] = e;
            d[g + 1] = twice;
            d[g + 2] = twice * u;
        }
        const double weight = 1.0 / (static_cast<double>(sig[i]) * sig[i]);
        for (std::size_t j = 0; j < n; j++) {
            const double wd = weight * d[fitted_[j]];
            for (std::size_t k = 0; k <= j; k++)
                curvature_[j * n + k] += wd * d[fitted_[k]];
        }
    }
    for (std::size_t j = 0; j < n; j++)
        for (std::size_t k = 0; k < j; k++)
            curvature_[k * n + j] = curvature_[j * n + k];
}

int gauss_saddle(const gauss_sums &sums, float **alpha, const float *beta, double tolerance,
                 double *newton)
{
    const std::vector<int> &fitted = sums.fitted();
    const int n = static_cast<int>(fitted.size());
    // H = alpha - s over the fitted parameters, scaled to unit diagonal of
    // alpha, plus the tolerance on its diagonal, and its Cholesky factor in
    // double: a failing pivot is a direction along which chi-square falls by
    // more than the float curvature resolves.
    std::vector<double> h(static_cast<std::size_t>(n) * n), scale(n);
    for (int j = 0; j < n; j++)
        scale[j] = 1.0 / std::sqrt(static_cast<double>(alpha[j + 1][j + 1]));
    for (int j = 0; j < n; j++)
        for (int k = 0; k <= j; k++) {
            const int p = fitted[k], q = fitted[j];
            h[j * n + k] = (alpha[j + 1][k + 1] - sums.second_at(p, q)) * scale[j] * scale[k];
        }
    for (int j = 0; j < n; j++)
        h[j * n + j] += tolerance;
    for (int j = 0; j < n; j++) {
        for (int k = 0; k <= j; k++) {
            double v = h[j * n + k];
            for (int i = 0; i < k; i++)
                v -= h[j * n + i] * h[k * n + i];
            if (k < j) {
                h[j * n + k] = v / h[k * n + k];
            } else if (v > 0.0) {
                h[j * n + j] = std::sqrt(v);
            } else {
                return fitted[j];
            }
        }
    }
    // beta . H^-1 beta through the factor, beta scaled as H was.
    std::vector<double> z(n);
    *newton = 0.0;
    for (int j = 0; j < n; j++) {
        double v = beta[j + 1] * scale[j];
        for (int k = 0; k < j; k++)
            v -= h[j * n + k] * z[k];
        z[j] = v / h[j * n + j];
        *newton += z[j] * z[j];
    }
    return 0;
}

}  // namespace detail
}  // namespace tessivane
