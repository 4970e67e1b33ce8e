// Two-sample tests and correlation of 1-D samples, each with its p-value from
// the library's conversion for that statistic.
#include "table_calls.h"

#include <pybind11/stl.h>

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

// Two samples of at least `minimum` values each (of one length when paired).
std::pair<farray, farray> samples(const arguments &args, py::handle a, py::handle b,
                                  py::ssize_t minimum, bool paired = false,
                                  const char *names = "ab")
{
    const char first[] = {names[0], 0}, second[] = {names[1], 0};
    std::pair<farray, farray> s(args.vector(a, first, minimum), args.vector(b, second, minimum));
    if (paired)
        args.same_length({&s.first, &s.second});
    return s;
}

// Student's t with pooled variance, df = n1 + n2 - 2, p = t_to_p(t, df).
py::tuple two_sample_t(py::handle a_, py::handle b_)
{
    const arguments args("ttest");
    const auto [a, b] = samples(args, a_, b_, 0);
    float t = 0.0f, p = 0.0f;
    call_ttest(args, {{"data1", a.size()}, {"data2", b.size()}}, nullptr, one1(a.data()), count(a),
               one1(b.data()), count(b), &t, &p);
    return py::make_tuple(t, static_cast<float>(count(a) + count(b) - 2), p);
}

// Welch's t, its Welch-Satterthwaite df and p = t_to_p_real(t, df).
py::tuple welch_t(py::handle a_, py::handle b_)
{
    const arguments args("tutest");
    const auto [a, b] = samples(args, a_, b_, 0);
    float t = 0.0f, p = 0.0f;
    const std::initializer_list<held> buffers{{"data1", a.size()}, {"data2", b.size()}};
    call_tutest(args, buffers, nullptr, one1(a.data()), count(a), one1(b.data()), count(b), &t, &p);
    const float df =
        call_welch_df(args, buffers, nullptr, one1(a.data()), count(a), one1(b.data()), count(b));
    return py::make_tuple(t, df, p);
}

// Kolmogorov-Smirnov D on copies (kstwo sorts its samples) and kstwo_prob.
py::tuple ks_two(py::handle a_, py::handle b_)
{
    const arguments args("kstwo");
    const auto [a, b] = samples(args, a_, b_, 0);
    farray sa = copy_of(a), sb = copy_of(b);
    float d = 0.0f, p = 0.0f;
    call_kstwo(args, {{"data1", sa.size()}, {"data2", sb.size()}}, nullptr, one1(sa.mutable_data()),
               count(a), one1(sb.mutable_data()), count(b), &d, &p);
    return py::make_tuple(d, p);
}

py::tuple mean_variance(py::handle x_)
{
    const arguments args("avevar");
    const farray x = args.vector(x_, "x", 2);
    float ave = 0.0f, var = 0.0f;
    call_avevar(args, {{"data", x.size()}}, nullptr, one1(x.data()), count(x), &ave, &var);
    return py::make_tuple(ave, var);
}

// pearsn's r, and the significance pearsn_prob computes from its own r.
py::tuple pearson(py::handle x_, py::handle y_)
{
    const arguments args("pearsn");
    const auto [x, y] = samples(args, x_, y_, 3, true, "xy");
    const std::initializer_list<held> buffers{{"x", x.size()}, {"y", y.size()}};
    float r = 0.0f, r_prob = 0.0f, p = 0.0f, unused = kUnwritten;
    call_pearsn(args, buffers, nullptr, one1(x.data()), one1(y.data()), count(x), &r, &unused,
                &unused);
    call_pearsn_prob(args, buffers, nullptr, one1(x.data()), one1(y.data()), count(x), &r_prob, &p,
                     &unused);
    return py::make_tuple(r, p, r_prob);
}

// rs, probd, d, zd, probrs; the out-parameters spear leaves alone stay NaN.
py::tuple spearman(py::handle x_, py::handle y_)
{
    const arguments args("spear");
    const auto [x, y] = samples(args, x_, y_, 2, true, "xy");
    float d = kUnwritten, zd = kUnwritten, probd = kUnwritten, rs = kUnwritten, probrs = kUnwritten;
    call_spear(args, {{"data1", x.size()}, {"data2", y.size()}}, nullptr, one1(x.data()),
               one1(y.data()), count(x), &d, &zd, &probd, &rs, &probrs);
    return py::make_tuple(rs, probd, d, zd, probrs);
}

// The running sums of pearsn_inc and regr_inc: n, ax, ay, sxx, syy, sxy.
using running = std::array<float, 6>;

// The paired samples and the state to continue from (None: no sample yet);
// the state holds float32 values, as the library returns them.
std::tuple<farray, farray, running> running_input(const arguments &args, py::handle x, py::handle y,
                                                  py::handle state)
{
    const auto [xs, ys] = samples(args, x, y, 0, true, "xy");
    running s{};
    if (!state.is_none()) {
        const farray values = args.floats(state, "state");
        const auto exact = py::array_t<double>::ensure(state);
        if (values.size() != 6)
            args.value_error("state: expected the 6 running sums, got " + shape_text(values));
        for (size_t i = 0; i < 6; i++) {
            s[i] = values.data()[i];
            if (!exact || static_cast<double>(s[i]) != exact.data()[i])
                args.value_error("state must hold float32 values, as the library returns them");
        }
    }
    return {xs, ys, s};
}

// pearsn_inc over the samples in order, from the state given: r after each
// sample, and the state after the last.
py::tuple running_pearson(py::handle x_, py::handle y_, py::handle state)
{
    auto [x, y, s] = running_input(arguments("pearsn_inc"), x_, y_, state);
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
py::tuple running_regression(py::handle x_, py::handle y_, py::handle state)
{
    auto [x, y, s] = running_input(arguments("regr_inc"), x_, y_, state);
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
    m.def("ttest", &two_sample_t, py::arg("a"), py::arg("b"));
    m.def("tutest", &welch_t, py::arg("a"), py::arg("b"));
    m.def("kstwo", &ks_two, py::arg("a"), py::arg("b"));
    m.def("avevar", &mean_variance, py::arg("x"));
    m.def("pearsn", &pearson, py::arg("x"), py::arg("y"));
    m.def("spear", &spearman, py::arg("x"), py::arg("y"));
    m.def("pearsn_inc", &running_pearson, py::arg("x"), py::arg("y"),
          py::arg("state") = py::none());
    m.def("regr_inc", &running_regression, py::arg("x"), py::arg("y"),
          py::arg("state") = py::none());
}

}  // namespace tvpy
