// Fits: the straight line, svdfit with a built-in or a Python basis, and
// LMFit, one Levenberg-Marquardt fit (tessivane::lm_fit) with the built-in
// Gaussian or a Python model.
#include "common.h"

#include "bases.h"
#include "stat.h"

#include <cstring>
#include <mutex>

namespace tvpy {
namespace {

int count(const py::array &x)
{
    return static_cast<int>(x.size());
}

// a, b, siga, sigb, chi2, q; sig is read only when weighted.
py::tuple line_fit(const farray &x, const farray &y, const farray &sig, bool weighted)
{
    float a = 0, b = 0, siga = 0, sigb = 0, chi2 = 0, q = 0;
    run_library([&] {
        fit(one1(x.data()), one1(y.data()), count(x), weighted ? one1(sig.data()) : nullptr,
            weighted ? 1 : 0, &a, &b, &siga, &sigb, &chi2, &q);
    });
    return py::make_tuple(a, b, siga, sigb, chi2, q);
}

// X_1(x)..X_np(x) from the thread's Python callable, called as f(x, np).
void python_basis(float x, float *p, int np)
{
    py::gil_scoped_acquire gil;
    try {
        py::object result = py::reinterpret_borrow<py::object>(current_callback()->callable)(x, np);
        farray values = farray::ensure(result);
        if (!values)
            throw py::error_already_set();
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

// basis: 0 for fpoly, 1 for fleg, otherwise a callable f(x, ma) -> ma values.
py::tuple linear_fit(const farray &x, const farray &y, const farray &sig, int ma,
                     const py::object &basis)
{
    const int ndata = count(x);
    void (*funcs)(float, float *, int) = &python_basis;
    callback_context context{basis, nullptr};
    if (py::isinstance<py::int_>(basis))
        funcs = basis.cast<int>() == 0 ? &fpoly : &legendre_basis;
    farray a(ma), w(ma), u(std::vector<py::ssize_t>{ndata, ma}),
        v(std::vector<py::ssize_t>{ma, ma});
    rows1 pu(u.mutable_data(), ndata, ma), pv(v.mutable_data(), ma, ma);
    float *pa = a.mutable_data(), *pw = w.mutable_data();
    float chisq = 0.0f;
    callback_scope scope(context);
    run_library(
        [&] {
            svdfit(one1(x.data()), one1(y.data()), one1(sig.data()), ndata, one1(pa), ma, pu, pv,
                   one1(pw), &chisq, funcs);
        },
        &context);
    return py::make_tuple(a, u, v, w, chisq);
}

farray basis_values(float x, int np, int which)
{
    farray p(np);
    float *pp = p.mutable_data();
    run_library([&] { which == 0 ? fpoly(x, one1(pp), np) : fleg(x, one1(pp), np); });
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
        if (!py::isinstance<py::sequence>(result) || py::len(result) != 2)
            throw py::value_error("LMFit: the model must return (y, dyda)");
        py::sequence pair = result.cast<py::sequence>();
        const float value = py::float_(pair[0]).cast<float>();
        farray derivatives = farray::ensure(pair[1]);
        if (!derivatives)
            throw py::error_already_set();
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
    lm_state(const farray &x, const farray &y, const farray &sig, const farray &a,
             const carray<int> &ia, py::object model)
        : x_(x.data(), x.data() + x.size())
        , y_(y.data(), y.data() + y.size())
        , sig_(sig.data(), sig.data() + sig.size())
        , a_(a.data(), a.data() + a.size())
        , ia_(ia.data(), ia.data() + ia.size())
        , ma_(count(a))
        , covar_(static_cast<size_t>(ma_ * ma_))
        , alpha_(static_cast<size_t>(ma_ * ma_))
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

    py::tuple run(const tessivane::lm_stopping_rule &rule)
    {
        tessivane::lm_outcome outcome;
        call([&](float **covar, float **alpha, tessivane::lm_model funcs) {
            outcome = fit_.run(one1(x_.data()), one1(y_.data()), one1(sig_.data()), ndata(),
                               one1(a_.data()), one1(ia_.data()), ma_, covar, alpha, &chisq_, funcs,
                               rule);
        });
        alamda_ = 0.0f;
        return py::make_tuple(static_cast<int>(outcome.stop), outcome.iterations,
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

    static farray vector_copy(const std::vector<float> &v, std::vector<py::ssize_t> shape)
    {
        farray out(shape);
        std::memcpy(out.mutable_data(), v.data(), v.size() * sizeof(float));
        return out;
    }

    template <class F>
    void call(F &&f)
    {
        callback_context context{model_, nullptr};
        callback_scope scope(context);
        const tessivane::lm_model funcs = model_.is_none() ? &fgauss : &python_model;
        run_library(
            [&] {
                std::lock_guard<std::mutex> lock(mutex_);
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
};

tessivane::lm_stopping_rule make_rule(int max_iterations, double absolute_drop,
                                      double relative_drop, int quiet_steps, float max_lambda,
                                      bool retry)
{
    tessivane::lm_stopping_rule rule;
    rule.max_iterations = max_iterations;
    rule.absolute_drop = absolute_drop;
    rule.relative_drop = relative_drop;
    rule.quiet_steps = quiet_steps;
    rule.max_lambda = max_lambda;
    rule.retry = retry;
    return rule;
}

}  // namespace

void bind_fit(py::module_ &m)
{
    m.def("fit", &line_fit);
    m.def("svdfit", &linear_fit);
    m.def("basis", &basis_values);
    m.def("fgauss", [](float x, const farray &a) {
        const int na = count(a);
        farray dyda(na);
        float *pd = dyda.mutable_data();
        float y = 0.0f;
        std::vector<float> params(a.data(), a.data() + na);
        run_library([&] { fgauss(x, one1(params.data()), &y, one1(pd), na); });
        return py::make_tuple(y, dyda);
    });
    // The automatic start of the built-in model for one series.
    m.def("gauss_start", [](const farray &x, const farray &y, int ma) {
        farray a(ma);
        float *pa = a.mutable_data();
        std::vector<float> xs(x.data(), x.data() + x.size()), ys(y.data(), y.data() + y.size());
        run_library([&] {
            ::gauss_start(one1(xs.data()), one1(ys.data()), static_cast<int>(xs.size()), one1(pa),
                          ma);
        });
        return a;
    });
    py::class_<lm_state>(m, "LMState")
        .def(py::init<const farray &, const farray &, const farray &, const farray &,
                      const carray<int> &, py::object>())
        .def("step", &lm_state::step)
        .def("run",
             [](lm_state &s, int max_iterations, double absolute_drop, double relative_drop,
                int quiet_steps, float max_lambda, bool retry) {
                 return s.run(make_rule(max_iterations, absolute_drop, relative_drop, quiet_steps,
                                        max_lambda, retry));
             })
        .def_property_readonly("params", &lm_state::params)
        .def_property_readonly("covariance", &lm_state::covariance)
        .def_property_readonly("alpha", &lm_state::alpha)
        .def_property_readonly("chisq", &lm_state::chisq)
        .def_property_readonly("alamda", &lm_state::alamda)
        .def_property_readonly("in_progress", &lm_state::in_progress);
}

}  // namespace tvpy
