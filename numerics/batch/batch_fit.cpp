// Batches of least-squares fits: a Levenberg-Marquardt fit per row, each by
// its own lm_fit, and svdfit of many series against one design.

#include "detail_batch.h"

#include "argcheck.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>

#include "detail_fit.h"
#include "detail_scratch.h"
#include "stat.h"

namespace tessivane {
namespace batch {

using detail::gather;
using detail::kNaN;

const char *outcome_name(const lm_row_outcome &row)
{
    switch (row.state) {
    case row_state::refused:
        return "refused";
    case row_state::not_run:
        return "not_run";
    case row_state::fitted:
        break;
    }
    return reason_name(row.outcome.stop);
}

namespace {

int point_count(const char *routine, std::size_t n)
{
    if (n < 1 || n > static_cast<std::size_t>(INT_MAX))
        detail::refuse("batch %s: %zu points, a fit needs 1..2^31-1", routine, n);
    return static_cast<int>(n);
}

// ma * ma, the floats of one row's matrix, refusing a batch whose [count x ma x ma]
// results could not exist in memory.
std::size_t square_count(const char *routine, std::size_t count, int ma)
{
    std::size_t ma2 = 0, all = 0;
    if (!args::size_product({std::size_t(ma), std::size_t(ma)}, &ma2) ||
        !args::size_product({count, ma2, sizeof(float)}, &all))
        detail::refuse("batch %s: %zu rows of %d x %d floats exceed the address space", routine,
                       count, ma, ma);
    return ma2;
}

void check_fit_series(const char *routine, const series_view &x, const series_view &y,
                      const series_view *sig)
{
    detail::require_same_count(routine, x, y);
    detail::require_data(routine, x, "x");
    detail::require_data(routine, y, "y");
    if (x.length != y.length)
        detail::refuse("batch %s: x has %zu points, y %zu", routine, x.length, y.length);
    if (sig) {
        detail::require_same_count(routine, y, *sig);
        detail::require_data(routine, *sig, "sig");
        if (sig->length != y.length)
            detail::refuse("batch %s: sig has %zu points, y %zu", routine, sig->length, y.length);
    }
}

// The work storage of one worker's fits: 1-based x, y, sig, a and ia, and the
// covar and alpha matrices the single call takes.
struct lm_worker {
    lm_worker(int ndata, int ma)
        : x(1, ndata)
        , y(1, ndata)
        , sig(1, ndata)
        , a(1, ma)
        , ia(1, ma)
        , covar(1, ma, 1, ma)
        , alpha(1, ma, 1, ma)
    {}
    tessivane::detail::scratch_vector<float> x, y, sig, a;
    tessivane::detail::scratch_vector<int> ia;
    tessivane::detail::scratch_matrix covar, alpha;
    bool shared_in_place = false;  // the rows' shared x and sig are in x and sig
};

}  // namespace

batch_report lm_fit_many(const lm_problem &pb, const lm_results &out, const batch_options &options)
{
    check_fit_series("lm_fit", pb.x, pb.y, pb.sig);
    if (pb.ma < 1)
        detail::refuse("batch lm_fit: ma = %d, there must be at least one parameter", pb.ma);
    if (pb.y.count == 0)
        return batch_report();  // no rows: nothing to read or write
    if ((!pb.a0 && !pb.auto_start) || !out.params)
        detail::refuse("batch lm_fit: %s is null", out.params ? "a0" : "params");
    if (pb.auto_start && pb.model && pb.model != fgauss)
        detail::refuse("batch lm_fit: the automatic start is for the built-in Gaussian model only");
    const int ndata = point_count("lm_fit", pb.y.length);
    const int ma = pb.ma;
    const std::size_t ma2 = square_count("lm_fit", pb.y.count, ma);
    const lm_model model = pb.model ? pb.model : fgauss;

    // A fit takes microseconds: chunks of at most 32 keep the threads' last
    // chunks short.
    const detail::row_plan plan = detail::plan_rows(pb.y.count, options, 32);
    // Worker storage is made here, on the calling thread, so that a failed
    // allocation refuses the batch rather than one row.
    std::vector<std::unique_ptr<lm_worker>> workers;
    for (unsigned w = 0; w < plan.workers; w++) {
        workers.push_back(std::make_unique<lm_worker>(ndata, ma));
        for (int j = 1; j <= ma; j++)
            workers.back()->ia[j] = pb.ia ? pb.ia[j - 1] : 1;
    }

    auto run = [&](std::size_t s, unsigned wi) {
        lm_worker &w = *workers[wi];
        // A fit reads x and sig and leaves them as they were, so a series
        // shared by every row is copied once per worker.
        if (pb.x.series_stride != 0 || !w.shared_in_place)
            gather(pb.x, s, w.x);
        gather(pb.y, s, w.y);
        if (pb.sig && (pb.sig->series_stride != 0 || !w.shared_in_place))
            gather(*pb.sig, s, w.sig);
        else if (!pb.sig && !w.shared_in_place)
            std::fill(w.sig.get() + 1, w.sig.get() + 1 + ndata, 1.0f);
        w.shared_in_place = true;
        if (pb.auto_start) {
            ::gauss_start(w.x, w.y, ndata, w.a, ma);
        } else {
            const float *a0 = pb.a0 + static_cast<std::ptrdiff_t>(s) * pb.a0_stride;
            std::copy(a0, a0 + ma, w.a.get() + 1);
        }
        for (int j = 1; j <= ma; j++)
            for (int k = 1; k <= ma; k++)
                w.covar.get()[j][k] = w.alpha.get()[j][k] = 0.0f;

        lm_fit fitter;
        float chisq = 0.0f;
        const lm_outcome outcome = fitter.run(w.x, w.y, w.sig, ndata, w.a, w.ia, ma, w.covar,
                                              w.alpha, &chisq, model, pb.rule);
        // Refused input is reported and counted as every refused row is.
        if (outcome.stop == lm_outcome::refused)
            throw std::invalid_argument(outcome.message);

        std::copy(w.a.get() + 1, w.a.get() + 1 + ma, out.params + s * ma);
        if (out.covariance)
            for (int j = 1; j <= ma; j++)
                std::copy(w.covar.get()[j] + 1, w.covar.get()[j] + 1 + ma,
                          out.covariance + s * ma2 + std::size_t(j - 1) * ma);
        if (out.chisq)
            out.chisq[s] = chisq;
        if (out.outcomes) {
            lm_row_outcome &row = out.outcomes[s];
            row.state = row_state::fitted;
            row.outcome = outcome;
            row.message = outcome.message;
        }
    };
    auto blank = [&](std::size_t s, row_state state, const char *message) {
        std::fill(out.params + s * ma, out.params + (s + 1) * ma, kNaN);
        if (out.covariance)
            std::fill(out.covariance + s * ma2, out.covariance + (s + 1) * ma2, kNaN);
        if (out.chisq)
            out.chisq[s] = kNaN;
        if (out.outcomes) {
            out.outcomes[s].state = state;
            out.outcomes[s].outcome = lm_outcome();
            if (state == row_state::refused)
                out.outcomes[s].outcome.stop = lm_outcome::refused;
            out.outcomes[s].message = message ? message : "";
        }
    };
    return detail::for_each_row(plan, options, run, blank);
}

namespace {

// The steps of svdfit that do not depend on y, for a design shared by every
// series: the weighted design matrix decomposed into u, w, v with the small
// singular values cut, the reciprocal weights, and the basis at every point.
struct shared_design {
    int ndata, ma;
    tessivane::detail::scratch_matrix u, v, afunc;
    tessivane::detail::scratch_vector<float> w, sig;
    bool converged = true;

    shared_design(const float *x1, const float *sig1, int n, int m, svd_basis basis)
        : ndata(n)
        , ma(m)
        , u(1, n, 1, m)
        , v(1, m, 1, m)
        , afunc(1, n, 1, m)
        , w(1, m)
        , sig(1, n)
    {
        // svdfit's first pass, point by point; the basis values stay for chi-square.
        for (int i = 1; i <= ndata; i++) {
            sig[i] = sig1 ? sig1[i] : 1.0f;
            tessivane::detail::weighted_design_row(x1[i], sig[i], basis, afunc.get()[i], u.get()[i],
                                                   ma);
        }
        svdcmp(u, ndata, ma, w, v);
        converged = last_svd_converged();
        tessivane::detail::cut_small_singular_values(w, ma);
    }

    // svdfit's steps after the cut, for one series y[1..ndata]: the weighted
    // right-hand side (the same reciprocal as the design row), the
    // back-substitution, and chi-square with the division by sig.
    float solve(const float *y, float *b, float *a) const
    {
        for (int i = 1; i <= ndata; i++) {
            const float tmp = 1.0f / sig[i];
            b[i] = y[i] * tmp;
        }
        svbksb(u, w, v, ndata, ma, b, a);
        float chisq = 0.0f;
        for (int i = 1; i <= ndata; i++)
            chisq += tessivane::detail::chisq_term(a, afunc.get()[i], ma, y[i], sig[i]);
        return chisq;
    }
};

}  // namespace

batch_report svdfit_many(const series_view &x, const series_view &y, const series_view *sig, int ma,
                         svd_basis basis, float *a, float *chisq, float *w, float *v,
                         bool *svd_converged, const batch_options &options)
{
    check_fit_series("svdfit", x, y, sig);
    if (ma < 1)
        detail::refuse("batch svdfit: ma = %d, there must be at least one basis function", ma);
    if (x.series_stride != 0 && x.count > 1)
        detail::refuse("batch svdfit: x must be one series shared by every row");
    if (y.count == 0) {  // no rows: nothing to read or write
        if (svd_converged)
            *svd_converged = true;
        return batch_report();
    }
    if (!basis || !a)
        detail::refuse("batch svdfit: %s is null", basis ? "a" : "the basis");
    const int ndata = point_count("svdfit", y.length);
    const std::size_t ma2 = square_count("svdfit", y.count, ma);
    const bool shared = !sig || sig->series_stride == 0 || sig->count <= 1;

    const detail::row_plan plan = detail::plan_rows(y.count, options);
    const std::size_t n1 = y.length;
    detail::worker_vectors buffers(plan.workers, {n1, n1, n1, n1, std::size_t(ma)});
    std::atomic<bool> all_converged{true};
    std::unique_ptr<shared_design> design;
    if (shared && y.count > 0) {
        float *x1 = buffers.vec(0, 0);
        float *s1 = buffers.vec(0, 2);
        gather(x, 0, x1);
        if (sig)
            gather(*sig, 0, s1);
        design = std::make_unique<shared_design>(x1, sig ? s1 : nullptr, ndata, ma, basis);
        all_converged = design->converged;
    }

    auto put_factors = [&](std::size_t s, const float *ws, float *const *vs) {
        if (w)
            std::copy(ws + 1, ws + 1 + ma, w + s * ma);
        if (v)
            for (int j = 1; j <= ma; j++)
                std::copy(vs[j] + 1, vs[j] + 1 + ma, v + s * ma2 + std::size_t(j - 1) * ma);
    };
    auto run = [&](std::size_t s, unsigned wi) {
        float *xs = buffers.vec(wi, 0);
        float *ys = buffers.vec(wi, 1);
        float *ss = buffers.vec(wi, 2);
        float *b = buffers.vec(wi, 3);
        float *as = buffers.vec(wi, 4);
        gather(y, s, ys);
        float c;
        if (design) {
            c = design->solve(ys, b, as);
            put_factors(s, design->w, design->v.get());
        } else {
            gather(x, s, xs);
            gather(*sig, s, ss);
            tessivane::detail::scratch_matrix us(1, ndata, 1, ma), vs(1, ma, 1, ma);
            tessivane::detail::scratch_vector<float> ws(1, ma);
            ::svdfit(xs, ys, ss, ndata, as, ma, us, vs, ws, &c, basis);
            if (!last_svd_converged())
                all_converged = false;
            put_factors(s, ws, vs.get());
        }
        std::copy(as + 1, as + 1 + ma, a + s * ma);
        if (chisq)
            chisq[s] = c;
    };
    auto blank = [&](std::size_t s, row_state, const char *) {
        std::fill(a + s * ma, a + (s + 1) * ma, kNaN);
        if (chisq)
            chisq[s] = kNaN;
        if (w)
            std::fill(w + s * ma, w + (s + 1) * ma, kNaN);
        if (v)
            std::fill(v + s * ma2, v + (s + 1) * ma2, kNaN);
    };
    batch_report report = detail::for_each_row(plan, options, run, blank);
    if (svd_converged)
        *svd_converged = all_converged;
    return report;
}

}  // namespace batch
}  // namespace tessivane
