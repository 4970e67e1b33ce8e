// Voxel-wise batches: every row equals the single call bit for bit at 1, 2 and
// 7 threads; a refused row is reported while the others complete; a batch
// stops when cancelled; whole-batch refusals are fatal with their message.

#include "batch.h"
#include "isa.h"
#include "stat.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tb = tessivane::batch;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Equal bits, or both NaN.
bool same_bits(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<float> noise(std::size_t n, unsigned seed, float scale, float offset = 0.0f)
{
    std::mt19937 gen(seed);
    std::vector<float> v(n);
    for (float &f : v)
        f = offset + scale * (static_cast<float>(gen() >> 8) * 0x1p-24f - 0.5f);
    return v;
}

// Two images of voxels in columns ([samples x voxels]); voxel 5 is constant in
// both, voxel 9 holds a NaN, voxel 11 ties every value.
constexpr std::size_t kVoxels = 300, kN1 = 12, kN2 = 9;
struct Images {
    std::vector<float> a = noise(kN1 * kVoxels, 1, 3.5f), b = noise(kN2 * kVoxels, 2, 2.9f, 0.4f);
    Images()
    {
        for (std::size_t k = 0; k < kN1; k++)
            a[k * kVoxels + 5] = a[k * kVoxels + 11] = 2.385f;
        for (std::size_t k = 0; k < kN2; k++)
            b[k * kVoxels + 5] = 2.385f;
        a[3 * kVoxels + 9] = kNaN;
        for (std::size_t k = 0; k < kN2; k++)
            for (std::size_t v = 0; v < kVoxels; v++)
                far[k * kVoxels + v] += 0.001f * float(v * v);
    }
    // b's voxels ever further from a's: t from about 0 to the hundreds.
    std::vector<float> far = b;
    // Voxel v of an image as a 1-based vector.
    static std::vector<float> voxel(const std::vector<float> &img, std::size_t n, std::size_t v)
    {
        std::vector<float> out(n + 1);
        for (std::size_t k = 0; k < n; k++)
            out[k + 1] = img[k * kVoxels + v];
        return out;
    }
    tb::series_view va() const { return tb::series_view::columns(a.data(), kN1, kVoxels); }
    tb::series_view vb() const { return tb::series_view::columns(b.data(), kN2, kVoxels); }
    tb::series_view vfar() const { return tb::series_view::columns(far.data(), kN2, kVoxels); }
};
const Images images;

// Gaussian time courses, one per row; row 4 is flat zero with a zero start
// amplitude (a singular curvature matrix: refused).
constexpr int kPoints = 40, kRows = 60, kMa = 3;
struct Courses {
    std::vector<float> x = noise(kPoints, 3, 0.0f),
                       y = noise(std::size_t(kRows) * kPoints, 4, 0.3f);
    std::vector<float> sig = noise(std::size_t(kRows) * kPoints, 5, 0.2f, 1.0f);
    std::vector<float> a0 = std::vector<float>(std::size_t(kRows) * kMa);
    Courses()
    {
        for (int i = 0; i < kPoints; i++)
            x[i] = 0.25f * i;
        for (int r = 0; r < kRows; r++) {
            const float amp = 1.0f + 0.05f * r, mid = 3.0f + 0.07f * r, width = 1.5f;
            for (int i = 0; i < kPoints; i++) {
                const float u = (x[i] - mid) / width;
                y[r * kPoints + i] += amp * std::exp(-u * u);
            }
            a0[r * kMa + 0] = 1.2f;
            a0[r * kMa + 1] = 4.0f;
            a0[r * kMa + 2] = 1.0f + 0.01f * r;
        }
        for (int i = 0; i < kPoints; i++)
            y[4 * kPoints + i] = 0.0f;
        a0[4 * kMa + 0] = 0.0f;
    }
};
const Courses courses;

// A C++ model of its own: a1 exp(-x / a2) + a3.
void decay(float x, float *a, float *y, float *dyda, int)
{
    const float e = static_cast<float>(std::exp(-static_cast<double>(x / a[2])));
    *y = a[1] * e + a[3];
    dyda[1] = e;
    dyda[2] = a[1] * e * x / (a[2] * a[2]);
    dyda[3] = 1.0f;
}

// The single calls a caller's loop would make for the Levenberg-Marquardt
// rows (in throw mode, a refused row as NaN).
std::vector<float> single_lm_fits(tessivane::lm_model model, bool with_sig, int points = kPoints)
{
    tessivane::scoped_error_mode throwing(tessivane::error_mode::throw_exception);
    std::vector<float> out;
    for (int r = 0; r < kRows; r++) {
        std::vector<float> x(points + 1), y(points + 1), sig(points + 1, 1.0f), a(kMa + 1);
        for (int i = 0; i < points; i++) {
            x[i + 1] = courses.x[i];
            y[i + 1] = courses.y[r * kPoints + i];
            if (with_sig)
                sig[i + 1] = courses.sig[r * kPoints + i];
        }
        std::copy(&courses.a0[r * kMa], &courses.a0[r * kMa] + kMa, a.begin() + 1);
        int ia[kMa + 1] = {0, 1, 1, 1};
        float **covar = matrix(1, kMa, 1, kMa), **alpha = matrix(1, kMa, 1, kMa), chisq;
        try {
            tessivane::lm_fit f;
            f.run(x.data(), y.data(), sig.data(), points, a.data(), ia, kMa, covar, alpha, &chisq,
                  model ? model : fgauss);
            out.insert(out.end(), a.begin() + 1, a.end());
            for (int j = 1; j <= kMa; j++)
                out.insert(out.end(), covar[j] + 1, covar[j] + 1 + kMa);
            out.push_back(chisq);
        } catch (const tessivane::numerics_error &) {
            out.insert(out.end(), kMa + kMa * kMa + 1, kNaN);
        }
        free_matrix(alpha, 1, kMa, 1, kMa);
        free_matrix(covar, 1, kMa, 1, kMa);
    }
    return out;
}

// The first `points` of each row.
std::vector<float> batch_lm_fits(tessivane::lm_model model, bool with_sig, unsigned threads,
                                 int points = kPoints)
{
    const tb::series_view sig = {courses.sig.data(), kRows, std::size_t(points), kPoints, 1};
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(courses.x.data(), kRows, points);
    pb.y = {courses.y.data(), kRows, std::size_t(points), kPoints, 1};
    pb.sig = with_sig ? &sig : nullptr;
    pb.a0 = courses.a0.data();
    pb.a0_stride = kMa;
    pb.ma = kMa;
    pb.model = model;
    std::vector<float> params(kRows * kMa), covar(kRows * kMa * kMa), chisq(kRows);
    tb::batch_options options;
    options.threads = threads;
    tb::lm_fit_many(pb, {params.data(), covar.data(), chisq.data(), nullptr}, options);
    std::vector<float> out;
    for (int r = 0; r < kRows; r++) {
        out.insert(out.end(), &params[r * kMa], &params[r * kMa] + kMa);
        out.insert(out.end(), &covar[r * kMa * kMa], &covar[r * kMa * kMa] + kMa * kMa);
        out.push_back(chisq[r]);
    }
    return out;
}

// svdfit of every row against the cubic basis, one call per row.
std::vector<float> single_svdfits(bool with_sig)
{
    std::vector<float> out;
    const int ma = 4;
    for (int r = 0; r < kRows; r++) {
        std::vector<float> x(kPoints + 1), y(kPoints + 1), sig(kPoints + 1, 1.0f), a(ma + 1),
            w(ma + 1);
        for (int i = 0; i < kPoints; i++) {
            x[i + 1] = courses.x[i];
            y[i + 1] = courses.y[r * kPoints + i];
            sig[i + 1] = with_sig ? courses.sig[r * kPoints + i] : courses.sig[i];
        }
        float **u = matrix(1, kPoints, 1, ma), **v = matrix(1, ma, 1, ma), chisq;
        svdfit(x.data(), y.data(), sig.data(), kPoints, a.data(), ma, u, v, w.data(), &chisq,
               fpoly);
        out.insert(out.end(), a.begin() + 1, a.end());
        out.insert(out.end(), w.begin() + 1, w.end());
        for (int j = 1; j <= ma; j++)
            out.insert(out.end(), v[j] + 1, v[j] + 1 + ma);
        out.push_back(chisq);
        free_matrix(v, 1, ma, 1, ma);
        free_matrix(u, 1, kPoints, 1, ma);
    }
    return out;
}

std::vector<float> batch_svdfits(bool with_sig, unsigned threads)
{
    const int ma = 4;
    // A sig per row, or the first row's sig shared by all.
    const tb::series_view sig = with_sig
                                    ? tb::series_view::rows(courses.sig.data(), kRows, kPoints)
                                    : tb::series_view::shared(courses.sig.data(), kRows, kPoints);
    std::vector<float> a(kRows * ma), w(kRows * ma), v(kRows * ma * ma), chisq(kRows);
    tb::batch_options options;
    options.threads = threads;
    tb::svdfit_many(tb::series_view::shared(courses.x.data(), kRows, kPoints),
                    tb::series_view::rows(courses.y.data(), kRows, kPoints), &sig, ma, fpoly,
                    a.data(), chisq.data(), w.data(), v.data(), nullptr, options);
    std::vector<float> out;
    for (int r = 0; r < kRows; r++) {
        out.insert(out.end(), &a[r * ma], &a[r * ma] + ma);
        out.insert(out.end(), &w[r * ma], &w[r * ma] + ma);
        out.insert(out.end(), &v[r * ma * ma], &v[r * ma * ma] + ma * ma);
        out.push_back(chisq[r]);
    }
    return out;
}

// One routine: its batch at a thread count, and the single calls' results in
// the same order.
struct Routine {
    const char *name;
    std::function<std::vector<float>(unsigned)> batch;
    std::function<std::vector<float>()> single;
};

// Runs a per-voxel two-sample batch writing `maps` outputs per voxel, and the
// matching single calls, both flattened voxel by voxel.
template <class Batch, class Single>
Routine voxelwise(const char *name, int maps, Batch batch, Single single,
                  const std::vector<float> *second = &images.b)
{
    return {name,
            [=](unsigned threads) {
                std::vector<float> m(maps * kVoxels);
                tb::batch_options options;
                options.threads = threads;
                batch(m.data(), options);
                std::vector<float> out;
                for (std::size_t v = 0; v < kVoxels; v++)
                    for (int k = 0; k < maps; k++)
                        out.push_back(m[k * kVoxels + v]);
                return out;
            },
            [=] {
                std::vector<float> out;
                for (std::size_t v = 0; v < kVoxels; v++) {
                    auto d1 = Images::voxel(images.a, kN1, v), d2 = Images::voxel(*second, kN2, v);
                    single(d1.data(), d2.data(), out);
                }
                return out;
            }};
}

// The same batch with the routines on the portable path.
Routine on_portable_path(const char *name, Routine r)
{
    r.name = name;
    r.batch = [b = r.batch](unsigned threads) {
        const tessivane::isa before = tessivane::set_active_isa(tessivane::isa::portable);
        std::vector<float> out = b(threads);
        tessivane::set_active_isa(before);
        return out;
    };
    return r;
}

const std::vector<Routine> &routines()
{
    constexpr std::size_t V = kVoxels;
    const auto ttest_single = [](float *d1, float *d2, std::vector<float> &out) {
        float t, p;
        ttest(d1, kN1, d2, kN2, &t, &p);
        out.insert(out.end(), {t, float(kN1 + kN2 - 2), t_to_p(t, kN1 + kN2 - 2)});
    };
    const Routine ttest_map = voxelwise(
        "ttest", 3,
        [](float *m, const tb::batch_options &o) {
            tb::ttest(images.va(), images.vb(), m, m + V, m + 2 * V, o);
        },
        ttest_single);
    static const std::vector<Routine> table = {
        ttest_map,
        on_portable_path("ttest portable", ttest_map),
        voxelwise(
            "ttest far apart", 3,
            [](float *m, const tb::batch_options &o) {
                tb::ttest(images.va(), images.vfar(), m, m + V, m + 2 * V, o);
            },
            ttest_single, &images.far),
        voxelwise(
            "tutest", 3,
            [](float *m, const tb::batch_options &o) {
                tb::tutest(images.va(), images.vb(), m, m + V, m + 2 * V, o);
            },
            [](float *d1, float *d2, std::vector<float> &out) {
                float t, p;
                tutest(d1, kN1, d2, kN2, &t, &p);
                const float df = welch_df(d1, kN1, d2, kN2);
                out.insert(out.end(), {t, df, t_to_p_real(t, df)});
            }),
        voxelwise(
            "kstwo", 2,
            [](float *m, const tb::batch_options &o) {
                tb::kstwo(images.va(), images.vb(), m, m + V, o);
            },
            [](float *d1, float *d2, std::vector<float> &out) {
                float d, p;
                kstwo(d1, kN1, d2, kN2, &d, &p);
                out.insert(out.end(), {d, kstwo_prob(d, kN1, kN2)});
            }),
        // The correlations pair each voxel's first 9 samples of a with b.
        voxelwise(
            "pearsn", 2,
            [](float *m, const tb::batch_options &o) {
                tb::pearsn(tb::series_view::columns(images.a.data(), kN2, V), images.vb(), m, m + V,
                           o);
            },
            [](float *d1, float *d2, std::vector<float> &out) {
                float r, p, z, r_prob;
                pearsn(d1, d2, kN2, &r, &p, &z);
                pearsn_prob(d1, d2, kN2, &r_prob, &p, &z);
                out.insert(out.end(), {r, p});
            }),
        voxelwise(
            "spear", 5,
            [](float *m, const tb::batch_options &o) {
                tb::spear(tb::series_view::columns(images.a.data(), kN2, V), images.vb(), m, m + V,
                          m + 2 * V, m + 3 * V, m + 4 * V, o);
            },
            [](float *d1, float *d2, std::vector<float> &out) {
                float v[5] = {kNaN, kNaN, kNaN, kNaN, kNaN};
                spear(d1, d2, kN2, &v[0], &v[1], &v[2], &v[3], &v[4]);
                out.insert(out.end(), v, v + 5);
            }),
        // b's voxels against a's (x per voxel), unweighted.
        voxelwise(
            "fit", 6,
            [](float *m, const tb::batch_options &o) {
                tb::fit(tb::series_view::columns(images.a.data(), kN2, V), images.vb(), nullptr,
                        {m, m + V, m + 2 * V, m + 3 * V, m + 4 * V, m + 5 * V}, o);
            },
            [](float *d1, float *d2, std::vector<float> &out) {
                float v[6];
                fit(d1, d2, kN2, nullptr, 0, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
                out.insert(out.end(), v, v + 6);
            }),
        {"lm_fit fgauss", [](unsigned t) { return batch_lm_fits(nullptr, false, t); },
         [] { return single_lm_fits(nullptr, false); }},
        // The model's AVX2 blocks (and a partial block) against its portable path.
        on_portable_path("lm_fit fgauss 37 points",
                         {"", [](unsigned t) { return batch_lm_fits(nullptr, false, t, 37); },
                          [] { return single_lm_fits(nullptr, false, 37); }}),
        {"lm_fit model+sig", [](unsigned t) { return batch_lm_fits(decay, true, t); },
         [] { return single_lm_fits(decay, true); }},
        {"svdfit shared", [](unsigned t) { return batch_svdfits(false, t); },
         [] { return single_svdfits(false); }},
        {"svdfit per row", [](unsigned t) { return batch_svdfits(true, t); },
         [] { return single_svdfits(true); }},
    };
    return table;
}

class BatchBits : public ::testing::TestWithParam<std::tuple<std::size_t, unsigned>> {};

TEST_P(BatchBits, EveryRowEqualsTheSingleCall)
{
    const Routine &r = routines()[std::get<0>(GetParam())];
    const std::vector<float> batch = r.batch(std::get<1>(GetParam())), single = r.single();
    ASSERT_EQ(batch.size(), single.size());
    for (std::size_t i = 0; i < batch.size(); i++)
        ASSERT_TRUE(same_bits(batch[i], single[i]))
            << r.name << " value " << i << ": batch " << batch[i] << ", single " << single[i];
}

INSTANTIATE_TEST_SUITE_P(RoutineByThreads, BatchBits,
                         ::testing::Combine(::testing::Range<std::size_t>(0, 13),
                                            ::testing::Values(1u, 2u, 7u)),
                         [](const auto &info) {
                             std::string n = routines()[std::get<0>(info.param)].name;
                             for (char &c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n + "_" + std::to_string(std::get<1>(info.param)) + "threads";
                         });

// The special functions element by element, including arguments the library
// refuses (gammq with x < 0, a count that is not whole), which come out NaN
// and are reported, the lowest row first.
TEST(BatchSpecial, ElementsEqualSingleCallsAndRefusalsAreReported)
{
    const std::vector<double> x = {0.5, 2.385, 7.25, 3.0, 1.5}, y = {1.25, -0.5, 3.0, 2.5, 30.0},
                              z = {0.3, 0.7, 0.999, 0.1, 0.5};
    std::vector<double> out(x.size());
    tb::batch_options options;
    options.threads = 2;
    tb::special(tb::special_function::betai, x.data(), y.data(), z.data(), out.data(), x.size(),
                options);
    for (std::size_t i = 0; i < x.size(); i++) {
        tessivane::scoped_error_mode throwing(tessivane::error_mode::throw_exception);
        float expect = kNaN;
        try {
            expect = betai(float(x[i]), float(y[i]), float(z[i]));
        } catch (const tessivane::numerics_error &) {
        }
        EXPECT_TRUE(same_bits(float(out[i]), expect)) << i;
        EXPECT_TRUE(std::isnan(out[i]) || out[i] == double(float(out[i])));
    }
    const tb::batch_report rq = tb::special(tb::special_function::gammq, y.data(), x.data(),
                                            nullptr, out.data(), x.size(), options);
    EXPECT_EQ(rq.rows_refused, 1u);
    EXPECT_EQ(rq.first_refused, 1u);
    EXPECT_EQ(rq.first_message, "Invalid arguments in routine gammq");
    EXPECT_TRUE(std::isnan(out[1]));
    EXPECT_EQ(float(out[3]), gammq(2.5f, 3.0f));
    const tb::batch_report rt = tb::special(tb::special_function::t_to_p, x.data(), y.data(),
                                            nullptr, out.data(), x.size(), options);
    EXPECT_EQ(rt.rows_refused, 3u);  // 1.25, -0.5, 2.5
    EXPECT_EQ(rt.first_message, "batch special: count argument 1.25 is not a whole number >= 0");
    EXPECT_EQ(float(out[4]), t_to_p(1.5f, 30));
}

// The refused Levenberg-Marquardt rows carry the library's message; the
// others are fitted. Row 4 has a zero start amplitude; row 47, unweighted,
// wanders off to a flat model (centre and width past 1e13) whose curvature is
// singular in float.
TEST(BatchLm, ARefusedRowLeavesTheOthersFitted)
{
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(courses.x.data(), kRows, kPoints);
    pb.y = tb::series_view::rows(courses.y.data(), kRows, kPoints);
    pb.a0 = courses.a0.data();
    pb.a0_stride = kMa;
    pb.ma = kMa;
    std::vector<float> params(kRows * kMa);
    std::vector<tb::lm_row_outcome> outcomes(kRows);
    const tb::batch_report report =
        tb::lm_fit_many(pb, {params.data(), nullptr, nullptr, outcomes.data()});
    EXPECT_EQ(report.status, tb::batch_status::completed);
    EXPECT_EQ(report.rows_done, std::size_t(kRows));
    EXPECT_EQ(report.rows_refused, 2u);
    EXPECT_EQ(report.first_refused, 4u);
    EXPECT_EQ(outcomes[4].state, tb::row_state::refused);
    EXPECT_STREQ(tb::outcome_name(outcomes[4]), "refused");
    for (int r = 0; r < kRows; r++) {
        const bool refused = r == 4 || r == 47;
        EXPECT_EQ(outcomes[r].state, refused ? tb::row_state::refused : tb::row_state::fitted) << r;
        if (refused) {
            EXPECT_EQ(outcomes[r].message.rfind("gaussj: Singular Matrix", 0), 0u)
                << outcomes[r].message;
        }
    }
}

// A slow model, so that a batch runs long enough to be stopped.
std::atomic<int> slow_calls{0};
void slow_gauss(float x, float *a, float *y, float *dyda, int na)
{
    slow_calls++;
    std::this_thread::sleep_for(std::chrono::microseconds(20));
    fgauss(x, a, y, dyda, na);
}

// Cancelled from the progress callback (on the calling thread), a batch that
// would take minutes returns at once: the rows already started are fitted,
// the rest are marked not run. Progress values never go back and the last
// call reports the rows done.
TEST(BatchCancel, ProgressCallbackStopsALongBatch)
{
    const int rows = 5000;
    std::vector<float> y(std::size_t(rows) * kPoints);
    for (int r = 0; r < rows; r++)
        std::copy(&courses.y[(r % kRows) * kPoints], &courses.y[(r % kRows) * kPoints] + kPoints,
                  &y[std::size_t(r) * kPoints]);
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(courses.x.data(), rows, kPoints);
    pb.y = tb::series_view::rows(y.data(), rows, kPoints);
    pb.a0 = courses.a0.data();
    pb.ma = kMa;
    pb.model = slow_gauss;
    std::vector<float> params(std::size_t(rows) * kMa);
    std::vector<tb::lm_row_outcome> outcomes(rows);
    tb::cancel_token token;
    tb::batch_options options;
    options.threads = 2;
    options.cancel = &token;
    options.progress_interval = std::chrono::milliseconds(5);
    std::vector<std::size_t> seen;
    const auto caller = std::this_thread::get_id();
    options.progress = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(total, std::size_t(rows));
        seen.push_back(done);
        token.cancel();
    };
    const auto start = std::chrono::steady_clock::now();
    const tb::batch_report report =
        tb::lm_fit_many(pb, {params.data(), nullptr, nullptr, outcomes.data()}, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(report.status, tb::batch_status::cancelled);
    ASSERT_LT(report.rows_done, std::size_t(rows));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), report.rows_done);
    std::size_t fitted = 0;
    for (int r = 0; r < rows; r++) {
        if (outcomes[r].state == tb::row_state::fitted) {
            fitted++;
            continue;
        }
        EXPECT_EQ(outcomes[r].state, tb::row_state::not_run);
        EXPECT_TRUE(std::isnan(params[std::size_t(r) * kMa]));
    }
    EXPECT_EQ(fitted, report.rows_done);

    // A token already set: nothing runs, on the pool or on the calling thread.
    for (unsigned threads : {2u, 1u}) {
        options.threads = threads;
        options.progress = nullptr;
        const tb::batch_report none =
            tb::lm_fit_many(pb, {params.data(), nullptr, nullptr, outcomes.data()}, options);
        EXPECT_EQ(none.rows_done, 0u);
        EXPECT_EQ(none.status, tb::batch_status::cancelled);
        EXPECT_EQ(outcomes[0].state, tb::row_state::not_run);
    }
}

// Shapes that make a whole batch meaningless are refused before any row runs.
TEST(BatchRefusals, WholeBatchArgumentsAreFatal)
{
    const tb::series_view a = images.va(),
                          short_b = tb::series_view::columns(images.b.data(), 1, 10);
    TV_EXPECT_FATAL(tb::ttest(a, short_b, nullptr, nullptr, nullptr),
                    "batch ttest: 300 series against 10, the counts must be equal");
    const tb::series_view one = tb::series_view::columns(images.a.data(), 1, kVoxels);
    TV_EXPECT_FATAL(tb::tutest(one, one, nullptr, nullptr, nullptr),
                    "batch tutest: n1 = 1, n2 = 1, each sample needs two values");
    tb::lm_problem pb;
    pb.y = pb.x = tb::series_view::rows(courses.y.data(), kRows, kPoints);
    pb.a0 = courses.a0.data();
    float p[kMa];
    TV_EXPECT_FATAL(tb::lm_fit_many(pb, {p, nullptr, nullptr, nullptr}),
                    "batch lm_fit: ma = 0, there must be at least one parameter");
}

}  // namespace
