// Starting values for the built-in sum of Gaussians from a series' own data.

#include "stat.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// exp(-(x / G)^2) is 1/2 at x = G sqrt(ln 2).
const double kHalfWidthPerG = std::sqrt(std::log(2.0));

// The series in increasing x (0-based), with the smallest non-zero spacing.
struct sorted_series {
    std::vector<double> x, y;
    double spacing = 1.0;
};

sorted_series sort_by_x(const float *x, const float *y, int n)
{
    sorted_series s;
    s.x = std::vector<double>(n);
    s.y = std::vector<double>(n);
    if (std::is_sorted(x + 1, x + 1 + n)) {
        // A time axis is in order already.
        for (int i = 0; i < n; i++)
            s.x[i] = x[i + 1], s.y[i] = y[i + 1];
    } else {
        // The library's own sort with y as companion, on copies.
        std::vector<float> xs(x + 1, x + 1 + n), ys(y + 1, y + 1 + n);
        sort2(static_cast<unsigned long>(n), xs.data() - 1, ys.data() - 1);
        for (int i = 0; i < n; i++)
            s.x[i] = xs[i], s.y[i] = ys[i];
    }
    double smallest = HUGE_VAL;
    for (int i = 1; i < n; i++)
        if (s.x[i] != s.x[i - 1])
            smallest = std::min(smallest, s.x[i] - s.x[i - 1]);
    if (smallest < HUGE_VAL)
        s.spacing = smallest;
    return s;
}

// Where the running mean m falls to half of m[p] walking from p in steps of
// dir (+1 or -1), interpolated between samples; false when it never does.
bool half_point(const std::vector<double> &x, const std::vector<double> &m, int p, int dir,
                double *where)
{
    const double half = 0.5 * m[p];
    const int n = static_cast<int>(x.size());
    for (int i = p; i + dir >= 0 && i + dir < n; i += dir) {
        const double next = m[i + dir];
        if (std::fabs(next) <= std::fabs(half) || next * half < 0.0) {
            const double t = (m[i] - half) / (m[i] - next);
            *where = x[i] + t * (x[i + dir] - x[i]);
            return true;
        }
    }
    return false;
}

// The width G of the running mean's peak at p from its half-maximum points
// (one side at an edge; half the range when neither side falls to half).
double half_maximum_width(const std::vector<double> &x, const std::vector<double> &m, int p)
{
    double left = 0.0, right = 0.0;
    const bool has_left = half_point(x, m, p, -1, &left);
    const bool has_right = half_point(x, m, p, +1, &right);
    double half_width;
    if (has_left && has_right)
        half_width = 0.5 * (right - left);
    else if (has_left || has_right)
        half_width = std::fabs((has_left ? left : right) - x[p]);
    else
        half_width = 0.5 * (x.back() - x.front());
    return half_width / kHalfWidthPerG;
}

// The vertex of the parabola through the running mean at p and its
// neighbours, kept within half a spacing of x[p].
double vertex(const std::vector<double> &x, const std::vector<double> &m, int p)
{
    const int n = static_cast<int>(x.size());
    if (p == 0 || p == n - 1)
        return x[p];
    const double curvature = m[p - 1] - 2.0 * m[p] + m[p + 1];
    if (curvature == 0.0)
        return x[p];
    const double shift = std::clamp(0.5 * (m[p - 1] - m[p + 1]) / curvature, -0.5, 0.5);
    return x[p] + shift * (shift < 0.0 ? x[p] - x[p - 1] : x[p + 1] - x[p]);
}

}  // namespace

void gauss_start(float *x, float *y, int ndata, float *a, int ma)
{
    if (std::any_of(x + 1, x + 1 + ndata, [](float v) { return std::isnan(v); })) {
        std::fill(a + 1, a + 1 + ma, std::nanf(""));
        return;
    }
    sorted_series s = sort_by_x(x, y, ndata);
    const int n = ndata;
    const double h = s.spacing;
    std::vector<double> &rest = s.y, mean(n);
    int g = 1;
    for (; g + 2 <= ma; g += 3) {
        // A three-point running mean locates the peak without chasing one
        // noisy sample.
        int p = 0;
        for (int i = 0; i < n; i++) {
            if (i == 0 || i == n - 1)
                mean[i] = n == 1 ? rest[0] : 0.5 * (rest[i] + rest[i == 0 ? 1 : n - 2]);
            else
                mean[i] = (rest[i - 1] + rest[i] + rest[i + 1]) * (1.0 / 3.0);
            if (std::fabs(mean[i]) > std::fabs(mean[p]) || std::isnan(mean[i]))
                p = i;
        }
        // The mean widens a Gaussian of width G: the box of three samples adds
        // its variance 2 h^2 / 3 to the Gaussian's G^2 / 2, and keeps its area,
        // so the peak's height shrinks by G / G_mean.
        const double width_mean = half_maximum_width(s.x, mean, p);
        double width = std::sqrt(std::max(width_mean * width_mean - 4.0 * h * h / 3.0, 0.0));
        if (!(width >= h))
            width = std::isnan(width) ? width : h;
        const double amplitude = mean[p] * std::max(width_mean, width) / width;
        const double centre = vertex(s.x, mean, p);
        a[g] = static_cast<float>(amplitude);
        a[g + 1] = static_cast<float>(centre);
        a[g + 2] = static_cast<float>(width);
        // The next Gaussian starts from what this one leaves unexplained.
        for (int i = 0; g + 5 <= ma && i < n; i++) {
            const double arg = (s.x[i] - centre) / width;
            rest[i] -= amplitude * std::exp(-arg * arg);
        }
    }
    for (; g <= ma; g++)
        a[g] = 0.0f;
}
