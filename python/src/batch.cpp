// The batched forms: the tests, correlation, line fit and special functions
// over many series, and Levenberg-Marquardt fits of many rows, each on the
// library's thread pool (tessivane::batch) with the GIL released. The calling
// thread wakes about every 100 ms: it takes the GIL, polls for signals (a
// KeyboardInterrupt cancels the batch and is raised once the workers have
// stopped) and advances the progress bar it was given, if any.
#include "common.h"

#include "batch.h"
#include "stat.h"

#include <chrono>
#include <cstring>
#include <string>

namespace tvpy {
namespace {

namespace tb = tessivane::batch;

// The series of a 2-D float32 array: its columns when samples_first (shape
// (n, series), the voxels contiguous), else its rows (shape (series, n)).
tb::series_view series(const farray &a, bool samples_first)
{
    const auto rows = static_cast<std::size_t>(a.shape(0));
    const auto cols = static_cast<std::size_t>(a.shape(1));
    return samples_first ? tb::series_view::columns(a.data(), rows, cols)
                         : tb::series_view::rows(a.data(), rows, cols);
}

// A series shared by `count` rows (a 1-D array), or one per row (2-D, rows).
tb::series_view rows_or_shared(const farray &a, std::size_t count)
{
    if (a.ndim() == 1)
        return tb::series_view::shared(a.data(), count, static_cast<std::size_t>(a.shape(0)));
    return series(a, false);
}

// The options of one batch from Python: the thread count (0: the library's
// default), a cancel token, and the calling thread's watch for signals and the
// progress bar.
class watched_batch {
public:
    watched_batch(unsigned threads, py::object bar)
        : bar_(std::move(bar))
    {
        options_.threads = threads;
        options_.cancel = &token_;
        options_.progress_interval = std::chrono::milliseconds(100);
        options_.progress = [this](std::size_t done, std::size_t) { watch(done); };
    }
    const tb::batch_options &options() const { return options_; }

    // Rows of a batch the library refused, for the routines whose single call
    // raises: NumericsError with the first refused row's message.
    static void raise_refusals(const tb::batch_report &report)
    {
        if (report.rows_refused > 0)
            throw tessivane::numerics_error(report.first_message);
    }

private:
    void watch(std::size_t done)
    {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            token_.cancel();
            throw py::error_already_set();
        }
        if (!bar_.is_none() && done > shown_) {
            bar_.attr("update")(done - shown_);
            shown_ = done;
        }
    }

    tb::batch_options options_;
    tb::cancel_token token_;
    py::object bar_;
    std::size_t shown_ = 0;
};

farray map_of(std::size_t n)
{
    return farray(static_cast<py::ssize_t>(n));
}

// Student's or Welch's t: (t, df, p) maps.
template <class Batch>
py::tuple t_maps(Batch batch, const farray &a, const farray &b, bool samples_first,
                 unsigned threads, py::object bar)
{
    const tb::series_view va = series(a, samples_first), vb = series(b, samples_first);
    farray t = map_of(va.count), df = map_of(va.count), p = map_of(va.count);
    float *pt = t.mutable_data(), *pdf = df.mutable_data(), *pp = p.mutable_data();
    watched_batch w(threads, std::move(bar));
    run_library([&] { w.raise_refusals(batch(va, vb, pt, pdf, pp, w.options())); });
    return py::make_tuple(t, df, p);
}

// A statistic and its p: Kolmogorov-Smirnov (d, p) or Pearson (r, p) maps.
template <class Batch>
py::tuple statistic_and_p_maps(Batch batch, const farray &a, const farray &b, bool samples_first,
                               unsigned threads, py::object bar)
{
    const tb::series_view va = series(a, samples_first), vb = series(b, samples_first);
    farray statistic = map_of(va.count), p = map_of(va.count);
    float *ps = statistic.mutable_data(), *pp = p.mutable_data();
    watched_batch w(threads, std::move(bar));
    run_library([&] { w.raise_refusals(batch(va, vb, ps, pp, w.options())); });
    return py::make_tuple(statistic, p);
}

// rs, probd, d, zd, probrs (the order of the single call's result).
py::tuple spearman_maps(const farray &x, const farray &y, bool samples_first, unsigned threads,
                        py::object bar)
{
    const tb::series_view vx = series(x, samples_first), vy = series(y, samples_first);
    const std::size_t n = vx.count;
    farray rs = map_of(n), probd = map_of(n), d = map_of(n), zd = map_of(n), probrs = map_of(n);
    float *p[5] = {rs.mutable_data(), probd.mutable_data(), d.mutable_data(), zd.mutable_data(),
                   probrs.mutable_data()};
    watched_batch w(threads, std::move(bar));
    run_library(
        [&] { w.raise_refusals(tb::spear(vx, vy, p[2], p[3], p[1], p[0], p[4], w.options())); });
    return py::make_tuple(rs, probd, d, zd, probrs);
}

// a, b, siga, sigb, chi2, q of a line through each series of y; x and sig
// are one series for all (1-D) or one per series (2-D, laid out like y).
py::tuple line_maps(const farray &x, const farray &y, const py::object &sig, bool samples_first,
                    unsigned threads, py::object bar)
{
    const tb::series_view vy = series(y, samples_first);
    auto laid_out = [&](const farray &a) {
        return a.ndim() == 1
                   ? tb::series_view::shared(a.data(), vy.count, static_cast<std::size_t>(a.size()))
                   : series(a, samples_first);
    };
    const tb::series_view vx = laid_out(x);
    farray s;
    tb::series_view vs;
    if (!sig.is_none()) {
        s = sig.cast<farray>();
        vs = laid_out(s);
    }
    const std::size_t n = vy.count;
    farray out[6] = {map_of(n), map_of(n), map_of(n), map_of(n), map_of(n), map_of(n)};
    tb::line_fit_maps maps{out[0].mutable_data(), out[1].mutable_data(), out[2].mutable_data(),
                           out[3].mutable_data(), out[4].mutable_data(), out[5].mutable_data()};
    watched_batch w(threads, std::move(bar));
    run_library([&] {
        w.raise_refusals(tb::fit(vx, vy, sig.is_none() ? nullptr : &vs, maps, w.options()));
    });
    return py::make_tuple(out[0], out[1], out[2], out[3], out[4], out[5]);
}

// The special function `code` (tb::special_function) over arrays of one
// shape, in float64; a refused element raises NumericsError, as the
// elementwise single calls do.
py::array_t<double> special_map(int code, const carray<double> &x, const py::object &y,
                                const py::object &z, unsigned threads)
{
    carray<double> ya, za;
    if (!y.is_none())
        ya = y.cast<carray<double>>();
    if (!z.is_none())
        za = z.cast<carray<double>>();
    std::vector<py::ssize_t> shape(x.shape(), x.shape() + x.ndim());
    py::array_t<double> out(shape);
    double *po = out.mutable_data();
    const double *px = x.data(), *py_ = y.is_none() ? nullptr : ya.data(),
                 *pz = z.is_none() ? nullptr : za.data();
    const auto n = static_cast<std::size_t>(x.size());
    watched_batch w(threads, py::none());
    run_library([&] {
        w.raise_refusals(
            tb::special(static_cast<tb::special_function>(code), px, py_, pz, po, n, w.options()));
    });
    return out;
}

// Levenberg-Marquardt fits of the rows of y (shape (rows, n)) with fgauss.
// x and sig: (n,) shared or (rows, n); a0: (ma,) or (rows, ma); ia: (ma,) int.
// Returns params, covariance, chisq, stop codes (0 iteration_limit,
// 1 converged, 2 stalled, 3 refused, 4 not run), iterations, lambda at stop,
// and the messages of the refused rows ("" elsewhere).
py::tuple lm_many(const farray &x, const farray &y, const farray &a0, const py::object &sig,
                  const carray<int> &ia, py::tuple rule, unsigned threads, py::object bar)
{
    const auto rows = static_cast<std::size_t>(y.shape(0));
    const int ma = static_cast<int>(a0.shape(a0.ndim() - 1));
    tb::lm_problem pb;
    pb.x = rows_or_shared(x, rows);
    pb.y = series(y, false);
    farray s;
    tb::series_view vs;
    if (!sig.is_none()) {
        s = sig.cast<farray>();
        vs = rows_or_shared(s, rows);
        pb.sig = &vs;
    }
    pb.a0 = a0.data();
    pb.a0_stride = a0.ndim() == 2 ? ma : 0;
    pb.ma = ma;
    pb.ia = ia.data();
    pb.rule.max_iterations = rule[0].cast<int>();
    pb.rule.absolute_drop = rule[1].cast<double>();
    pb.rule.relative_drop = rule[2].cast<double>();
    pb.rule.quiet_steps = rule[3].cast<int>();
    pb.rule.max_lambda = rule[4].cast<float>();

    const auto r = static_cast<py::ssize_t>(rows);
    farray params(std::vector<py::ssize_t>{r, ma}), covariance(std::vector<py::ssize_t>{r, ma, ma}),
        chisq(r), lambda(r);
    py::array_t<std::int8_t> stop(r);
    py::array_t<std::int32_t> iterations(r);
    std::vector<tb::lm_row_outcome> outcomes(rows);
    tb::lm_results out{params.mutable_data(), covariance.mutable_data(), chisq.mutable_data(),
                       outcomes.data()};
    watched_batch w(threads, std::move(bar));
    run_library([&] { tb::lm_fit_many(pb, out, w.options()); });

    std::int8_t *ps = stop.mutable_data();
    std::int32_t *pi = iterations.mutable_data();
    float *pl = lambda.mutable_data();
    py::list messages;
    for (std::size_t i = 0; i < rows; i++) {
        const tb::lm_row_outcome &o = outcomes[i];
        ps[i] = o.state == tb::row_state::fitted    ? static_cast<std::int8_t>(o.outcome.stop)
                : o.state == tb::row_state::refused ? 3
                                                    : 4;
        pi[i] = o.outcome.iterations;
        pl[i] = o.outcome.lambda_at_stop;
        messages.append(o.message);
    }
    return py::make_tuple(params, covariance, chisq, stop, iterations, lambda, messages);
}

// realft (T = float) or four1 (T = complex float) of the series of the 2-D
// array x: its columns when samples_first, else its rows. The result goes to
// a new array of x's shape, or to out (x's shape and type, C-contiguous,
// writeable; it may be x itself).
template <class T, class Batch>
carray<T> transform_many(Batch batch, const carray<T> &x, const py::object &out, bool samples_first,
                         int isign, unsigned threads)
{
    const py::ssize_t rows = x.shape(0), cols = x.shape(1);
    carray<T> result;
    if (out.is_none()) {
        result = carray<T>(std::vector<py::ssize_t>{rows, cols});
    } else {
        if (!py::isinstance<carray<T>>(out))
            throw py::value_error("out must be a C-contiguous array of the input's type");
        result = py::reinterpret_borrow<carray<T>>(out);
        if (result.ndim() != 2 || result.shape(0) != rows || result.shape(1) != cols ||
            !result.writeable())
            throw py::value_error("out must be a writeable array of the input's shape");
    }
    const float *in = reinterpret_cast<const float *>(x.data());
    float *o = reinterpret_cast<float *>(result.mutable_data());
    const auto r = static_cast<std::size_t>(rows), c = static_cast<std::size_t>(cols);
    const tb::series_view v = samples_first ? tb::series_view::columns(in, r, c)
                                            : tb::series_view::rows(in, r, c);
    watched_batch w(threads, py::none());
    run_library([&] { batch(v, o, isign, w.options()); });
    return result;
}

// Seconds per call of the batch realft as the extension runs it for Python
// (a new NumPy array for the result each time) but straight from C++, for the
// benchmark's comparison with the call from Python.
double time_realft_many(const farray &x, bool samples_first, int isign, unsigned threads,
                        int repeats)
{
    const auto rows = static_cast<std::size_t>(x.shape(0)),
               cols = static_cast<std::size_t>(x.shape(1));
    const tb::series_view v = samples_first ? tb::series_view::columns(x.data(), rows, cols)
                                            : tb::series_view::rows(x.data(), rows, cols);
    tb::batch_options options;
    options.threads = threads;
    std::chrono::duration<double> spent{};
    for (int i = 0; i < repeats; i++) {
        const auto start = std::chrono::steady_clock::now();
        farray out(std::vector<py::ssize_t>{x.shape(0), x.shape(1)});
        float *o = out.mutable_data();
        run_library([&] { tb::realft(v, o, isign, options); });
        spent += std::chrono::steady_clock::now() - start;
    }
    return spent.count() / repeats;
}

}  // namespace

void bind_batch(py::module_ &m)
{
    using tb_fn = tb::batch_report (*)(const tb::series_view &, const tb::series_view &, float *,
                                       float *, float *, const tb::batch_options &);
    m.def("batch_ttest",
          [](const farray &a, const farray &b, bool first, unsigned threads, py::object bar) {
              return t_maps(static_cast<tb_fn>(&tb::ttest), a, b, first, threads, std::move(bar));
          });
    m.def("batch_tutest",
          [](const farray &a, const farray &b, bool first, unsigned threads, py::object bar) {
              return t_maps(static_cast<tb_fn>(&tb::tutest), a, b, first, threads, std::move(bar));
          });
    using pair_fn = tb::batch_report (*)(const tb::series_view &, const tb::series_view &, float *,
                                         float *, const tb::batch_options &);
    m.def("batch_kstwo",
          [](const farray &a, const farray &b, bool first, unsigned threads, py::object bar) {
              return statistic_and_p_maps(static_cast<pair_fn>(&tb::kstwo), a, b, first, threads,
                                          std::move(bar));
          });
    m.def("batch_pearsn",
          [](const farray &x, const farray &y, bool first, unsigned threads, py::object bar) {
              return statistic_and_p_maps(static_cast<pair_fn>(&tb::pearsn), x, y, first, threads,
                                          std::move(bar));
          });
    m.def("batch_spear", &spearman_maps);
    m.def("batch_fit", &line_maps);
    m.def("batch_special", &special_map);
    m.def("lm_fit_many", &lm_many);
    m.def("realft_many", [](const farray &x, const py::object &out, bool samples_first, int isign,
                            unsigned threads) {
        return transform_many(&tb::realft, x, out, samples_first, isign, threads);
    });
    m.def("four1_many", [](const zarray &z, const py::object &out, bool samples_first, int isign,
                           unsigned threads) {
        return transform_many(&tb::four1, z, out, samples_first, isign, threads);
    });
    m.def("_time_realft_many", &time_realft_many);
    m.def("default_threads", &tb::default_threads);
    py::dict codes;
    const char *names[] = {"gammln", "gammq",       "betai",  "erfcc",     "probks",
                           "t_to_p", "t_to_p_real", "r_to_p", "F_to_p",    "p_to_t",
                           "p_to_r", "p_to_F",      "p_to_z", "kstwo_prob"};
    for (int code = 0; code <= static_cast<int>(tb::special_function::kstwo_prob); code++)
        codes[names[code]] = code;
    m.attr("special_codes") = codes;
}

}  // namespace tvpy
