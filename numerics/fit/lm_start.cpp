// Starting values for the built-in sum of Gaussians from a series' own data.

#include "stat.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// exp(-(x / G)^2) is 1/2 at x = G sqrt(ln 2).
const double kHalfWidthPerG = std::sqrt(std::log(2.0));

// Work storage of n points: what the earlier Gaussians leave unexplained
// (from the second Gaussian on) and the prefix sums of the series (n + 1);
// up to 256 points on the stack. xs, ys: sorted copies when x is not in order.
class storage {
public:
    explicit storage(int n)
        : n_(n)
    {
        const std::size_t size = 2 * static_cast<std::size_t>(n) + 1;
        if (size > sizeof small_ / sizeof small_[0]) {
            big_ = std::vector<double>(size);
            block_ = big_.data();
        }
    }
    storage(const storage &) = delete;
    storage &operator=(const storage &) = delete;
    double *rest() { return block_; }
    double *prefix() { return block_ + n_; }
    std::vector<float> xs, ys;

private:
    int n_;
    double small_[2 * 256 + 1];
    double *block_ = small_;
    std::vector<double> big_;
};

// x[1..n] and y[1..n] in increasing x, 0-based: the caller's arrays when x
// is in order already (as a time axis is), else sorted copies in s; false
// when some x is NaN or infinite.
bool sort_by_x(const float *x, const float *y, int n, storage &s, const float **sx,
               const float **sy)
{
    bool sorted = true;
    for (int i = 2; i <= n; i++)
        sorted &= x[i] >= x[i - 1];
    if (sorted) {
        // No NaN (a comparison with it is false), so its ends bound x.
        *sx = x + 1, *sy = y + 1;
        return std::isfinite(x[1]) && std::isfinite(x[n]);
    }
    if (!std::all_of(x + 1, x + 1 + n, [](float v) { return std::isfinite(v); }))
        return false;
    // The library's own sort with y as companion, on copies.
    s.xs = std::vector<float>(x + 1, x + 1 + n);
    s.ys = std::vector<float>(y + 1, y + 1 + n);
    sort2(static_cast<unsigned long>(n), s.xs.data() - 1, s.ys.data() - 1);
    *sx = s.xs.data(), *sy = s.ys.data();
    return true;
}

// The smallest non-zero spacing of the increasing x[lo..hi] (1 when there
// is none).
double smallest_spacing(const float *x, int lo, int hi)
{
    double smallest = HUGE_VAL;
    for (int i = lo + 1; i <= hi; i++) {
        const double d = static_cast<double>(x[i]) - x[i - 1];
        if (d > 0.0 && d < smallest)
            smallest = d;
    }
    return smallest < HUGE_VAL ? smallest : 1.0;
}

// The samples lo..hi of the window of k samples either side of i (fewer at
// the edges), its sum from the prefix sums sum[i] = v[0] + .. + v[i-1].
struct window {
    int lo, hi;
    window(int i, int k, int n)
        : lo(std::max(i - k, 0))
        , hi(std::min(i + k, n - 1))
    {}
    double sum(const double *prefix) const { return prefix[hi + 1] - prefix[lo]; }
    int count() const { return hi - lo + 1; }
};

// The running mean of half-width k: at sample i the mean over the window of
// at most k samples either side, symmetric about i (fewer near the edges, so
// that a peak at an edge stays there), from the prefix sums.
struct running_mean {
    const double *prefix;
    int k, n;
    int reach(int i) const { return std::min(k, std::min(i, n - 1 - i)); }
    double operator[](int i) const
    {
        const int r = reach(i);
        return (prefix[i + r + 1] - prefix[i - r]) / (2 * r + 1);
    }
};

// Where the running mean m falls to half of m[p] walking from p in steps of
// dir (+1 or -1), interpolated between samples; false when it never does.
// *inner: the sample before the crossing.
bool half_point(const float *x, const running_mean &m, int p, int dir, double *where, int *inner)
{
    const double half = 0.5 * m[p];
    double here = m[p];
    for (int i = p; i + dir >= 0 && i + dir < m.n; i += dir) {
        const double next = m[i + dir];
        if (std::fabs(next) <= std::fabs(half) || next * half < 0.0) {
            const double t = here == next ? 0.0 : (here - half) / (here - next);
            *where = x[i] + t * (static_cast<double>(x[i + dir]) - x[i]);
            *inner = i;
            return true;
        }
        here = next;
    }
    return false;
}

// The width G of the running mean's peak at p from its half-maximum points
// (one side at an edge; half the range when neither side falls to half),
// with the widening by the mean taken out: the window of 2r + 1 samples at a
// half point adds its variance r (r + 1) h^2 / 3 to the Gaussian's G^2 / 2.
// *widened: the width of the mean's peak itself.
double half_maximum_width(const float *x, const running_mean &m, int p, double h, double *widened)
{
    double left = 0.0, right = 0.0, box = 0.0;
    int inner_left = p, inner_right = p;
    const bool has_left = half_point(x, m, p, -1, &left, &inner_left);
    const bool has_right = half_point(x, m, p, +1, &right, &inner_right);
    auto variance = [&](int i) {
        const double r = m.reach(i);
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
        half_width = 0.5 * (static_cast<double>(x[m.n - 1]) - x[0]);
    }
    *widened = half_width / kHalfWidthPerG;
    return std::sqrt(std::max(*widened * *widened - 2.0 * box, 0.0));
}

// The vertex of the parabola through the running mean at p and its
// neighbours, kept within half a spacing of x[p].
double vertex(const float *x, const running_mean &m, int p)
{
    if (p == 0 || p == m.n - 1)
        return x[p];
    const double before = m[p - 1], at = m[p], after = m[p + 1];
    const double curvature = before - 2.0 * at + after;
    if (curvature == 0.0)
        return x[p];
    const double shift = std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
    return x[p] + shift * (shift < 0.0 ? static_cast<double>(x[p]) - x[p - 1]
                                       : static_cast<double>(x[p + 1]) - x[p]);
}

// The peak of the series (sorted by x, its prefix sums given) that a window
// sees most clearly: over the half-widths k = 1, 2, 4, ... (the window at
// most half the series) and every position i, the largest (sum of the
// window)^2 / (its count) - the drop of the sum of squares that a constant
// over the window explains; at its best half-width, the box filter matched to
// a peak of about that width. Clipped windows at the edges count only for
// k = 1: a wider window sees a peak at an edge from the whole window nearest
// to it. Writes the half-width and the position.
void clearest_peak(const double *prefix, int n, int *k_best, int *p_best)
{
    double best = -1.0;
    *k_best = 1, *p_best = 0;
    auto edge = [&](int i) {
        const window w(i, 1, n);
        const double s = w.sum(prefix), count = w.count();
        if (s * s > best * count)
            best = s * s / count, *p_best = i;
    };
    for (int k = 1; k == 1 || 2 * k + 1 <= n / 2; k *= 2) {
        const int first = std::min(k, n), last = n - 1 - k;  // the whole windows
        if (k == 1)
            edge(0);
        // Whole windows share their count: compare the squared sums, a
        // quarter of the half-width apart (a shift by that changes a wide
        // window's sum little; the centre is found on the running mean).
        const double count = 2.0 * k + 1.0;
        const int step = std::max(k / 4, 1);
        double top = best * count;
        int found = -1;
        for (int i = first; i <= last; i += step) {
            const double s = prefix[i + k + 1] - prefix[i - k];
            if (s * s > top)
                top = s * s, found = i;
        }
        if (found >= 0)
            best = top / count, *k_best = k, *p_best = found;
        if (k == 1 && n > 1)
            edge(n - 1);
    }
}

}  // namespace

void gauss_start(float *x, float *y, int ndata, float *a, int ma)
{
    const int n = ndata;
    storage s(n);
    const float *sx = nullptr, *sy = nullptr;
    bool fault = n < 1 || !sort_by_x(x, y, n, s, &sx, &sy);
    double *rest = s.rest(), *prefix = s.prefix();
    int g = 1;
    for (; !fault && g + 2 <= ma; g += 3) {
        // The series itself for the first Gaussian, what the earlier ones
        // leave unexplained for the others.
        const bool first = g == 1;
        prefix[0] = 0.0;
        if (first)
            for (int i = 0; i < n; i++)
                prefix[i + 1] = prefix[i] + sy[i];
        else
            for (int i = 0; i < n; i++)
                prefix[i + 1] = prefix[i] + rest[i];
        // A NaN or infinite y leaves the sum not finite (finite floats
        // cannot overflow it).
        if ((fault = !std::isfinite(prefix[n])))
            break;
        // The window that sees the peak most clearly averages the noise down
        // without flattening the peak much. Its running mean gives the
        // centre, near where the window saw it, and the half-maximum points.
        int k = 1, seen = 0;
        clearest_peak(prefix, n, &k, &seen);
        const double sign = std::copysign(1.0, window(seen, k, n).sum(prefix));
        const running_mean mean{prefix, k, n};
        const window near(seen, k, n);
        int p = near.lo;
        double top = sign * mean[p];
        for (int i = near.lo + 1; i <= near.hi; i++) {
            const double m = sign * mean[i];
            if (m > top)
                top = m, p = i;
        }
        const double spacing = smallest_spacing(sx, near.lo, near.hi);
        const double h = near.hi > near.lo ? (static_cast<double>(sx[near.hi]) - sx[near.lo]) /
                                                 (near.hi - near.lo)
                                           : spacing;
        // The mean keeps the peak's area, so its height shrinks by G / G_mean;
        // the height is at most the largest sample of its sign near it.
        double widened = 0.0;
        const double width =
            std::max(half_maximum_width(sx, mean, p, h, &widened), std::min(h, spacing));
        double tallest = std::fabs(mean[p]);
        for (int i = near.lo; i <= near.hi; i++)
            tallest = std::max(tallest, sign * (first ? sy[i] : rest[i]));
        const double amplitude =
            sign * std::min(std::fabs(mean[p]) * std::max(widened, width) / width, tallest);
        const double centre = vertex(sx, mean, p);
        a[g] = static_cast<float>(amplitude);
        a[g + 1] = static_cast<float>(centre);
        a[g + 2] = static_cast<float>(width);
        // The next Gaussian starts from what this one leaves unexplained.
        for (int i = 0; g + 5 <= ma && i < n; i++) {
            const double arg = (sx[i] - centre) / width;
            rest[i] = (first ? sy[i] : rest[i]) - amplitude * std::exp(-arg * arg);
        }
    }
    if (fault) {
        std::fill(a + 1, a + 1 + ma, std::nanf(""));
        return;
    }
    for (; g <= ma; g++)
        a[g] = 0.0f;
}
