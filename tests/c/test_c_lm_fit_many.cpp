// tv_lm_fit_many against tessivane::batch::lm_fit_many: every row's parameters,
// covariance and chi-square to the bit, its outcome, iterations, lambda, retry flag
// and message, for each way of starting, of giving x and sig, with and without
// retry, on one and three threads; and the arguments it refuses, by name, with
// nothing written.
#include "tessivane_c.h"

#include "batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace tb = tessivane::batch;

constexpr std::size_t kRows = 37;  // not a multiple of the batch's chunks of 32
constexpr int kN = 50, kMa = 3;

// Noisy peaks of varied amplitude, centre and width; row 5 flat (degenerate
// from a flat start, whatever the start), row 11 with a NaN and row 23 with an infinity (refused).
struct Rows {
    std::vector<float> x, xs, y, sig, sigs, a0one, a0rows;
    Rows()
    {
        std::uint64_t state = 29;
        auto noise = [&] {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<float>(state >> 40) * 0x1p-24f - 0.5f;
        };
        for (int k = 0; k < kN; k++)
            x.push_back(0.5f * static_cast<float>(k));
        for (std::size_t s = 0; s < kRows; s++) {
            const float amp = 1.0f + 0.1f * static_cast<float>(s), centre = 5.0f + 0.4f * s,
                        width = 1.0f + 0.05f * static_cast<float>(s % 9);
            for (int k = 0; k < kN; k++) {
                const float u = (x[k] - centre) / width;
                y.push_back(s == 5 ? 0.0f : amp * std::exp(-u * u) + 0.1f * noise());
                xs.push_back(x[k] + 0.01f * static_cast<float>(s));
                sig.push_back(0.1f + 0.02f * (noise() + 0.5f));
            }
            for (float v : {amp * 0.8f, centre + 1.0f, width * 1.5f})
                a0rows.push_back(v);
        }
        sigs.assign(sig.begin(), sig.begin() + kN);
        y[11 * kN + 7] = NAN;
        y[23 * kN] = INFINITY;
        a0one = {0.0f, 10.0f, 2.0f};  // flat: degenerate rows, retried from the automatic start
        a0rows[5 * kMa] = 0.0f;
    }
};

struct Case {
    int start;
    int x_per_row, sig_kind;  // sig_kind: 0 NULL, 1 shared, 2 per row
    int retry;
    unsigned threads;
    int optional_outputs;  // int, not bool: no padding bytes for the test printer to read
};

class CLmFitMany : public ::testing::TestWithParam<Case> {};

TEST_P(CLmFitMany, RowByRowTheBitsOfTheCxxBatch)
{
    const Case c = GetParam();
    const Rows d;
    const float *x = c.x_per_row ? d.xs.data() : d.x.data();
    const ptrdiff_t x_stride = c.x_per_row ? kN : 0;
    const float *sig = c.sig_kind == 0 ? nullptr : c.sig_kind == 1 ? d.sigs.data() : d.sig.data();
    const ptrdiff_t sig_stride = c.sig_kind == 2 ? kN : 0;
    const float *a0 = c.start == TV_LM_START_ONE       ? d.a0one.data()
                      : c.start == TV_LM_START_PER_ROW ? d.a0rows.data()
                                                       : nullptr;
    tv_lm_stopping_rule rule;
    tv_lm_stopping_rule_default(&rule);
    rule.max_iterations = 40;

    std::vector<float> params(kRows * kMa, -1.0f), covar(kRows * kMa * kMa, -1.0f),
        chisq(kRows, -1.0f);
    std::vector<tv_lm_row_outcome> outcomes(kRows);
    std::vector<char> messages(kRows * TV_LM_MESSAGE_SIZE, 'x');
    const bool all = !c.optional_outputs;
    ASSERT_EQ(tv_lm_fit_many(x, x_stride, d.y.data(), sig, sig_stride, kRows, kN, a0, c.start, kMa,
                             nullptr, &rule, c.retry, c.threads, params.data(),
                             all ? covar.data() : nullptr, all ? chisq.data() : nullptr,
                             all ? outcomes.data() : nullptr, all ? messages.data() : nullptr),
              TV_OK)
        << tv_last_error();

    tb::lm_problem pb;
    pb.x = {x, kRows, kN, x_stride, 1};
    pb.y = tb::series_view::rows(d.y.data(), kRows, kN);
    const tb::series_view s{sig, kRows, kN, sig_stride, 1};
    pb.sig = sig ? &s : nullptr;
    pb.auto_start = c.start == TV_LM_START_AUTO;
    pb.a0 = a0;
    pb.a0_stride = c.start == TV_LM_START_PER_ROW ? kMa : 0;
    pb.ma = kMa;
    pb.rule.max_iterations = 40;
    pb.rule.retry = c.retry != 0;
    std::vector<float> p2(kRows * kMa), c2(kRows * kMa * kMa), x2(kRows);
    std::vector<tb::lm_row_outcome> o2(kRows);
    tb::lm_fit_many(pb, {p2.data(), c2.data(), x2.data(), o2.data()});

    auto bits = [](const float *a, const float *b, std::size_t n) {
        return std::memcmp(a, b, n * sizeof(float)) == 0;
    };
    std::size_t refused = 0, retried = 0, converged = 0;
    for (std::size_t r = 0; r < kRows; r++) {
        SCOPED_TRACE("row " + std::to_string(r));
        EXPECT_TRUE(bits(&params[r * kMa], &p2[r * kMa], kMa));
        if (!all)
            continue;
        EXPECT_TRUE(bits(&covar[r * kMa * kMa], &c2[r * kMa * kMa], kMa * kMa));
        EXPECT_TRUE(bits(&chisq[r], &x2[r], 1));
        const tessivane::lm_outcome &o = o2[r].outcome;
        EXPECT_EQ(outcomes[r].stop, static_cast<int>(o.stop));
        EXPECT_EQ(outcomes[r].iterations, o.iterations);
        EXPECT_TRUE(bits(&outcomes[r].lambda_at_stop, &o.lambda_at_stop, 1));
        EXPECT_EQ(outcomes[r].retried, o.retried ? 1 : 0);
        EXPECT_EQ(std::string(&messages[r * TV_LM_MESSAGE_SIZE]), o2[r].message);
        refused += outcomes[r].stop == TV_LM_REFUSED;
        retried += outcomes[r].retried;
        converged += outcomes[r].stop == TV_LM_CONVERGED;
    }
    if (all) {
        // The table exercises what it claims: refused rows, retries, converged rows.
        // (the automatic start of the flat row 5 has amplitude 0: degenerate,
        // not refused, when it starts or is retried there)
        EXPECT_EQ(refused, 2u);
        EXPECT_EQ(outcomes[5].stop, TV_LM_DEGENERATE);
        EXPECT_TRUE(std::isnan(params[11 * kMa]) && std::isnan(chisq[23]));
        EXPECT_EQ(std::string(&messages[11 * TV_LM_MESSAGE_SIZE]), "y is NaN at point 8 of 1..50");
        if (c.start != TV_LM_START_ONE || c.retry) {
            EXPECT_GT(converged, kRows / 2);
        }
        if (c.retry && c.start == TV_LM_START_ONE) {
            EXPECT_GT(retried, 0u);
        } else if (!c.retry) {
            EXPECT_EQ(retried, 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StartsLayoutsRetryThreads, CLmFitMany,
                         ::testing::Values(Case{TV_LM_START_ONE, 0, 0, 0, 1, false},
                                           Case{TV_LM_START_ONE, 0, 1, 1, 3, false},
                                           Case{TV_LM_START_ONE, 1, 2, 1, 1, false},
                                           Case{TV_LM_START_PER_ROW, 0, 2, 0, 3, false},
                                           Case{TV_LM_START_PER_ROW, 1, 0, 1, 1, true},
                                           Case{TV_LM_START_AUTO, 0, 1, 0, 1, false},
                                           Case{TV_LM_START_AUTO, 1, 2, 1, 3, false},
                                           Case{TV_LM_START_AUTO, 0, 0, 0, 0, true}));

// Each refusal by name and message, before anything is read or written.
TEST(CLmFitManyArguments, RefusedWithTheirMessageAndNothingWritten)
{
    const Rows d;
    std::vector<float> params(kRows * kMa, -1.0f);
    const float *x = d.x.data(), *y = d.y.data(), *a0 = d.a0one.data();
    float *p = params.data();
    const std::size_t huge = SIZE_MAX / 8;
    auto call = [&](const float *xx, ptrdiff_t xs, const float *yy, std::size_t rows, int n,
                    const float *aa, int start, int ma, float *pp) {
        return tv_lm_fit_many(xx, xs, yy, nullptr, 0, rows, n, aa, start, ma, nullptr, nullptr, 0,
                              1, pp, nullptr, nullptr, nullptr, nullptr);
    };
    auto refuses = [](tv_status status, const std::string &message) {
        EXPECT_EQ(status, TV_ERROR_INVALID_ARGUMENT) << message;
        EXPECT_EQ("tv_lm_fit_many: " + message, std::string(tv_last_error()));
    };
    const std::string overflow = "the arrays of rows x n or rows x ma x ma values overflow size_t";
    refuses(call(nullptr, 0, y, kRows, kN, a0, TV_LM_START_ONE, kMa, p), "x is NULL");
    refuses(call(x, 0, nullptr, kRows, kN, a0, TV_LM_START_ONE, kMa, p), "y is NULL");
    refuses(call(x, 0, y, kRows, kN, nullptr, TV_LM_START_PER_ROW, kMa, p), "a0 is NULL");
    refuses(call(x, 0, y, kRows, kN, a0, TV_LM_START_ONE, kMa, nullptr), "params is NULL");
    refuses(call(x, 0, y, kRows, 0, a0, TV_LM_START_ONE, kMa, p), "n must be at least 1");
    refuses(call(x, 0, y, kRows, kN, a0, TV_LM_START_ONE, 0, p), "ma must be in 1..46340");
    refuses(call(x, 0, y, kRows, kN, a0, 3, kMa, p),
            "start must be TV_LM_START_ONE, TV_LM_START_PER_ROW or TV_LM_START_AUTO");
    refuses(call(x, -1, y, kRows, kN, a0, TV_LM_START_ONE, kMa, p),
            "x_stride and sig_stride must be >= 0");
    refuses(call(x, 0, y, huge, kN, a0, TV_LM_START_ONE, kMa, p), overflow);
    refuses(call(x, 0, y, huge / 64, 1, a0, TV_LM_START_ONE, 46340, p), overflow);
    refuses(call(x, PTRDIFF_MAX / 2, y, 3, kN, a0, TV_LM_START_ONE, kMa, p), overflow);
    EXPECT_EQ(std::vector<float>(kRows * kMa, -1.0f), params);
    // No rows: nothing to read or write, NULL arrays and all.
    EXPECT_EQ(call(nullptr, 0, nullptr, 0, kN, nullptr, TV_LM_START_ONE, kMa, nullptr), TV_OK);
    // With NULL a0, the automatic start needs no array of starts.
    EXPECT_EQ(call(x, 0, y, 2, kN, nullptr, TV_LM_START_AUTO, kMa, p), TV_OK);
}

}  // namespace
