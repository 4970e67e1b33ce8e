// Whether a stationary point of a fit of the built-in sum of Gaussians is a
// minimum: the full curvature of chi-square, with the model's second
// derivatives that the Gauss-Newton curvature alpha leaves out.

#include "detail_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessivane {
namespace detail {

int gauss_saddle(const float *x, const float *y, const float *sig, int ndata, const float *a,
                 const int *ia, int ma, float **alpha, const float *beta, double tolerance,
                 double *newton)
{
    // s[j][k] = sum_i r_i / sig_i^2 * d2f/da_j da_k, j <= k, over the
    // parameters 1..ma (a Gaussian's triple couples only with itself; the
    // amplitude enters linearly), in double.
    const int m = ma - ma % 3;
    std::vector<double> s(static_cast<std::size_t>(m + 1) * (m + 1), 0.0);
    auto at = [&](int j, int k) -> double & {
        return s[static_cast<std::size_t>(j) * (m + 1) + k];
    };
    for (int i = 1; i <= ndata; i++) {
        double f = 0.0;
        for (int g = 1; g + 2 <= m; g += 3) {
            const double u = (x[i] - static_cast<double>(a[g + 1])) / a[g + 2];
            f += a[g] * std::exp(-u * u);
        }
        const double w = (y[i] - f) / (static_cast<double>(sig[i]) * sig[i]);
        for (int g = 1; g + 2 <= m; g += 3) {
            const double width = a[g + 2], u = (x[i] - static_cast<double>(a[g + 1])) / width;
            const double e = std::exp(-u * u), be = a[g] * e, g2 = width * width;
            at(g, g + 1) += w * e * 2.0 * u / width;
            at(g, g + 2) += w * e * 2.0 * u * u / width;
            at(g + 1, g + 1) += w * be * (4.0 * u * u - 2.0) / g2;
            at(g + 1, g + 2) += w * be * (4.0 * u * u * u - 4.0 * u) / g2;
            at(g + 2, g + 2) += w * be * (4.0 * u * u * u * u - 6.0 * u * u) / g2;
        }
    }
    // H = alpha - s over the fitted parameters, scaled to unit diagonal of
    // alpha, plus the tolerance on its diagonal, and its Cholesky factor in
    // double: a failing pivot is a direction along which chi-square falls by
    // more than the float curvature resolves.
    std::vector<int> fitted(m);
    int n = 0;
    for (int l = 1; l <= m; l++)
        if (ia[l])
            fitted[n++] = l;
    std::vector<double> h(static_cast<std::size_t>(n) * n), scale(n);
    for (int j = 0; j < n; j++)
        scale[j] = 1.0 / std::sqrt(static_cast<double>(alpha[j + 1][j + 1]));
    for (int j = 0; j < n; j++)
        for (int k = 0; k <= j; k++) {
            const int p = fitted[k], q = fitted[j];
            h[j * n + k] = (alpha[j + 1][k + 1] - at(p, q)) * scale[j] * scale[k];
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

void gauss_curvature(const float *x, const float *sig, int ndata, const float *a, const int *ia,
                     int ma, double *curvature)
{
    const int m = ma - ma % 3;
    std::vector<int> fitted;
    for (int l = 1; l <= ma; l++)
        if (ia[l])
            fitted.push_back(l);
    const std::size_t n = fitted.size();
    std::fill(curvature, curvature + n * n, 0.0);
    std::vector<double> d(ma + 1, 0.0);
    for (int i = 1; i <= ndata; i++) {
        for (int g = 1; g + 2 <= m; g += 3) {
            const double width = a[g + 2], u = (x[i] - static_cast<double>(a[g + 1])) / width;
            const double e = std::exp(-u * u), twice = 2.0 * a[g] * e * u / width;
            d[g] = e;
            d[g + 1] = twice;
            d[g + 2] = twice * u;
        }
        const double w = 1.0 / (static_cast<double>(sig[i]) * sig[i]);
        for (std::size_t j = 0; j < n; j++) {
            const double wd = w * d[fitted[j]];
            for (std::size_t k = 0; k <= j; k++)
                curvature[j * n + k] += wd * d[fitted[k]];
        }
    }
    for (std::size_t j = 0; j < n; j++)
        for (std::size_t k = 0; k < j; k++)
            curvature[k * n + j] = curvature[j * n + k];
}

}  // namespace detail
}  // namespace tessivane
