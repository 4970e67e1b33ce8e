// Starting values for the built-in sum of Gaussians from a series' own data.

#include "stat.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessivane {
namespace {

// exp(-(x / G)^2) is 1/2 at x = G sqrt(ln 2).
const double kHalfWidthPerG = std::sqrt(std::log(2.0));

struct axis {
    const float *x;
    int n;
    bool monotonic;
    double spacing;  // the smallest non-zero distance of neighbours (or range / n)
};

axis describe_axis(const float *x, int n)
{
    axis ax{x, n, true, 0.0};
    int rising = 0, falling = 0;
    double smallest = HUGE_VAL;
    for (int i = 1; i < n; i++) {
        const double d = static_cast<double>(x[i + 1]) - x[i];
        rising += d > 0.0;
        falling += d < 0.0;
        if (d != 0.0)
            smallest = std::min(smallest, std::fabs(d));
    }
    ax.monotonic = rising == 0 || falling == 0;
    const auto [lo, hi] = std::minmax_element(x + 1, x + n + 1);
    const double range = static_cast<double>(*hi) - *lo;
    ax.spacing = ax.monotonic && smallest < HUGE_VAL ? smallest : (range > 0.0 ? range / n : 1.0);
    return ax;
}

// Where the running mean s falls to half of s[p] walking from p in steps of
// dir (+1 or -1), interpolated between samples; false when it never does.
bool half_point(const axis &ax, const std::vector<double> &s, int p, int dir, double *where)
{
    const double half = 0.5 * s[p];
    for (int i = p; i + dir >= 1 && i + dir <= ax.n; i += dir) {
        const double next = s[i + dir];
        if (std::fabs(next) <= std::fabs(half) || next * half < 0.0) {
            const double t = (s[i] - half) / (s[i] - next);
            *where = ax.x[i] + t * (static_cast<double>(ax.x[i + dir]) - ax.x[i]);
            return true;
        }
    }
    return false;
}

// Centre and width from the half-maximum points around sample p.
void from_half_maximum(const axis &ax, const std::vector<double> &s, int p, double *centre,
                       double *width)
{
    *centre = ax.x[p];
    double left = 0.0, right = 0.0;
    const bool has_left = half_point(ax, s, p, -1, &left);
    const bool has_right = half_point(ax, s, p, +1, &right);
    double half_width;
    if (has_left && has_right)
        half_width = 0.5 * std::fabs(right - left);
    else if (has_left || has_right)
        half_width = std::fabs((has_left ? left : right) - *centre);
    else
        half_width = 0.5 * std::fabs(static_cast<double>(ax.x[ax.n]) - ax.x[1]);
    *width = half_width / kHalfWidthPerG;
}

// Centre and width from the moments of the part of r with the sign of the
// peak: for exp(-(x / G)^2) the variance is G^2 / 2.
void from_moments(const axis &ax, const std::vector<double> &r, double sign, double *centre,
                  double *width)
{
    double w = 0.0, wx = 0.0, wxx = 0.0;
    for (int i = 1; i <= ax.n; i++) {
        const double v = std::max(sign * r[i], 0.0);
        w += v;
        wx += v * ax.x[i];
    }
    *centre = w > 0.0 ? wx / w : ax.x[1];
    for (int i = 1; i <= ax.n; i++) {
        const double d = ax.x[i] - *centre;
        wxx += std::max(sign * r[i], 0.0) * d * d;
    }
    *width = w > 0.0 ? std::sqrt(2.0 * wxx / w) : 0.0;
}

}  // namespace

void gauss_start(const float *x, const float *y, int ndata, float *a, int ma)
{
    const axis ax = describe_axis(x, ndata);
    std::vector<double> rest(ndata + 1), smooth(ndata + 1);
    for (int i = 1; i <= ndata; i++)
        rest[i] = y[i];
    int g = 1;
    for (; g + 2 <= ma; g += 3) {
        // A three-point running mean locates the peak without chasing one
        // noisy sample.
        int p = 1;
        for (int i = 1; i <= ndata; i++) {
            const int lo = std::max(1, i - 1), hi = std::min(ndata, i + 1);
            double sum = 0.0;
            for (int k = lo; k <= hi; k++)
                sum += rest[k];
            smooth[i] = sum / (hi - lo + 1);
            if (std::fabs(smooth[i]) > std::fabs(smooth[p]) || std::isnan(smooth[i]))
                p = i;
        }
        const double amplitude = smooth[p];
        double centre, width;
        if (ax.monotonic)
            from_half_maximum(ax, smooth, p, &centre, &width);
        else
            from_moments(ax, rest, amplitude < 0.0 ? -1.0 : 1.0, &centre, &width);
        if (!(width >= ax.spacing))
            width = std::isnan(width) ? width : ax.spacing;
        a[g] = static_cast<float>(amplitude);
        a[g + 1] = static_cast<float>(centre);
        a[g + 2] = static_cast<float>(width);
        // The next Gaussian starts from what this one leaves unexplained.
        for (int i = 1; i <= ndata; i++) {
            const double arg = (x[i] - centre) / width;
            rest[i] -= amplitude * std::exp(-arg * arg);
        }
    }
    for (; g <= ma; g++)
        a[g] = 0.0f;
}

}  // namespace tessivane
