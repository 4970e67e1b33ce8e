// Two-sample tests and correlation of 1-D samples, each with its p-value from
// the library's conversion for that statistic.
#include "common.h"

#include <pybind11/stl.h>

#include "stat.h"

#include <array>
#include <cmath>
#include <limits>

namespace tvpy {
namespace {

constexpr float kUnwritten = std::numeric_limits<float>::quiet_NaN();

unsigned long count(const farray &x)
{
    return static_cast<unsigned long>(x.size());
}

// Student's t with pooled variance, df = n1 + n2 - 2, p = t_to_p(t, df).
py::tuple two_sample_t(const farray &a, const farray &b)
{
    float t = 0.0f, p = 0.0f;
    const unsigned long df = count(a) + count(b) - 2;
    run_library([&] {
        float unused;
        ttest(one1(a.data()), count(a), one1(b.data()), count(b), &t, &unused);
        p = t_to_p(t, df);
    });
    return py::make_tuple(t, static_cast<float>(df), p);
}

// Welch's t, its Welch-Satterthwaite df and p = t_to_p_real(t, df).
py::tuple welch_t(const farray &a, const farray &b)
{
    float t = 0.0f, df = 0.0f, p = 0.0f;
    run_library([&] {
        float unused;
        tutest(one1(a.data()), count(a), one1(b.data()), count(b), &t, &unused);
        df = welch_df(one1(a.data()), count(a), one1(b.data()), count(b));
        p = t_to_p_real(t, df);
    });
    return py::make_tuple(t, df, p);
}

// Kolmogorov-Smirnov D on copies (kstwo sorts its samples) and kstwo_prob.
py::tuple ks_two(const farray &a, const farray &b)
{
    farray sa = copy_of(a), sb = copy_of(b);
    float *pa = sa.mutable_data(), *pb = sb.mutable_data();
    float d = 0.0f, p = 0.0f;
    run_library([&] {
        float unused;
        kstwo(one1(pa), count(a), one1(pb), count(b), &d, &unused);
        p = kstwo_prob(d, count(a), count(b));
    });
    return py::make_tuple(d, p);
}

py::tuple mean_variance(const farray &x)
{
    float ave = 0.0f, var = 0.0f;
    run_library([&] { avevar(one1(x.data()), count(x), &ave, &var); });
    return py::make_tuple(ave, var);
}

// pearsn's r, and the significance pearsn_prob computes from its own r.
py::tuple pearson(const farray &x, const farray &y)
{
    float r = 0.0f, r_prob = 0.0f, p = 0.0f;
    run_library([&] {
        float unused = kUnwritten;
        pearsn(one1(x.data()), one1(y.data()), count(x), &r, &unused, &unused);
        pearsn_prob(one1(x.data()), one1(y.data()), count(x), &r_prob, &p, &unused);
    });
    return py::make_tuple(r, p, r_prob);
}

// rs, probd, d, zd, probrs; the out-parameters spear leaves alone stay NaN.
py::tuple spearman(const farray &x, const farray &y)
{
    float d = kUnwritten, zd = kUnwritten, probd = kUnwritten, rs = kUnwritten, probrs = kUnwritten;
    run_library(
        [&] { spear(one1(x.data()), one1(y.data()), count(x), &d, &zd, &probd, &rs, &probrs); });
    return py::make_tuple(rs, probd, d, zd, probrs);
}

// The running sums of pearsn_inc and regr_inc: n, ax, ay, sxx, syy, sxy.
using running = std::array<float, 6>;

// pearsn_inc over the samples in order, from the state given: r after each
// sample, and the state after the last.
py::tuple running_pearson(const farray &x, const farray &y, running s)
{
    const py::ssize_t n = x.size();
    farray r(n);
    float *pr = r.mutable_data();
    const float *px = x.data(), *py_ = y.data();
    run_library([&] {
        for (py::ssize_t i = 0; i < n; i++)
            pearsn_inc(px[i], py_[i], s[0], s[1], s[2], s[3], s[4], s[5], &pr[i]);
    });
    return py::make_tuple(r, s);
}

// regr_inc likewise: a, b and the mean of y after each sample, and the state.
py::tuple running_regression(const farray &x, const farray &y, running s)
{
    const py::ssize_t n = x.size();
    farray a(n), b(n), ym(n);
    float *pa = a.mutable_data(), *pb = b.mutable_data(), *pm = ym.mutable_data();
    const float *px = x.data(), *py_ = y.data();
    run_library([&] {
        for (py::ssize_t i = 0; i < n; i++)
            regr_inc(px[i], py_[i], s[0], s[1], s[2], s[3], s[4], s[5], &pa[i], &pb[i], &pm[i]);
    });
    return py::make_tuple(a, b, ym, s);
}

}  // namespace

void bind_stats(py::module_ &m)
{
    m.def("ttest", &two_sample_t);
    m.def("tutest", &welch_t);
    m.def("kstwo", &ks_two);
    m.def("avevar", &mean_variance);
    m.def("pearsn", &pearson);
    m.def("spear", &spearman);
    m.def("pearsn_inc", &running_pearson);
    m.def("regr_inc", &running_regression);
}

}  // namespace tvpy
