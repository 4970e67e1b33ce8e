// Fits: the straight line, svdfit with a built-in or a Python basis, and
// LMFit, one Levenberg-Marquardt fit (tessivane::lm_fit) with the built-in
// Gaussian or a Python model.
#include "lm_args.h"
#include "table_calls.h"

#include "bases.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace tvpy {
namespace {

int count(const py::array &x)
{
    return static_cast<int>(x.size());
}

// sig's values, ones when None, n of them.
farray sigma(const arguments &args, py::handle sig, py::ssize_t n)
{
    if (!sig.is_none()) {
        farray s = args.vector(sig, "sig", 0);
        if (s.size() != n)
            args.value_error("sig: expected " + std::to_string(n) + " values, got " +
                             std::to_string(s.size()));
        return s;
    }
    farray ones(n);
    std::fill_n(ones.mutable_data(), n, 1.0f);
    return ones;
}

// a, b, siga, sigb, chi2, q; weighted by sig unless it is None.
py::tuple line_fit(py::handle x_, py::handle y_, py::handle sig_)
{
    const arguments args("fit");
    const bool weighted = !sig_.is_none();
    const farray x = args.vector(x_, "x", weighted ? 1 : 3), y = args.vector(y_, "y");
    const farray sig = weighted ? args.vector(sig_, "sig") : x;
    args.same_length({&x, &y, &sig});
    float a = 0, b = 0, siga = 0, sigb = 0, chi2 = 0, q = 0;
    call_fit(args, {{"x", x.size()}, {"y", y.size()}, {"sig", sig.size()}}, nullptr, one1(x.data()),
             one1(y.data()), count(x), weighted ? one1(sig.data()) : nullptr, weighted ? 1 : 0, &a,
             &b, &siga, &sigb, &chi2, &q);
    return py::make_tuple(a, b, siga, sigb, chi2, q);
}

// X_1(x)..X_np(x) from the thread's Python callable, called as f(x, np).
void python_basis(float x, float *p, int np)
{
    py::gil_scoped_acquire gil;
    try {
        const arguments args("svdfit");
        py::object result = py::reinterpret_borrow<py::object>(current_callback()->callable)(x, np);
        farray values = args.rounded(result, "the basis's values");
        if (values.size() != np)
            throw py::value_error("svdfit: the basis returned " + std::to_string(values.size()) +
                                  " values for " + std::to_string(np) + " functions");
        std::memcpy(p + 1, values.data(), static_cast<size_t>(np) * sizeof(float));
    } catch (...) {
        abort_callback();
    }
}

void legendre_basis(float x, float *p, int np)
{
    fleg(x, p, np);
}

// basis: the bound fpoly or fleg, otherwise a callable f(x, ma) -> ma values.
py::tuple linear_fit(py::handle x_, py::handle y_, py::handle ma_, py::handle sig_,
                     py::object basis, py::tuple builtins)
{
    const arguments args("svdfit");
    const farray x = args.vector(x_, "x"), y = args.vector(y_, "y");
    const int ndata = count(x), ma = args.integer<int>(ma_, "ma", 1);
    const farray sig = sigma(args, sig_, ndata);
    void (*funcs)(float, float *, int) = &python_basis;
    if (basis.is(builtins[0]))
        funcs = &fpoly;
    else if (basis.is(builtins[1]))
        funcs = &legendre_basis;
    else if (!PyCallable_Check(basis.ptr()))
        args.type_error("basis must be fpoly, fleg or a callable basis(x, ma)");
    callback_context context{basis, nullptr};
    farray a(ma), w(ma), u(std::vector<py::ssize_t>{ndata, ma}),
        v(std::vector<py::ssize_t>{ma, ma});
    rows1 pu(u.mutable_data(), ndata, ma), pv(v.mutable_data(), ma, ma);
    float *pa = a.mutable_data(), *pw = w.mutable_data();
    float chisq = 0.0f;
    callback_scope scope(context);
    call_svdfit(args,
                {{"x", x.size()},
                 {"y", y.size()},
                 {"sig", sig.size()},
                 {"a", ma},
                 {"u", u.size()},
                 {"v", v.size()},
                 {"w", ma}},
                &context, one1(x.data()), one1(y.data()), one1(sig.data()), ndata, one1(pa), ma, pu,
                pv, one1(pw), &chisq, funcs);
    return py::make_tuple(a, u, v, w, chisq);
}

farray basis_values(py::handle x_, py::handle n_, int which)
{
    const arguments args(which == 0 ? "fpoly" : "fleg");
    const float x = args.scalar(x_, "x");
    const int np = args.integer<int>(n_, "n", 1);
    farray p(np);
    float *pp = p.mutable_data();
    if (which == 0)
        call_fpoly(args, {{"p", np}}, nullptr, x, one1(pp), np);
    else
        run_library([&] { fleg(x, one1(pp), np); });
    return p;
}

// y(x; a) and dy/da from the thread's Python callable, called as f(x, a) with
// a copy of a[1..na] as a float32 array; it returns (y, dyda).
void python_model(float x, float *a, float *y, float *dyda, int na)
{
    py::gil_scoped_acquire gil;
    try {
        farray params(na);
        std::memcpy(params.mutable_data(), a + 1, static_cast<size_t>(na) * sizeof(float));
        py::object result =
            py::reinterpret_borrow<py::object>(current_callback()->callable)(x, params);
        const arguments args("LMFit");
        if (!py::isinstance<py::sequence>(result) || py::isinstance<py::str>(result) ||
            py::len(result) != 2)
            args.type_error("the model must return (y, dyda), got " +
                            std::string(py::str(py::type::handle_of(result).attr("__name__"))));
        py::sequence pair = result.cast<py::sequence>();
        const farray y_value = args.rounded(pair[0], "the model's y");
        if (y_value.size() != 1)
            args.value_error("the model's y: expected one number, got shape " +
                             shape_text(y_value));
        const float value = y_value.data()[0];
        farray derivatives = args.rounded(pair[1], "the model's dyda");
        if (derivatives.size() != na)
            throw py::value_error("LMFit: the model returned " +
                                  std::to_string(derivatives.size()) + " derivatives for " +
                                  std::to_string(na) + " parameters");
        *y = value;
        std::memcpy(dyda + 1, derivatives.data(), static_cast<size_t>(na) * sizeof(float));
    } catch (...) {
        abort_callback();
    }
}

// The data, parameters and matrices of one fit, and the lm_fit that runs it.
class lm_state {
public:
    lm_state(const arguments &args, const farray &x, const farray &y, const farray &a,
             py::handle sig, py::handle ia, py::object model)
        : x_(x.data(), x.data() + x.size())
        , y_(y.data(), y.data() + y.size())
        , sig_(vector_of(sigma(args, sig, x.size())))
        , a_(a.data(), a.data() + a.size())
        , ia_(fit_flags(args, ia, a.size()))
        , ma_(count(a))
        , covar_(static_cast<size_t>(ma_) * static_cast<size_t>(ma_))
        , alpha_(covar_.size())
        , model_(std::move(model))
    {}

    // One mrqmin-protocol call with the command alamda; returns the new lambda.
    float step(float alamda)
    {
        call([&](float **covar, float **alpha, tessivane::lm_model funcs) {
            fit_.step(one1(x_.data()), one1(y_.data()), one1(sig_.data()), ndata(), one1(a_.data()),
                      one1(ia_.data()), ma_, covar, alpha, &chisq_, funcs, &alamda);
        });
        alamda_ = alamda;
        return alamda;
    }

    py::tuple run(py::handle rule_)
    {
        const tessivane::lm_stopping_rule rule = stopping_rule(arguments("LMFit.run"), rule_);
        tessivane::lm_outcome outcome;
        call([&](float **covar, float **alpha, tessivane::lm_model funcs) {
            outcome = fit_.run(one1(x_.data()), one1(y_.data()), one1(sig_.data()), ndata(),
                               one1(a_.data()), one1(ia_.data()), ma_, covar, alpha, &chisq_, funcs,
                               rule);
        });
        alamda_ = 0.0f;
        return py::make_tuple(tessivane::reason_name(outcome.stop), outcome.iterations,
                              outcome.lambda_at_stop, outcome.retried,
                              std::string(outcome.message));
    }

    farray params() const { return vector_copy(a_, {ma_}); }
    farray covariance() const { return vector_copy(covar_, {ma_, ma_}); }
    farray alpha() const { return vector_copy(alpha_, {ma_, ma_}); }
    float chisq() const { return chisq_; }
    float alamda() const { return alamda_; }
    bool in_progress() const { return fit_.in_progress(); }

private:
    int ndata() const { return static_cast<int>(x_.size()); }

    static std::vector<float> vector_of(const farray &a)
    {
        return std::vector<float>(a.data(), a.data() + a.size());
    }

    static farray vector_copy(const std::vector<float> &v, std::vector<py::ssize_t> shape)
    {
        farray out(shape);
        std::memcpy(out.mutable_data(), v.data(), v.size() * sizeof(float));
        return out;
    }

    // Runs f on this fit's state, one call at a time. A model that calls
    // step() or run() of the fit it serves would wait for itself: refused.
    template <class F>
    void call(F &&f)
    {
        if (owner_.load() == std::this_thread::get_id())
            throw std::runtime_error("LMFit: the model called step(), finish() or run() of the fit "
                                     "it serves; a fit cannot be re-entered");
        callback_context context{model_, nullptr};
        callback_scope scope(context);
        const tessivane::lm_model funcs = model_.is_none() ? &fgauss : &python_model;
        run_library(
            [&] {
                std::lock_guard<std::mutex> lock(mutex_);
                owner_ = std::this_thread::get_id();
                struct release {
                    std::atomic<std::thread::id> &owner;
                    ~release() { owner = std::thread::id(); }
                } released{owner_};
                rows1 covar(covar_.data(), ma_, ma_), alpha(alpha_.data(), ma_, ma_);
                f(covar, alpha, funcs);
            },
            &context);
    }

    std::vector<float> x_, y_, sig_, a_;
    std::vector<int> ia_;
    int ma_;
    std::vector<float> covar_, alpha_;
    float chisq_ = 0.0f;
    float alamda_ = -1.0f;
    py::object model_;
    tessivane::lm_fit fit_;
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};  // the thread inside call(), if any
};

// The automatic start of the built-in model for one series: ma values.
farray start_of(const arguments &args, const farray &x, const farray &y, int ma)
{
    farray a(ma);
    std::vector<float> xs(x.data(), x.data() + x.size()), ys(y.data(), y.data() + y.size());
    call_gauss_start(args, {{"x", x.size()}, {"y", y.size()}, {"a", ma}}, nullptr, one1(xs.data()),
                     one1(ys.data()), count(x), one1(a.mutable_data()), ma);
    return a;
}

// LMFit(x, y, a, sig=None, ia=None, model="gauss"); a = "auto": the automatic
// start of the Gaussian model, one peak or as many as ia has triples.
lm_state *new_lm_state(py::handle x_, py::handle y_, py::handle a_, py::handle sig, py::handle ia,
                       py::object model)
{
    const arguments args("LMFit");
    const farray x = args.vector(x_, "x"), y = args.vector(y_, "y");
    args.same_length({&x, &y});
    if (py::isinstance<py::str>(model) && model.cast<std::string>() == "gauss")
        model = py::none();
    else if (!PyCallable_Check(model.ptr()))
        args.type_error("model must be \"gauss\" or a callable model(x, a) -> (y, dyda)");
    farray a;
    if (py::isinstance<py::str>(a_)) {
        if (a_.cast<std::string>() != "auto" || !model.is_none())
            args.value_error("a = \"auto\" is the automatic start of the Gaussian model");
        a = start_of(args, x, y, ia.is_none() ? 3 : static_cast<int>(args.vector(ia, "ia").size()));
    } else {
        a = args.vector(a_, "a");
    }
    if (model.is_none() && a.size() % 3)
        args.value_error("the Gaussian model takes (amplitude, centre, width) triples");
    return new lm_state(args, x, y, a, sig, ia, std::move(model));
}

}  // namespace

void bind_fit(py::module_ &m)
{
    m.def("fit", &line_fit, py::arg("x"), py::arg("y"), py::arg("sig") = py::none());
    m.def("svdfit", &linear_fit, py::arg("x"), py::arg("y"), py::arg("ma"), py::arg("sig"),
          py::arg("basis"), py::arg("builtins"));
    m.def("basis", &basis_values, py::arg("x"), py::arg("n"), py::arg("which"));
    m.def("fgauss", [](py::handle x_, py::handle a_) {
        const arguments args("fgauss");
        const float x = args.scalar(x_, "x");
        const farray a = args.vector(a_, "a", 0);
        const int na = count(a);
        farray dyda(na);
        float *pd = dyda.mutable_data();
        std::fill_n(pd, na, 0.0f);  // past the last whole triple: no derivative
        float y = 0.0f;
        std::vector<float> params(a.data(), a.data() + na);
        call_fgauss(args, {{"a", na}, {"dyda", na}}, nullptr, x, one1(params.data()), &y, one1(pd),
                    na);
        return py::make_tuple(y, dyda);
    });
    m.def(
        "gauss_start",
        [](py::handle x_, py::handle y_, py::handle ma) {
            const arguments args("gauss_start");
            const farray x = args.vector(x_, "x"), y = args.vector(y_, "y");
            args.same_length({&x, &y});
            return start_of(args, x, y, args.integer<int>(ma, "ma", 0));
        },
        py::arg("x"), py::arg("y"), py::arg("ma") = 3);
    py::class_<lm_state>(m, "LMState")
        .def(py::init(&new_lm_state), py::arg("x"), py::arg("y"), py::arg("a"),
             py::arg("sig") = py::none(), py::arg("ia") = py::none(), py::arg("model") = "gauss")
        .def("step", &lm_state::step)
        .def("run", &lm_state::run, py::arg("rule") = py::none())
        .def_property_readonly("params", &lm_state::params)
        .def_property_readonly("covariance", &lm_state::covariance)
        .def_property_readonly("alpha", &lm_state::alpha)
        .def_property_readonly("chisq", &lm_state::chisq)
        .def_property_readonly("alamda", &lm_state::alamda)
        .def_property_readonly("in_progress", &lm_state::in_progress);
}

}  // namespace tvpy
