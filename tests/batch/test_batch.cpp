// Voxel-wise batches: every row equals the single call bit for bit at 1, 2 and
// 7 threads; a refused row is reported while the others complete; a batch
// stops when cancelled; whole-batch refusals are fatal with their message.

#include "batch.h"
#include "isa.h"
#include "stat.h"
#include "support/fatal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
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
        a_rows = transposed(a, kN1);
        b_rows = transposed(b, kN2);
        wide_a = scaled(a, kN1);
        wide_b = scaled(b, kN2);
    }
    // b's voxels ever further from a's: t from about 0 to the hundreds.
    std::vector<float> far = b;
    // a and b with each voxel's samples in a row ([voxels x samples]).
    std::vector<float> a_rows, b_rows;
    static std::vector<float> transposed(const std::vector<float> &m, std::size_t samples)
    {
        std::vector<float> t(m.size());
        for (std::size_t k = 0; k < samples; k++)
            for (std::size_t v = 0; v < kVoxels; v++)
                t[v * samples + k] = m[k * kVoxels + v];
        return t;
    }
    // a and b with voxel v times 10^(v mod 61 - 30): variances that overflow
    // or underflow in float, and constant voxels at every scale.
    std::vector<float> wide_a, wide_b;
    static std::vector<float> scaled(std::vector<float> d, std::size_t n)
    {
        for (std::size_t k = 0; k < n; k++)
            for (std::size_t v = 0; v < kVoxels; v++)
                d[k * kVoxels + v] *= static_cast<float>(std::pow(10.0, int(v % 61) - 30));
        return d;
    }
    tb::series_view va() const { return tb::series_view::columns(a.data(), kN1, kVoxels); }
    tb::series_view vb() const { return tb::series_view::columns(b.data(), kN2, kVoxels); }
    tb::series_view vfar() const { return tb::series_view::columns(far.data(), kN2, kVoxels); }
    tb::series_view va_rows() const { return tb::series_view::rows(a_rows.data(), kVoxels, kN1); }
    tb::series_view vb_rows() const { return tb::series_view::rows(b_rows.data(), kVoxels, kN2); }
    tb::series_view vwide_a() const
    {
        return tb::series_view::columns(wide_a.data(), kN1, kVoxels);
    }
    tb::series_view vwide_b() const
    {
        return tb::series_view::columns(wide_b.data(), kN2, kVoxels);
    }
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
    std::vector<float> x_per_row = std::vector<float>(std::size_t(kRows) * kPoints);
    Courses()
    {
        for (int i = 0; i < kPoints; i++)
            x[i] = 0.25f * i;
        for (int r = 0; r < kRows; r++)  // row r's points shifted by r / 64
            for (int i = 0; i < kPoints; i++)
                x_per_row[r * kPoints + i] = x[i] + 0.015625f * r;
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

tb::batch_options with_threads(unsigned threads)
{
    tb::batch_options options;
    options.threads = threads;
    return options;
}

// n values from p, `stride` apart, as a 1-based vector.
std::vector<float> one_based(const float *p, std::size_t n, std::size_t stride = 1)
{
    std::vector<float> v(n + 1);
    for (std::size_t k = 0; k < n; k++)
        v[k + 1] = p[k * stride];
    return v;
}

// Row r of a batch's outputs from a single call's 1-based vector and matrix.
void put_row(float *out, int r, const float *v, int n)
{
    std::copy(v + 1, v + 1 + n, out + r * n);
}
void put_row(float *out, int r, float **m, int n)
{
    for (int j = 1; j <= n; j++)
        std::copy(m[j] + 1, m[j] + 1 + n, out + (r * n + j - 1) * n);
}

// Rows of the Gaussian courses against their x, a0 per row when a0_stride
// is kMa, shared when 0.
tb::lm_problem lm_problem_for(tb::series_view y, std::ptrdiff_t a0_stride)
{
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(courses.x.data(), y.count, y.length);
    pb.y = y;
    pb.a0 = courses.a0.data();
    pb.a0_stride = a0_stride;
    pb.ma = kMa;
    return pb;
}

// Levenberg-Marquardt fits of the courses' rows: the batch at `threads`, or
// with threads = 0 the single calls a caller's loop would make (in throw
// mode, a refused row left NaN); x shared or each row's own.
std::vector<float> lm_fits(tessivane::lm_model model, bool with_sig, unsigned threads,
                           int points = kPoints, bool x_per_row = false)
{
    std::vector<float> out(kRows * (kMa + kMa * kMa + 1), threads ? 0.0f : kNaN);
    float *params = out.data(), *covar = params + kRows * kMa, *chisq = covar + kRows * kMa * kMa;
    // The first `points` of each row.
    const tb::series_view sig = {courses.sig.data(), kRows, std::size_t(points), kPoints, 1};
    tb::lm_problem pb = lm_problem_for({courses.y.data(), kRows, sig.length, kPoints, 1}, kMa);
    pb.sig = with_sig ? &sig : nullptr;
    pb.model = model;
    if (x_per_row)
        pb.x = {courses.x_per_row.data(), kRows, sig.length, kPoints, 1};
    if (threads > 0)
        tb::lm_fit_many(pb, {params, covar, chisq, nullptr}, with_threads(threads));
    tessivane::scoped_error_mode throwing(tessivane::error_mode::throw_exception);
    for (int r = 0; threads == 0 && r < kRows; r++) {
        auto x = one_based(x_per_row ? &courses.x_per_row[r * kPoints] : courses.x.data(), points),
             y = one_based(&courses.y[r * kPoints], points),
             a = one_based(&courses.a0[r * kMa], kMa);
        auto s = with_sig ? one_based(&courses.sig[r * kPoints], points)
                          : std::vector<float>(points + 1, 1.0f);
        int ia[kMa + 1] = {0, 1, 1, 1};
        float **cv = matrix(1, kMa, 1, kMa), **alpha = matrix(1, kMa, 1, kMa);
        try {
            tessivane::lm_fit().run(x.data(), y.data(), s.data(), points, a.data(), ia, kMa, cv,
                                    alpha, &chisq[r], model ? model : fgauss);
            put_row(params, r, a.data(), kMa);
            put_row(covar, r, cv, kMa);
        } catch (const tessivane::numerics_error &) {
            chisq[r] = kNaN;
        }
        free_matrix(alpha, 1, kMa, 1, kMa);
        free_matrix(cv, 1, kMa, 1, kMa);
    }
    return out;
}

// svdfit of every row against the cubic basis, with a sig per row or the
// first row's sig shared by all: the batch, or with threads = 0 the single calls.
std::vector<float> svdfits(bool with_sig, unsigned threads)
{
    constexpr int ma = 4;
    std::vector<float> out(kRows * (2 * ma + ma * ma + 1));
    float *a = out.data(), *w = a + kRows * ma, *v = w + kRows * ma, *chisq = v + kRows * ma * ma;
    const tb::series_view sig = with_sig
                                    ? tb::series_view::rows(courses.sig.data(), kRows, kPoints)
                                    : tb::series_view::shared(courses.sig.data(), kRows, kPoints);
    if (threads > 0)
        tb::svdfit_many(tb::series_view::shared(courses.x.data(), kRows, kPoints),
                        tb::series_view::rows(courses.y.data(), kRows, kPoints), &sig, ma, fpoly, a,
                        chisq, w, v, nullptr, with_threads(threads));
    for (int r = 0; threads == 0 && r < kRows; r++) {
        auto x = one_based(courses.x.data(), kPoints),
             y = one_based(&courses.y[r * kPoints], kPoints),
             s = one_based(&courses.sig[with_sig ? r * kPoints : 0], kPoints);
        std::vector<float> ar(ma + 1), wr(ma + 1);
        float **u = matrix(1, kPoints, 1, ma), **vr = matrix(1, ma, 1, ma);
        svdfit(x.data(), y.data(), s.data(), kPoints, ar.data(), ma, u, vr, wr.data(), &chisq[r],
               fpoly);
        put_row(a, r, ar.data(), ma);
        put_row(w, r, wr.data(), ma);
        put_row(v, r, vr, ma);
        free_matrix(vr, 1, ma, 1, ma);
        free_matrix(u, 1, kPoints, 1, ma);
    }
    return out;
}

// One routine's results: its batch at a thread count, or with 0 threads the
// single calls, in the same order.
struct Routine {
    std::string name;
    std::function<std::vector<float>(unsigned threads)> run;
};

// A per-voxel two-sample batch writing `maps` maps (batch(map, options), map(k)
// the k-th), or the single calls on each voxel writing its `maps` values.
template <class Batch, class Single>
Routine voxelwise(const char *name, int maps, Batch batch, Single single,
                  const std::vector<float> *second = &images.b,
                  const std::vector<float> *first = &images.a)
{
    return {name, [=](unsigned threads) {
                std::vector<float> m(maps * kVoxels);
                if (threads > 0)
                    batch([&](int k) { return &m[k * kVoxels]; }, with_threads(threads));
                for (std::size_t v = 0; threads == 0 && v < kVoxels; v++) {
                    auto d1 = one_based(&(*first)[v], kN1, kVoxels),
                         d2 = one_based(&(*second)[v], kN2, kVoxels);
                    float out[6] = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
                    single(d1.data(), d2.data(), out);
                    for (int k = 0; k < maps; k++)
                        m[k * kVoxels + v] = out[k];
                }
                return m;
            }};
}

// The same batch with the routines on another instruction-set path (the
// single calls on the fast path).
Routine on_path(tessivane::isa path, std::string name, Routine r)
{
    return {name, [path, run = r.run](unsigned threads) {
                if (threads == 0)
                    return run(0);
                const tessivane::isa before = tessivane::set_active_isa(path);
                std::vector<float> out = run(threads);
                tessivane::set_active_isa(before);
                return out;
            }};
}

Routine on_portable_path(std::string name, Routine r)
{
    return on_path(tessivane::isa::portable, name, r);
}

// realft (width 1) or four1 (width 2) of `count` series (29: not a multiple
// of the lanes) of `length` samples, as rows or as columns, transformed by the
// batch in place (or into a second array), or one by one by single calls on
// 1-based copies. Series 3 holds an infinity, series 10 signed zeros and a
// subnormal.
Routine fft_many(unsigned width, unsigned long length, bool columns, int isign,
                 std::size_t count = 29, bool apart = false)
{
    const std::string name = std::string(width == 1 ? "realft_" : "four1_") +
                             std::to_string(length) + (columns ? "_columns" : "_rows") +
                             (isign == 1  ? ""
                              : isign < 0 ? "_inverse"
                                          : "_isign" + std::to_string(isign)) +
                             (apart         ? "_" + std::to_string(count) + "_apart"
                              : count != 29 ? "_" + std::to_string(count)
                                            : "");
    return {name, [=](unsigned threads) {
                const std::size_t floats = width * length;
                std::vector<float> data = noise(count * floats, unsigned(length), 9.0f);
                const auto v = columns ? tb::series_view::columns(data.data(), length, count)
                                       : tb::series_view::rows(data.data(), count, length);
                auto at = [&](std::size_t s, std::size_t j) -> float & {
                    return data[width * (s * v.series_stride + j / width * v.sample_stride) +
                                j % width];
                };
                at(3, floats / 2) = std::numeric_limits<float>::infinity();
                at(10, 0) = -0.0f;
                at(10, floats - 1) = 1e-41f;
                if (threads > 0) {
                    const auto o = with_threads(threads);
                    std::vector<float> out(apart ? data.size() + 16 : 0);
                    float *to = data.data();
                    if (apart) {  // on cache lines, as a streamed output wants it
                        void *p = out.data();
                        std::size_t room = out.size() * sizeof(float);
                        to = static_cast<float *>(
                            std::align(64, data.size() * sizeof(float), p, room));
                    }
                    width == 1 ? tb::realft(v, to, isign, o) : tb::four1(v, to, isign, o);
                    return apart ? std::vector<float>(to, to + data.size()) : data;
                }
                for (std::size_t s = 0; threads == 0 && s < count; s++) {
                    std::vector<float> d(floats + 1);
                    for (std::size_t j = 0; j < floats; j++)
                        d[j + 1] = at(s, j);
                    width == 1 ? realft(d.data(), length, isign) : four1(d.data(), length, isign);
                    for (std::size_t j = 0; j < floats; j++)
                        at(s, j) = d[j + 1];
                }
                return data;
            }};
}

// Series of 2 to 8192 floats (past the lanes' limits of 2048 and 4096 floats),
// both layouts, both directions and an isign outside +-1, on the widest path
// the CPU has (16 or 8 lanes); some also on the AVX2 path (8 lanes) and on
// the portable one.
std::vector<Routine> fft_routines()
{
    std::vector<Routine> rows;
    const unsigned long floats[] = {2, 4, 8, 16, 32, 64, 256, 1024, 4096, 8192};
    for (unsigned width : {1u, 2u})
        for (std::size_t i = 0; i < std::size(floats); i++)
            for (bool columns : {false, true}) {
                const int isign = i % 2 == 0 ? 1 : (width == 1 && i % 4 == 3) ? 3 : -1;
                rows.push_back(fft_many(width, floats[i] / width, columns, isign));
                if (floats[i] == 256 || floats[i] == 4096) {
                    const Routine r = rows.back();
                    rows.push_back(on_path(tessivane::isa::avx2, r.name + "_avx2", r));
                    rows.push_back(on_portable_path(r.name + "_portable", r));
                }
            }
    rows.push_back(fft_many(2, 64, true, 2));
    // Columns go through tiles of up to 64 series (8 blocks of 8 lanes, 4 of 16): 300 columns are
    // whole tiles, a tile of fewer blocks and single calls; 4 and 8 blocks per tile at 512 floats.
    for (const auto &[width, length] : {std::pair{1u, 256ul}, std::pair{2u, 64ul}, {1u, 512ul}}) {
        const Routine r = fft_many(width, length, true, width == 2 ? -1 : 1, 300);
        rows.push_back(r);
        rows.push_back(on_path(tessivane::isa::avx2, r.name + "_avx2", r));
    }
    // An output of 32 MiB and more, apart from the input, streams past the caches.
    rows.push_back(fft_many(1, 256, false, 1, 32801, true));
    rows.push_back(on_path(tessivane::isa::avx2, rows.back().name + "_avx2", rows.back()));
    return rows;
}

const std::vector<Routine> &routines()
{
    const auto ttest_single = [](float *d1, float *d2, float *v) {
        float p;
        ttest(d1, kN1, d2, kN2, &v[0], &p);
        v[1] = float(kN1 + kN2 - 2);
        v[2] = t_to_p(v[0], kN1 + kN2 - 2);
    };
    const auto a9 = tb::series_view::columns(images.a.data(), kN2, kVoxels);
    const Routine ttest_map = voxelwise(
        "ttest", 3,
        [](auto m, auto o) { tb::ttest(images.va(), images.vb(), m(0), m(1), m(2), o); },
        ttest_single);
    const Routine ttest_wide = voxelwise(
        "ttest_wide_scales", 3,
        [](auto m, auto o) { tb::ttest(images.vwide_a(), images.vwide_b(), m(0), m(1), m(2), o); },
        ttest_single, &images.wide_b, &images.wide_a);
    const auto wide_a9 = tb::series_view::columns(images.wide_a.data(), kN2, kVoxels);
    static std::vector<Routine> table = {
        ttest_map,
        on_portable_path("ttest_portable", ttest_map),
        ttest_wide,
        on_portable_path("ttest_wide_scales_portable", ttest_wide),
        voxelwise(
            "pearsn_wide_scales", 2,
            [wide_a9](auto m, auto o) { tb::pearsn(wide_a9, images.vwide_b(), m(0), m(1), o); },
            [](float *d1, float *d2, float *v) {
                float r_prob, z;
                pearsn(d1, d2, kN2, &v[0], &v[1], &z);
                pearsn_prob(d1, d2, kN2, &r_prob, &v[1], &z);
            },
            &images.wide_b, &images.wide_a),
        voxelwise(
            "ttest_far_apart", 3,
            [](auto m, auto o) { tb::ttest(images.va(), images.vfar(), m(0), m(1), m(2), o); },
            ttest_single, &images.far),
        // One sample in columns, the other in rows.
        voxelwise(
            "ttest_b_in_rows", 3,
            [](auto m, auto o) { tb::ttest(images.va(), images.vb_rows(), m(0), m(1), m(2), o); },
            ttest_single),
        voxelwise(
            "ttest_a_in_rows", 3,
            [](auto m, auto o) { tb::ttest(images.va_rows(), images.vb(), m(0), m(1), m(2), o); },
            ttest_single),
        voxelwise(
            "tutest", 3,
            [](auto m, auto o) { tb::tutest(images.va(), images.vb(), m(0), m(1), m(2), o); },
            [](float *d1, float *d2, float *v) {
                float p;
                tutest(d1, kN1, d2, kN2, &v[0], &p);
                v[1] = welch_df(d1, kN1, d2, kN2);
                v[2] = t_to_p_real(v[0], v[1]);
            }),
        voxelwise(
            "kstwo", 2, [](auto m, auto o) { tb::kstwo(images.va(), images.vb(), m(0), m(1), o); },
            [](float *d1, float *d2, float *v) {
                kstwo(d1, kN1, d2, kN2, &v[0], &v[1]);
                v[1] = kstwo_prob(v[0], kN1, kN2);
            }),
        // The correlations pair each voxel's first 9 samples of a with b.
        voxelwise(
            "pearsn", 2, [a9](auto m, auto o) { tb::pearsn(a9, images.vb(), m(0), m(1), o); },
            [](float *d1, float *d2, float *v) {
                float r_prob, z;
                pearsn(d1, d2, kN2, &v[0], &v[1], &z);
                pearsn_prob(d1, d2, kN2, &r_prob, &v[1], &z);
            }),
        voxelwise(
            "spear", 5,
            [a9](auto m, auto o) { tb::spear(a9, images.vb(), m(0), m(1), m(2), m(3), m(4), o); },
            [](float *d1, float *d2, float *v) {
                spear(d1, d2, kN2, &v[0], &v[1], &v[2], &v[3], &v[4]);
            }),
        // b's voxels against a's (x per voxel), unweighted.
        voxelwise(
            "fit", 6,
            [a9](auto m, auto o) {
                tb::fit(a9, images.vb(), nullptr, {m(0), m(1), m(2), m(3), m(4), m(5)}, o);
            },
            [](float *d1, float *d2, float *v) {
                fit(d1, d2, kN2, nullptr, 0, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
            }),
        {"lm_fit_fgauss", [](unsigned t) { return lm_fits(nullptr, false, t); }},
        // The model's AVX2 blocks (and a partial block) against its portable path.
        on_portable_path("lm_fit_fgauss_37_points",
                         {"", [](unsigned t) { return lm_fits(nullptr, false, t, 37); }}),
        {"lm_fit_model_sig", [](unsigned t) { return lm_fits(decay, true, t); }},
        {"lm_fit_x_per_row", [](unsigned t) { return lm_fits(nullptr, false, t, kPoints, true); }},
        {"svdfit_shared", [](unsigned t) { return svdfits(false, t); }},
        {"svdfit_per_row", [](unsigned t) { return svdfits(true, t); }},
    };
    static const bool with_fft = [] {
        for (Routine &r : fft_routines())
            table.push_back(std::move(r));
        return true;
    }();
    (void)with_fft;
    return table;
}

class BatchBits : public ::testing::TestWithParam<std::tuple<std::size_t, unsigned>> {};

TEST_P(BatchBits, EveryRowEqualsTheSingleCall)
{
    const Routine &r = routines()[std::get<0>(GetParam())];
    const std::vector<float> batch = r.run(std::get<1>(GetParam())), single = r.run(0);
    ASSERT_EQ(batch.size(), single.size());
    for (std::size_t i = 0; i < batch.size(); i++)
        ASSERT_TRUE(same_bits(batch[i], single[i]))
            << r.name << " value " << i << ": batch " << batch[i] << ", single " << single[i];
}

INSTANTIATE_TEST_SUITE_P(RoutineByThreads, BatchBits,
                         ::testing::Combine(::testing::Range<std::size_t>(0, routines().size()),
                                            ::testing::Values(1u, 2u, 7u)),
                         [](const auto &info) {
                             return routines()[std::get<0>(info.param)].name +
                                    ("_" + std::to_string(std::get<1>(info.param))) + "threads";
                         });

// The special functions element by element, including arguments the library
// refuses (gammq with x < 0, a count that is not whole), which come out NaN
// and are reported, the lowest row first.
TEST(BatchSpecial, ElementsEqualSingleCallsAndRefusalsAreReported)
{
    const std::vector<double> x = {0.5, 2.385, 7.25, 3.0, 1.5}, y = {1.25, -0.5, 3.0, 2.5, 30.0},
                              z = {0.3, 0.7, 0.999, 0.1, 0.5};
    std::vector<double> out(x.size());
    const tb::batch_options options = with_threads(2);
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

// Each row of a Levenberg-Marquardt batch says how it ended, and why when it
// did not converge. Row 9 holds a NaN: refused, NaN parameters, counted in the
// report, the others fitted. Row 4 has a zero start amplitude and row 47,
// unweighted, wanders off to a flat model (centre and width past 1e13): their
// curvature is singular in float; row 46 stops at a width the data cannot
// tell from its other parameters. All three are degenerate, with their last
// parameters and a NaN covariance; the rest converge.
TEST(BatchLm, EveryRowSaysHowItEnded)
{
    std::vector<float> y = courses.y;
    y[9 * kPoints + 2] = kNaN;
    std::vector<float> params(kRows * kMa), covar(kRows * kMa * kMa);
    std::vector<tb::lm_row_outcome> outcomes(kRows);
    const tb::batch_report report =
        tb::lm_fit_many(lm_problem_for(tb::series_view::rows(y.data(), kRows, kPoints), kMa),
                        {params.data(), covar.data(), nullptr, outcomes.data()});
    EXPECT_EQ(report.status, tb::batch_status::completed);
    EXPECT_EQ(report.rows_done, std::size_t(kRows));
    EXPECT_EQ(report.rows_refused, 1u);
    EXPECT_EQ(report.first_refused, 9u);
    EXPECT_EQ(report.first_message, "y is NaN at point 3 of 1..40");
    for (int r = 0; r < kRows; r++) {
        const tb::lm_row_outcome &o = outcomes[r];
        const std::string name = tb::outcome_name(o);
        if (r == 9) {
            EXPECT_EQ(o.state, tb::row_state::refused);
            EXPECT_EQ(name, "refused");
            EXPECT_TRUE(std::isnan(params[r * kMa]) && std::isnan(covar[r * kMa * kMa]));
        } else if (r == 4 || r == 46 || r == 47) {
            EXPECT_EQ(name, "degenerate") << r;
            const char *why = r == 46 ? "degenerate (converged): parameter 3 is a combination"
                                      : "degenerate: the curvature matrix is singular in float";
            EXPECT_EQ(o.message.rfind(why, 0), 0u) << r << ": " << o.message;
            EXPECT_FALSE(std::isnan(params[r * kMa]));
            EXPECT_TRUE(std::isnan(covar[r * kMa * kMa]));
        } else {
            EXPECT_EQ(name, "converged") << r << ": " << o.message;
            EXPECT_EQ(o.message, "");
        }
    }
}

// A slow model, so that a batch runs long enough to be stopped.
void slow_gauss(float x, float *a, float *y, float *dyda, int na)
{
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
    tb::lm_problem pb = lm_problem_for(tb::series_view::shared(courses.y.data(), rows, kPoints), 0);
    pb.model = slow_gauss;
    std::vector<float> params(std::size_t(rows) * kMa);
    std::vector<tb::lm_row_outcome> outcomes(rows);
    tb::cancel_token token;
    tb::batch_options options = with_threads(2);
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
        const tb::row_state state = outcomes[r].state;
        fitted += state == tb::row_state::fitted;
        EXPECT_TRUE(state == tb::row_state::fitted ||
                    (state == tb::row_state::not_run && std::isnan(params[r * kMa])))
            << r;
    }
    EXPECT_EQ(fitted, report.rows_done);

    // A token already set: nothing runs, on the pool or on the calling thread,
    // nor in the voxels a t-test does side by side: every row stays NaN.
    std::vector<float> t(kVoxels);
    for (unsigned threads : {2u, 1u}) {
        options.threads = threads;
        options.progress = nullptr;
        const tb::batch_report none =
            tb::lm_fit_many(pb, {params.data(), nullptr, nullptr, outcomes.data()}, options);
        EXPECT_EQ(none.rows_done, 0u);
        EXPECT_EQ(none.status, tb::batch_status::cancelled);
        for (int r = 0; r < rows; r++)
            ASSERT_EQ(outcomes[r].state, tb::row_state::not_run) << r;
        const tb::batch_report no_t =
            tb::ttest(images.va(), images.vb(), t.data(), nullptr, nullptr, options);
        EXPECT_EQ(no_t.status, tb::batch_status::cancelled);
        EXPECT_EQ(std::count_if(t.begin(), t.end(), [](float v) { return std::isnan(v); }),
                  kVoxels);
    }

    // One worker thread reports progress too, the last call with every row done.
    token.reset();
    seen.clear();
    options.progress = [&](std::size_t done, std::size_t) { seen.push_back(done); };
    tb::ttest(images.va(), images.vb(), t.data(), nullptr, nullptr, options);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), kVoxels);
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
                    "batch tutest: needs at least two values in each sample");
    tb::lm_problem pb;
    pb.y = pb.x = tb::series_view::rows(courses.y.data(), kRows, kPoints);
    pb.a0 = courses.a0.data();
    float p[kMa];
    TV_EXPECT_FATAL(tb::lm_fit_many(pb, {p, nullptr, nullptr, nullptr}),
                    "batch lm_fit: ma = 0, there must be at least one parameter");
    // The one argument a single FFT refuses is the same for every row: the batch refuses it whole.
    std::vector<float> series(29 * 100);
    TV_EXPECT_FATAL(tb::realft(tb::series_view::rows(series.data(), 29, 100), series.data(), 1),
                    "batch realft: n = 100 is not a power of two >= 2");
    TV_EXPECT_FATAL(tb::four1(tb::series_view::columns(series.data(), 3, 29), series.data(), -1),
                    "batch four1: nn = 3 is not a power of two (1, 2, 4, ...)");
}

// Zero rows are an empty batch for the fits too: nothing is read or written, not even the
// output arrays (which an empty container hands over as null).
TEST(BatchRefusals, ZeroRowsGiveEmptyResults)
{
    tb::lm_problem pb = lm_problem_for(tb::series_view::rows(courses.y.data(), 0, kPoints), kMa);
    pb.a0 = nullptr;
    const tb::batch_report lm = tb::lm_fit_many(pb, {nullptr, nullptr, nullptr, nullptr});
    const tb::series_view x = tb::series_view::shared(courses.x.data(), 0, kPoints);
    bool converged = false;
    const tb::batch_report svd =
        tb::svdfit_many(x, tb::series_view::rows(courses.y.data(), 0, kPoints), nullptr, 3, fpoly,
                        nullptr, nullptr, nullptr, nullptr, &converged);
    for (const tb::batch_report &r : {lm, svd}) {
        EXPECT_EQ(r.status, tb::batch_status::completed);
        EXPECT_EQ(r.rows_done, 0u);
    }
    EXPECT_TRUE(converged);
}

// Threads in /proc/self/status.
int threads_now()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    char line[256];
    int n = -1;
    while (status && std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "Threads: %d", &n) == 1)
            break;
    if (status)
        std::fclose(status);
    return n;
}

// A careless thread count (UINT_MAX from a -1) starts no more threads than 4 x the CPUs (and
// than the rows); the results are still those of one thread.
TEST(BatchThreads, ACarelessCountIsCapped)
{
    const std::size_t voxels = 20000;
    const std::vector<float> a = noise(kN1 * voxels, 6, 1.0f), b = noise(kN2 * voxels, 7, 1.0f);
    std::vector<float> t(voxels), t1(voxels);
    tb::batch_options options = with_threads(~0u);
    int most = 0;
    options.progress_interval = std::chrono::milliseconds(1);
    options.progress = [&](std::size_t, std::size_t) { most = std::max(most, threads_now()); };
    const auto va = tb::series_view::columns(a.data(), kN1, voxels),
               vb = tb::series_view::columns(b.data(), kN2, voxels);
    tb::ttest(va, vb, t.data(), nullptr, nullptr, options);
    tb::ttest(va, vb, t1.data(), nullptr, nullptr, with_threads(1));
    EXPECT_LE(most, static_cast<int>(4 * tb::default_threads()) + 1);
    EXPECT_EQ(std::memcmp(t.data(), t1.data(), voxels * sizeof(float)), 0);
    tb::batch_options few = with_threads(~0u);
    few.progress = options.progress;
    most = 0;
    tb::ttest(tb::series_view::columns(a.data(), kN1, 2),
              tb::series_view::columns(b.data(), kN2, 2), t.data(), nullptr, nullptr, few);
    EXPECT_LE(most, 3);
}

// Every stop reason has its name; a row that stopped on small steps says so.
TEST(BatchLm, OutcomeNamesFollowTheStopReasons)
{
    tb::lm_row_outcome row;
    row.state = tb::row_state::fitted;
    const char *names[] = {"iteration_limit", "converged", "stalled", "small_steps"};
    for (int r = 0; r < 4; r++) {
        row.outcome.stop = static_cast<tessivane::lm_outcome::reason>(r);
        EXPECT_STREQ(tb::outcome_name(row), names[r]);
    }
    row.state = tb::row_state::not_run;
    EXPECT_STREQ(tb::outcome_name(row), "not_run");
}

}  // namespace
