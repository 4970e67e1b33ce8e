// The voxel-wise fit for C: tv_lm_fit_many runs the C++ batch (batch.h) and
// answers like every tv_ function. It is written out here rather than made
// from the routine tables: its sizes' products must be checked, and a
// stopping rule and per-row text reach the C++ batch as structures
// (lm_problem, lm_results). The batched FFTs, whose strided series a table
// row describes (SERIES), are TV_BATCH rows (batch_routines.h).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "batch.h"
#include "detail_c.h"

using tessivane::c_layer::guarded;
using tessivane::c_layer::null_argument;
using tessivane::c_layer::refused;

namespace {

// Whether `rows` series of n values spaced `stride` apart (0: one shared)
// can be addressed: the last one ends within the address space.
bool addressable(std::size_t rows, std::size_t stride, std::size_t n)
{
    std::size_t span = 0;
    return tessivane::args::size_product({rows - 1, stride}, &span, PTRDIFF_MAX) &&
           span <= PTRDIFF_MAX - n;
}

// The C rule (NULL: the defaults) with the retry flag the C struct does not carry.
tessivane::lm_stopping_rule cxx_rule(const tv_lm_stopping_rule *rule, int retry)
{
    tessivane::lm_stopping_rule r;
    if (rule) {
        r.max_iterations = rule->max_iterations;
        r.absolute_drop = rule->absolute_drop;
        r.relative_drop = rule->relative_drop;
        r.quiet_steps = rule->quiet_steps;
        r.max_lambda = rule->max_lambda;
    }
    r.retry = retry != 0;
    return r;
}

}  // namespace

extern "C" {

tv_status tv_lm_fit_many(const float *x, ptrdiff_t x_stride, const float *y, const float *sig,
                         ptrdiff_t sig_stride, size_t rows, int n, const float *a0, int start,
                         int ma, const int *ia, const tv_lm_stopping_rule *rule, int retry,
                         unsigned threads, float *params, float *covariance, float *chisq,
                         tv_lm_row_outcome *outcomes, char *messages)
{
    const char *const f = "tv_lm_fit_many";
    if (start != TV_LM_START_ONE && start != TV_LM_START_PER_ROW && start != TV_LM_START_AUTO)
        return refused(f, "start must be TV_LM_START_ONE, TV_LM_START_PER_ROW or TV_LM_START_AUTO");
    if (n < 1)
        return refused(f, "n must be at least 1");
    if (ma < 1 || ma > tessivane::args::kMaxSquareSide)
        return refused(f, "ma must be in 1..46340");
    if (x_stride < 0 || sig_stride < 0)
        return refused(f, "x_stride and sig_stride must be >= 0");
    if (rows == 0)
        return guarded([] {});
    if (!x)
        return null_argument(f, "x");
    if (!y)
        return null_argument(f, "y");
    if (!a0 && start != TV_LM_START_AUTO)
        return null_argument(f, "a0");
    if (!params)
        return null_argument(f, "params");
    const auto un = static_cast<std::size_t>(n), uma = static_cast<std::size_t>(ma);
    std::size_t size = 0;
    if (!tessivane::args::size_product({rows, un, sizeof(float)}, &size) ||
        !tessivane::args::size_product({rows, uma, uma, sizeof(float)}, &size) ||
        !tessivane::args::size_product({rows, std::size_t(TV_LM_MESSAGE_SIZE)}, &size) ||
        !addressable(rows, static_cast<std::size_t>(x_stride), un) ||
        !addressable(rows, static_cast<std::size_t>(sig_stride), un))
        return refused(f, "the arrays of rows x n or rows x ma x ma values overflow size_t");

    namespace tb = tessivane::batch;
    return guarded([&] {
        tb::lm_problem pb;
        pb.x = {x, rows, un, x_stride, 1};
        pb.y = tb::series_view::rows(y, rows, un);
        const tb::series_view s{sig, rows, un, sig_stride, 1};
        pb.sig = sig ? &s : nullptr;
        pb.auto_start = start == TV_LM_START_AUTO;
        pb.a0 = pb.auto_start ? nullptr : a0;
        pb.a0_stride = start == TV_LM_START_PER_ROW ? ma : 0;
        pb.ma = ma;
        pb.ia = ia;
        pb.rule = cxx_rule(rule, retry);
        std::vector<tb::lm_row_outcome> rows_out(outcomes || messages ? rows : 0);
        tb::batch_options options;
        options.threads = threads;
        tb::lm_fit_many(
            pb, {params, covariance, chisq, rows_out.empty() ? nullptr : rows_out.data()}, options);
        for (std::size_t r = 0; r < rows_out.size(); r++) {
            const tb::lm_row_outcome &o = rows_out[r];
            if (outcomes) {
                // Rows always run (no cancellation here): fitted, or refused
                // with stop == refused.
                outcomes[r].stop = static_cast<int>(o.outcome.stop);
                outcomes[r].iterations = o.outcome.iterations;
                outcomes[r].lambda_at_stop = o.outcome.lambda_at_stop;
                outcomes[r].retried = o.outcome.retried ? 1 : 0;
            }
            if (messages) {
                char *m = messages + r * TV_LM_MESSAGE_SIZE;
                const std::size_t len =
                    std::min(o.message.size(), std::size_t(TV_LM_MESSAGE_SIZE - 1));
                std::memcpy(m, o.message.data(), len);
                m[len] = '\0';
            }
        }
    });
}

}  // extern "C"

static_assert(TV_LM_MESSAGE_SIZE > sizeof(tessivane::lm_outcome::message),
              "a run's whole message fits in a row of tv_lm_fit_many's messages");
