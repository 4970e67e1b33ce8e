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
// *inner: the sample before the crossing.
bool half_point(const std::vector<double> &x, const std::vector<double> &m, int p, int dir,
                double *where, int *inner)
{
    const double half = 0.5 * m[p];
    const int n = static_cast<int>(x.size());
    for (int i = p; i + dir >= 0 && i + dir < n; i += dir) {
        const double next = m[i + dir];
        if (std::fabs(next) <= std::fabs(half) || next * half < 0.0) {
            const double t = m[i] == next ? 0.0 : (m[i] - half) / (m[i] - next);
            *where = x[i] + t * (x[i + dir] - x[i]);
            *inner = i;
            return true;
        }
    }
    return false;
}

// The half-width in samples of the symmetric window of at most k samples
// either side of sample i of n (fewer near the edges).
int reach(int i, int k, int n)
{
    return std::min(k, std::min(i, n - 1 - i));
}

// The width G of the running mean's peak at p from its half-maximum points
// (one side at an edge; half the range when neither side falls to half),
// with the widening by the mean taken out: the window of 2r + 1 samples at a
// half point adds its variance r (r + 1) h^2 / 3 to the Gaussian's G^2 / 2.
// *widened: the width of the mean's peak itself.
double half_maximum_width(const std::vector<double> &x, const std::vector<double> &m, int p, int k,
                          double h, double *widened)
{
    const int n = static_cast<int>(x.size());
    double left = 0.0, right = 0.0, box = 0.0;
    int inner_left = p, inner_right = p;
    const bool has_left = half_point(x, m, p, -1, &left, &inner_left);
    const bool has_right = half_point(x, m, p, +1, &right, &inner_right);
    auto variance = [&](int i) {
        const double r = reach(i, k, n);
        return r * (r + 1.0) * h * h / 3.0;
    };
    double half_width;
    if (has_left && has_right) {
        half_width = 0.5 * (right - left);
        box = 0.5 * (variance(inner_left) + variance(inner_right));
    } else if (has_left || has_right) {
        half_width = std::fabs((has_left ? left : right) - x[p]);
        box = variance(has_left ? inner_left : inner_right);
    } else {
        half_width = 0.5 * (x.back() - x.front());
    }
    *widened = half_width / kHalfWidthPerG;
    return std::sqrt(std::max(*widened * *widened - 2.0 * box, 0.0));
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

// The sum of v over the window of k samples either side of sample i (fewer
// at the edges), from the prefix sums sum[i] = v[0] + .. + v[i-1].
struct window {
    int lo, hi;
    window(int i, int k, int n)
        : lo(std::max(i - k, 0))
        , hi(std::min(i + k, n - 1))
    {
    }
    double sum(const std::vector<double> &prefix) const { return prefix[hi + 1] - prefix[lo]; }
    int count() const { return hi - lo + 1; }
};

// The peak of the series (sorted by x, its prefix sums given) that a window
// sees most clearly: over the half-widths k = 1, 2, 4, ... (the window at
// most half the series) and every position i, the largest (sum of the
// window)^2 / (its count) - the drop of the sum of squares that a constant
// over the window explains; at its best half-width, the box filter matched to
// a peak of about that width. Writes the half-width and the position.
void clearest_peak(const std::vector<double> &prefix, int n, int *k_best, int *p_best)
{
    double best = -1.0;
    *k_best = 1, *p_best = 0;
    for (int k = 1; k == 1 || 2 * k + 1 <= n / 2; k *= 2)
        for (int i = 0; i < n; i++) {
            const window w(i, k, n);
            const double s = w.sum(prefix), seen = s * s / w.count();
            if (seen > best)
                best = seen, *k_best = k, *p_best = i;
        }
}

}  // namespace

void gauss_start(float *x, float *y, int ndata, float *a, int ma)
{
    const auto finite = [](float v) { return std::isfinite(v); };
    if (!std::all_of(x + 1, x + 1 + ndata, finite) || !std::all_of(y + 1, y + 1 + ndata, finite)) {
        std::fill(a + 1, a + 1 + ma, std::nanf(""));
        return;
    }
    sorted_series s = sort_by_x(x, y, ndata);
    const int n = ndata;
    std::vector<double> &rest = s.y, mean(n), prefix(n + 1);
    int g = 1;
    for (; g + 2 <= ma; g += 3) {
        prefix[0] = 0.0;
        for (int i = 0; i < n; i++)
            prefix[i + 1] = prefix[i] + rest[i];
        // The window that sees the peak most clearly averages the noise down
        // without flattening the peak much. Its running mean over windows
        // symmetric about each sample (so that a peak at an edge stays there)
        // gives the centre, near where the window saw it, and the half-maximum
        // points.
        int k = 1, seen = 0;
        clearest_peak(prefix, n, &k, &seen);
        const double sign = std::copysign(1.0, window(seen, k, n).sum(prefix));
        for (int i = 0; i < n; i++) {
            const int r = reach(i, k, n);
            mean[i] = (prefix[i + r + 1] - prefix[i - r]) / (2 * r + 1);
        }
        const window near(seen, k, n);
        int p = near.lo;
        for (int i = near.lo; i <= near.hi; i++)
            if (sign * mean[i] > sign * mean[p])
                p = i;
        const double h =
            near.hi > near.lo ? (s.x[near.hi] - s.x[near.lo]) / (near.hi - near.lo) : s.spacing;
        // The mean keeps the peak's area, so its height shrinks by G / G_mean;
        // the height is at most the largest sample of its sign near it.
        double widened = 0.0;
        const double width =
            std::max(half_maximum_width(s.x, mean, p, k, h, &widened), std::min(h, s.spacing));
        double tallest = std::fabs(mean[p]);
        for (int i = near.lo; i <= near.hi; i++)
            if (sign * rest[i] > tallest)
                tallest = sign * rest[i];
        const double amplitude =
            sign * std::min(std::fabs(mean[p]) * std::max(widened, width) / width, tallest);
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
