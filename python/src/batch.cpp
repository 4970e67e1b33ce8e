// The batched forms: the tests, correlation, line fit and special functions
// over many series, and Levenberg-Marquardt fits of many rows, each on the
// library's thread pool (tessivane::batch) with the GIL released. The calling
// thread wakes about every 100 ms: it takes the GIL, polls for signals (a
// KeyboardInterrupt cancels the batch and is raised once the workers have
// stopped) and advances the progress bar it was given, if any.
#include "lm_args.h"

#include "stat.h"

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstring>
#include <string>

namespace tvpy {
namespace {

namespace tb = tessivane::batch;

// A 2-D array of series of at least `minimum` samples each: (n, series) when
// samples_first, else (series, n).
farray series_array(const arguments &args, py::handle x, const char *name, bool samples_first,
                    py::ssize_t minimum)
{
    farray a = args.floats(x, name);
    if (a.ndim() != 2)
        args.value_error(std::string(name) + ": expected a 2-D array of series, got shape " +
                         shape_text(a));
    const py::ssize_t n = a.shape(samples_first ? 0 : 1);
    if (n < minimum)
        args.value_error(std::string(name) + ": needs at least " + std::to_string(minimum) +
                         " values per series, got " + std::to_string(n));
    return a;
}

// The series of a 2-D float32 array: its columns when samples_first (shape
// (n, series), the voxels contiguous), else its rows (shape (series, n)).
tb::series_view series(const farray &a, bool samples_first)
{
    const auto rows = static_cast<std::size_t>(a.shape(0));
    const auto cols = static_cast<std::size_t>(a.shape(1));
    return samples_first ? tb::series_view::columns(a.data(), rows, cols)
                         : tb::series_view::rows(a.data(), rows, cols);
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

// A two-sample batch: its public name, the fewest samples per series, whether
// the two series of a row are paired (one length), and how many maps it gives.
struct two_sample_batch {
    const char *name;
    py::ssize_t minimum;
    bool paired;
    int maps;
};

// The maps of a two-sample batch (its single call's fields, in order) over
// the series of a and b; call(va, vb, maps, options) runs it.
template <class Call>
py::tuple two_sample_maps(const two_sample_batch &batch, Call call, py::handle a_, py::handle b_,
                          bool samples_first, py::handle threads, py::object bar)
{
    const arguments args(batch.name);
    const char *names[2] = {batch.paired ? "x" : "a", batch.paired ? "y" : "b"};
    const farray a = series_array(args, a_, names[0], samples_first, batch.minimum),
                 b = series_array(args, b_, names[1], samples_first, batch.minimum);
    const tb::series_view va = series(a, samples_first), vb = series(b, samples_first);
    if (va.count != vb.count || (batch.paired && va.length != vb.length))
        args.value_error(std::string("the series of ") + names[0] + " and " + names[1] +
                         " must agree" + (batch.paired ? " in number and length" : " in number") +
                         ", got shapes " + shape_text(a) + " and " + shape_text(b));
    if (va.length + vb.length < 3)
        args.value_error("needs at least three values in the two samples together");
    std::vector<farray> maps;
    std::vector<float *> out;
    for (int i = 0; i < batch.maps; i++) {
        maps.push_back(map_of(va.count));
        out.push_back(maps.back().mutable_data());
    }
    watched_batch w(args.threads(threads, va.count), std::move(bar));
    run_library([&] { w.raise_refusals(call(va, vb, out.data(), w.options())); });
    py::tuple result(maps.size());
    for (size_t i = 0; i < maps.size(); i++)
        result[i] = maps[i];
    return result;
}

// a, b, siga, sigb, chi2, q of a line through each series of y; x and sig
// are one series for all (1-D) or one per series (2-D, laid out like y).
py::tuple line_maps(py::handle x_, py::handle y_, py::handle sig_, bool samples_first,
                    py::handle threads, py::object bar)
{
    const arguments args("fit");
    const farray y = series_array(args, y_, "y", samples_first, 3);
    const tb::series_view vy = series(y, samples_first);
    auto laid_out = [&](py::handle v, const char *name, farray &a) {
        a = args.floats(v, name);
        if (a.ndim() == 1 && a.size() == static_cast<py::ssize_t>(vy.length))
            return tb::series_view::shared(a.data(), vy.count, vy.length);
        if (a.ndim() != 2 || a.shape(0) != y.shape(0) || a.shape(1) != y.shape(1))
            args.value_error(std::string(name) + ": expected " + std::to_string(vy.length) +
                             " values or the shape of y " + shape_text(y) + ", got " +
                             shape_text(a));
        return series(a, samples_first);
    };
    farray x, s;
    const tb::series_view vx = laid_out(x_, "x", x);
    tb::series_view vs;
    if (!sig_.is_none())
        vs = laid_out(sig_, "sig", s);
    const std::size_t n = vy.count;
    farray out[6] = {map_of(n), map_of(n), map_of(n), map_of(n), map_of(n), map_of(n)};
    tb::line_fit_maps maps{out[0].mutable_data(), out[1].mutable_data(), out[2].mutable_data(),
                           out[3].mutable_data(), out[4].mutable_data(), out[5].mutable_data()};
    watched_batch w(args.threads(threads, vy.count), std::move(bar));
    run_library([&] {
        w.raise_refusals(tb::fit(vx, vy, sig_.is_none() ? nullptr : &vs, maps, w.options()));
    });
    return py::make_tuple(out[0], out[1], out[2], out[3], out[4], out[5]);
}

}  // namespace

void special_on_pool(int code, unsigned threads, const double *x, const double *y, const double *z,
                     std::vector<double> &out)
{
    watched_batch w(threads, py::none());
    run_library([&] {
        w.raise_refusals(tb::special(static_cast<tb::special_function>(code), x, y, z, out.data(),
                                     out.size(), w.options()));
    });
}

namespace {

// x or sig of lm_fit_many: (n,) shared by every row or (rows, n). y of the
// wrong shape is blamed when x fits it transposed.
tb::series_view row_data(const arguments &args, py::handle v, const char *name, const farray &y,
                         farray &held)
{
    const py::ssize_t rows = y.shape(0), n = y.shape(1);
    held = args.floats(v, name);
    const bool shared = held.ndim() == 1 && held.shape(0) == n;
    if (shared || (held.ndim() == 2 && held.shape(0) == rows && held.shape(1) == n))
        return shared ? tb::series_view::shared(held.data(), static_cast<std::size_t>(rows),
                                                static_cast<std::size_t>(n))
                      : series(held, false);
    if (held.ndim() == 1 && held.shape(0) == rows)
        args.value_error("y must be (rows, n) with n = len(" + std::string(name) +
                         ") = " + std::to_string(rows) + ", got shape " + shape_text(y) +
                         " (one series per row: is y transposed?)");
    args.value_error(std::string(name) + ": expected shape (" + std::to_string(n) + ",) or (" +
                     std::to_string(rows) + ", " + std::to_string(n) + "), got " +
                     shape_text(held));
}

// An array of str from the strings of a batch's rows.
py::array strings(const std::vector<std::string> &values)
{
    py::list list;
    for (const std::string &v : values)
        list.append(v);
    return py::module_::import("numpy").attr("array")(list, py::arg("dtype") = "str");
}

// Levenberg-Marquardt fits of the rows of y (rows, n) with fgauss: params,
// covariance, chisq, outcome names (LMStop's, or RowState's for a row that
// was not fitted), iterations, lambda at stop, the messages of the rows that
// did not converge ("" elsewhere) and whether each was refitted from the
// automatic start. 0 rows give empty results.
py::tuple lm_many(py::handle x_, py::handle y_, py::handle a0_, py::handle model, py::handle sig_,
                  py::handle ia, py::handle rule, py::handle threads, py::object bar)
{
    const arguments args("lm_fit_many");
    if (!py::isinstance<py::str>(model) || model.cast<std::string>() != "gauss")
        args.type_error("model must be \"gauss\" (use LMFit for a Python model)");
    const farray y = args.floats(y_, "y");
    if (y.ndim() != 2 || y.shape(1) < 1)
        args.value_error("y must be (rows, n), got shape " + shape_text(y));
    const auto rows = static_cast<std::size_t>(y.shape(0));
    const auto r = static_cast<py::ssize_t>(rows);
    tb::lm_problem pb;
    farray x, s;
    pb.x = row_data(args, x_, "x", y, x);
    pb.y = series(y, false);
    tb::series_view vs;
    if (!sig_.is_none()) {
        vs = row_data(args, sig_, "sig", y, s);
        pb.sig = &vs;
    }
    // a0: "auto" (each row from its own data; ma from ia, one peak without it),
    // or (ma,) shared, or (rows, ma).
    const bool automatic = py::isinstance<py::str>(a0_);
    if (automatic && a0_.cast<std::string>() != "auto")
        args.value_error("a0 must be \"auto\" or an array, got " +
                         py::repr(a0_).cast<std::string>());
    farray a0;
    py::ssize_t ma = 3;
    if (automatic) {
        if (!ia.is_none())
            ma = args.floats(ia, "ia").size();
    } else {
        a0 = args.floats(a0_, "a0");
        ma = a0.ndim() ? a0.shape(a0.ndim() - 1) : 0;
        if (a0.ndim() < 1 || a0.ndim() > 2 || ma < 1 || (a0.ndim() == 2 && a0.shape(0) != r))
            args.value_error("a0 must be \"auto\", (ma,) or (" + std::to_string(r) +
                             ", ma), got shape " + shape_text(a0));
    }
    if (ma % 3)
        args.value_error("the Gaussian model takes (amplitude, centre, width) triples");
    const std::vector<int> flags = fit_flags(args, ia, ma, true);
    pb.auto_start = automatic;
    pb.a0 = automatic ? nullptr : a0.data();
    pb.a0_stride = !automatic && a0.ndim() == 2 ? ma : 0;
    pb.ma = static_cast<int>(ma);
    pb.ia = flags.data();
    pb.rule = stopping_rule(args, rule);

    farray params(std::vector<py::ssize_t>{r, ma}), covariance(std::vector<py::ssize_t>{r, ma, ma}),
        chisq(r), lambda(r);
    py::array_t<bool> retried(r);
    py::array_t<std::int32_t> iterations(r);
    std::vector<tb::lm_row_outcome> outcomes(rows);
    tb::lm_results out{params.mutable_data(), covariance.mutable_data(), chisq.mutable_data(),
                       outcomes.data()};
    watched_batch w(args.threads(threads, rows, 32), std::move(bar));
    if (rows > 0)
        run_library([&] { tb::lm_fit_many(pb, out, w.options()); });

    std::vector<std::string> names, messages;
    for (std::size_t i = 0; i < rows; i++) {
        const tb::lm_row_outcome &o = outcomes[i];
        names.push_back(tb::outcome_name(o));
        messages.push_back(o.message);
        iterations.mutable_data()[i] = o.outcome.iterations;
        lambda.mutable_data()[i] = o.outcome.lambda_at_stop;
        retried.mutable_data()[i] = o.outcome.retried;
    }
    return py::make_tuple(params, covariance, chisq, strings(names), iterations, lambda,
                          strings(messages), retried);
}

// realft (T = float) or four1 (T = complex float) of the series of the 2-D
// array x: its columns when samples_first, else its rows. The result goes to
// a new array of x's shape, or to out (x's shape and type, C-contiguous,
// writeable; it may be x itself).
template <class T, class Batch>
carray<T> transform_many(const char *name, Batch batch, py::handle x_, py::handle out,
                         bool samples_first, py::handle isign_, py::handle threads)
{
    const arguments args(name);
    const carray<T> x = args.array<T>(x_, "x");
    if (x.ndim() != 2)
        args.value_error("x: expected a 2-D array of series, got shape " + shape_text(x));
    const py::ssize_t rows = x.shape(0), cols = x.shape(1), n = samples_first ? rows : cols;
    const py::ssize_t minimum = std::is_same<T, float>::value ? 2 : 1;
    if (n < minimum || (n & (n - 1)) != 0)
        args.value_error("the series must have a length that is a power of two" +
                         std::string(minimum == 2 ? " >= 2" : "") + ", got " + std::to_string(n));
    const int isign = args.sign(isign_);
    const std::vector<py::ssize_t> shape{rows, cols};
    carray<T> result = out.is_none()
                           ? carray<T>(shape)
                           : args.out_array<T>(out, shape, "C-contiguous array of x's type");
    const float *in = reinterpret_cast<const float *>(x.data());
    float *o = reinterpret_cast<float *>(result.mutable_data());
    const auto r = static_cast<std::size_t>(rows), c = static_cast<std::size_t>(cols);
    const tb::series_view v =
        samples_first ? tb::series_view::columns(in, r, c) : tb::series_view::rows(in, r, c);
    const std::size_t series_count = samples_first ? c : r;
    watched_batch w(args.threads(threads, series_count,
                                 std::max<std::size_t>(1, 2048 * 64 / static_cast<std::size_t>(n))),
                    py::none());
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
    auto def_two_sample = [&m](const char *core_name, two_sample_batch batch, auto call) {
        m.def(core_name, [batch, call](py::handle a, py::handle b, bool samples_first,
                                       py::handle threads, py::object bar) {
            return two_sample_maps(batch, call, a, b, samples_first, threads, std::move(bar));
        });
    };
    using view = const tb::series_view &;
    using options = const tb::batch_options &;
    def_two_sample("batch_ttest", {"ttest", 1, false, 3}, [](view a, view b, float **o, options w) {
        return tb::ttest(a, b, o[0], o[1], o[2], w);
    });
    def_two_sample(
        "batch_tutest", {"tutest", 2, false, 3},
        [](view a, view b, float **o, options w) { return tb::tutest(a, b, o[0], o[1], o[2], w); });
    def_two_sample("batch_kstwo", {"kstwo", 1, false, 2}, [](view a, view b, float **o, options w) {
        return tb::kstwo(a, b, o[0], o[1], w);
    });
    def_two_sample(
        "batch_pearsn", {"pearsn", 3, true, 2},
        [](view a, view b, float **o, options w) { return tb::pearsn(a, b, o[0], o[1], w); });
    // rs, probd, d, zd, probrs: the order of the single call's result.
    def_two_sample("batch_spear", {"spear", 2, true, 5}, [](view a, view b, float **o, options w) {
        return tb::spear(a, b, o[2], o[3], o[1], o[0], o[4], w);
    });
    m.def("batch_fit", &line_maps);
    m.def("lm_fit_many", &lm_many, py::arg("x"), py::arg("y"), py::arg("a0") = "auto",
          py::arg("model") = "gauss", py::arg("sig") = py::none(), py::arg("ia") = py::none(),
          py::arg("rule") = py::none(), py::arg("threads") = py::none(),
          py::arg("progress") = py::none());
    m.def("realft_many", [](py::handle x, py::handle out, bool samples_first, py::handle isign,
                            py::handle threads) {
        return transform_many<float>("realft", &tb::realft, x, out, samples_first, isign, threads);
    });
    m.def("four1_many", [](py::handle z, py::handle out, bool samples_first, py::handle isign,
                           py::handle threads) {
        return transform_many<std::complex<float>>("four1", &tb::four1, z, out, samples_first,
                                                   isign, threads);
    });
    m.def("_time_realft_many", &time_realft_many);
    m.def("default_threads", &tb::default_threads);
}

}  // namespace tvpy
