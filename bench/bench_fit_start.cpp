// What the automatic start of the built-in Gaussian costs next to the fit it
// starts: 4000 rows of the moderate-noise voxel family (100 points, one peak
// of amplitude 1..5, centre 20..80, width 4..15, noise 0.2). Timed side by
// side in one program: gauss_start over every row, lm_fit::run over every row
// from those starts, and batch::lm_fit_many on one thread with auto_start
// against the same starts given (the same fits, bit for bit, which the
// program checks first). The start's share of a fit is
// fits/gauss_start over fits/run; the batch's is auto over given, less 1.

#include "batch.h"
#include "stat.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace tb = tessivane::batch;

namespace {

constexpr int kRows = 4000, kPoints = 100, kMa = 3;

struct Family {
    std::vector<float> x = std::vector<float>(kPoints);
    std::vector<float> y = std::vector<float>(std::size_t(kRows) * kPoints);
    std::vector<float> starts = std::vector<float>(std::size_t(kRows) * kMa);
    Family()
    {
        std::mt19937 gen(29);
        std::uniform_real_distribution<double> amp(1, 5), centre(20, 80), width(4, 15);
        std::normal_distribution<double> noise(0.0, 0.2);
        for (int i = 0; i < kPoints; i++)
            x[i] = static_cast<float>(i);
        for (int r = 0; r < kRows; r++) {
            const double a = amp(gen), c = centre(gen), w = width(gen);
            for (int i = 0; i < kPoints; i++) {
                const double u = (i - c) / w;
                y[std::size_t(r) * kPoints + i] =
                    static_cast<float>(a * std::exp(-u * u) + noise(gen));
            }
        }
        std::vector<float> x1(kPoints + 1), y1(kPoints + 1), a(kMa + 1);
        std::copy(x.begin(), x.end(), x1.begin() + 1);
        for (int r = 0; r < kRows; r++) {
            std::copy(&y[std::size_t(r) * kPoints], &y[std::size_t(r + 1) * kPoints],
                      y1.begin() + 1);
            gauss_start(x1.data(), y1.data(), kPoints, a.data(), kMa);
            std::copy(a.begin() + 1, a.end(), &starts[std::size_t(r) * kMa]);
        }
    }
};
const Family &family()
{
    static const Family f;
    return f;
}

void starts_of_every_row(float *out)
{
    const Family &f = family();
    std::vector<float> x(kPoints + 1), y(kPoints + 1), a(kMa + 1);
    std::copy(f.x.begin(), f.x.end(), x.begin() + 1);
    for (int r = 0; r < kRows; r++) {
        std::copy(&f.y[std::size_t(r) * kPoints], &f.y[std::size_t(r + 1) * kPoints],
                  y.begin() + 1);
        gauss_start(x.data(), y.data(), kPoints, a.data(), kMa);
        std::copy(a.begin() + 1, a.end(), out + std::size_t(r) * kMa);
    }
}

void fits_of_every_row(float *out)
{
    const Family &f = family();
    std::vector<float> x(kPoints + 1), y(kPoints + 1), sig(kPoints + 1, 0.2f), a(kMa + 1);
    int ia[kMa + 1] = {0, 1, 1, 1};
    float **covar = matrix(1, kMa, 1, kMa), **alpha = matrix(1, kMa, 1, kMa), chisq;
    std::copy(f.x.begin(), f.x.end(), x.begin() + 1);
    for (int r = 0; r < kRows; r++) {
        std::copy(&f.y[std::size_t(r) * kPoints], &f.y[std::size_t(r + 1) * kPoints],
                  y.begin() + 1);
        std::copy(&f.starts[std::size_t(r) * kMa], &f.starts[std::size_t(r + 1) * kMa],
                  a.begin() + 1);
        tessivane::lm_fit fit;
        fit.run(x.data(), y.data(), sig.data(), kPoints, a.data(), ia, kMa, covar, alpha, &chisq,
                fgauss);
        std::copy(a.begin() + 1, a.end(), out + std::size_t(r) * kMa);
    }
    free_matrix(alpha, 1, kMa, 1, kMa);
    free_matrix(covar, 1, kMa, 1, kMa);
}

void batch_of_every_row(bool automatic, float *out)
{
    const Family &f = family();
    std::vector<float> sig(kPoints, 0.2f);
    const tb::series_view s = tb::series_view::shared(sig.data(), kRows, kPoints);
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(f.x.data(), kRows, kPoints);
    pb.y = tb::series_view::rows(f.y.data(), kRows, kPoints);
    pb.sig = &s;
    pb.auto_start = automatic;
    pb.a0 = automatic ? nullptr : f.starts.data();
    pb.a0_stride = kMa;
    pb.ma = kMa;
    tb::batch_options options;
    options.threads = 1;
    tb::lm_fit_many(pb, {out, nullptr, nullptr, nullptr}, options);
}

void BM_gauss_start(benchmark::State &state)
{
    std::vector<float> a(std::size_t(kRows) * kMa);
    starts_of_every_row(a.data());
    if (std::memcmp(a.data(), family().starts.data(), a.size() * sizeof(float)) != 0) {
        state.SkipWithError("gauss_start is not deterministic");
        return;
    }
    for (auto _ : state) {
        starts_of_every_row(a.data());
        benchmark::DoNotOptimize(a.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_fit_from_start(benchmark::State &state)
{
    std::vector<float> a(std::size_t(kRows) * kMa);
    for (auto _ : state) {
        fits_of_every_row(a.data());
        benchmark::DoNotOptimize(a.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_batch(benchmark::State &state)
{
    const bool automatic = state.range(0) != 0;
    std::vector<float> a(std::size_t(kRows) * kMa), given(a.size());
    batch_of_every_row(automatic, a.data());
    batch_of_every_row(false, given.data());
    if (std::memcmp(a.data(), given.data(), a.size() * sizeof(float)) != 0) {
        state.SkipWithError("lm_fit_many with auto_start differs from the same starts given");
        return;
    }
    for (auto _ : state) {
        batch_of_every_row(automatic, a.data());
        benchmark::DoNotOptimize(a.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_gauss_start)->Name("fit_start/gauss_start")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fit_from_start)->Name("fit_start/run")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch)
    ->Name("fit_start/lm_fit_many_given_auto")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_gauss_start)->Name("fit_start/gauss_start")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fit_from_start)->Name("fit_start/run")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch)
    ->Name("fit_start/lm_fit_many_given_auto")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
