// Voxel-wise batches against a caller's loop of single calls, and on 1 and 2
// threads: Welch's and Student's t over 10^5 voxels of 20 + 20 samples,
// 10^4 Gaussian fits of 100-point time courses, and the forward real FFT of
// 10^5 series of 256 points (rows, and columns), also against FFTW's batched real transform
// (fftwf_plan_many_dft_r2c, FFTW_MEASURE, out of place). Each benchmark
// first checks that its batch gives the loop's bits on the first rows (and
// FFTW's spectrum, to rounding). Times are wall clock (the work runs on the
// pool's threads, not the benchmarking one); at the end the program prints
// the speed-up of 2 threads over 1 and the ratios to the anchors.

#include "batch.h"
#include "stat.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tb = tessivane::batch;

namespace {

constexpr std::size_t kVoxels = 100000, kSamples = 20;
constexpr int kFits = 10000, kPoints = 100, kMa = 3;
constexpr std::size_t kChecked = 500;  // rows compared with the loop before timing

std::vector<float> normal_image(std::size_t n, unsigned seed, float mean)
{
    std::mt19937 gen(seed);
    std::normal_distribution<float> normal(mean, 1.0f);
    std::vector<float> v(n);
    for (float &x : v)
        x = normal(gen);
    return v;
}

// Two groups of 20 images, voxels contiguous: [20 x 10^5] each.
struct Groups {
    std::vector<float> a = normal_image(kSamples * kVoxels, 1, 0.0f);
    std::vector<float> b = normal_image(kSamples * kVoxels, 2, 0.3f);
};
const Groups &groups()
{
    static const Groups g;
    return g;
}

bool same_bits(float x, float y)
{
    return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
}

// The caller's loop: gather each voxel, ttest, t_to_p.
void ttest_loop(std::size_t voxels, float *t, float *p)
{
    const Groups &g = groups();
    std::vector<float> d1(kSamples + 1), d2(kSamples + 1);
    for (std::size_t v = 0; v < voxels; v++) {
        for (std::size_t k = 0; k < kSamples; k++) {
            d1[k + 1] = g.a[k * kVoxels + v];
            d2[k + 1] = g.b[k * kVoxels + v];
        }
        float prob;
        ttest(d1.data(), kSamples, d2.data(), kSamples, &t[v], &prob);
        p[v] = t_to_p(t[v], 2 * kSamples - 2);
    }
}

void ttest_batch(unsigned threads, float *t, float *p)
{
    const Groups &g = groups();
    tb::batch_options options;
    options.threads = threads;
    tb::ttest(tb::series_view::columns(g.a.data(), kSamples, kVoxels),
              tb::series_view::columns(g.b.data(), kSamples, kVoxels), t, nullptr, p, options);
}

void BM_batch_ttest(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    std::vector<float> t(kVoxels), p(kVoxels), t1(kChecked), p1(kChecked);
    ttest_batch(threads, t.data(), p.data());
    ttest_loop(kChecked, t1.data(), p1.data());
    for (std::size_t v = 0; v < kChecked; v++)
        if (!same_bits(t[v], t1[v]) || !same_bits(p[v], p1[v])) {
            state.SkipWithError("batch ttest differs from the loop of single calls");
            return;
        }
    for (auto _ : state) {
        ttest_batch(threads, t.data(), p.data());
        benchmark::DoNotOptimize(t.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kVoxels));
}

void BM_loop_ttest(benchmark::State &state)
{
    groups();  // made before the clock starts
    std::vector<float> t(kVoxels), p(kVoxels);
    for (auto _ : state) {
        ttest_loop(kVoxels, t.data(), p.data());
        benchmark::DoNotOptimize(t.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kVoxels));
}

// 10^4 noisy Gaussian peaks of 100 points, one per row, and a start for all.
struct Peaks {
    std::vector<float> x = std::vector<float>(kPoints);
    std::vector<float> y = normal_image(std::size_t(kFits) * kPoints, 3, 0.0f);
    std::vector<float> a0 = {1.0f, 45.0f, 12.0f};
    Peaks()
    {
        for (int i = 0; i < kPoints; i++)
            x[i] = static_cast<float>(i);
        for (int r = 0; r < kFits; r++)
            for (int i = 0; i < kPoints; i++) {
                const float u = (x[i] - (40.0f + 0.001f * r)) / 10.0f;
                float &yi = y[std::size_t(r) * kPoints + i];
                yi = 2.5f * std::exp(-u * u) + 0.05f * yi;
            }
    }
};
const Peaks &peaks()
{
    static const Peaks p;
    return p;
}

void fit_batch(unsigned threads, std::size_t rows, float *params)
{
    const Peaks &pk = peaks();
    tb::lm_problem pb;
    pb.x = tb::series_view::shared(pk.x.data(), rows, kPoints);
    pb.y = tb::series_view::rows(pk.y.data(), rows, kPoints);
    pb.a0 = pk.a0.data();
    pb.ma = kMa;
    tb::batch_options options;
    options.threads = threads;
    tb::lm_fit_many(pb, {params, nullptr, nullptr, nullptr}, options);
}

// The caller's loop: one lm_fit::run per row, sig = 1.
void fit_loop(std::size_t rows, float *params)
{
    const Peaks &pk = peaks();
    std::vector<float> x(kPoints + 1), y(kPoints + 1), sig(kPoints + 1, 1.0f), a(kMa + 1);
    int ia[kMa + 1] = {0, 1, 1, 1};
    float **covar = matrix(1, kMa, 1, kMa), **alpha = matrix(1, kMa, 1, kMa), chisq;
    std::copy(pk.x.begin(), pk.x.end(), x.begin() + 1);
    for (std::size_t r = 0; r < rows; r++) {
        std::copy(&pk.y[r * kPoints], &pk.y[r * kPoints] + kPoints, y.begin() + 1);
        std::copy(pk.a0.begin(), pk.a0.end(), a.begin() + 1);
        tessivane::lm_fit f;
        f.run(x.data(), y.data(), sig.data(), kPoints, a.data(), ia, kMa, covar, alpha, &chisq,
              fgauss);
        std::copy(a.begin() + 1, a.end(), params + r * kMa);
    }
    free_matrix(alpha, 1, kMa, 1, kMa);
    free_matrix(covar, 1, kMa, 1, kMa);
}

void BM_batch_gauss_fits(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    std::vector<float> params(std::size_t(kFits) * kMa), loop(kChecked * kMa);
    fit_batch(threads, kChecked, params.data());
    fit_loop(kChecked, loop.data());
    for (std::size_t i = 0; i < kChecked * kMa; i++)
        if (!same_bits(params[i], loop[i])) {
            state.SkipWithError("batch lm_fit differs from the loop of single fits");
            return;
        }
    for (auto _ : state) {
        fit_batch(threads, kFits, params.data());
        benchmark::DoNotOptimize(params.data());
    }
    state.SetItemsProcessed(state.iterations() * kFits);
}

void BM_loop_gauss_fits(benchmark::State &state)
{
    peaks();
    std::vector<float> params(std::size_t(kFits) * kMa);
    for (auto _ : state) {
        fit_loop(kFits, params.data());
        benchmark::DoNotOptimize(params.data());
    }
    state.SetItemsProcessed(state.iterations() * kFits);
}

// 10^5 series of 256 real samples, one per row, and room for their spectra:
// ours (256 floats per row, realft's packed layout) and FFTW's (129 complex
// values per row). Page-aligned, so that no store stream aliases the input
// modulo 4 KiB by accident.
constexpr std::size_t kSeries = 100000, kLength = 256;

struct PageFloats {
    explicit PageFloats(std::size_t n)
        : p(static_cast<float *>(
              std::aligned_alloc(4096, (n * sizeof(float) + 4095) / 4096 * 4096)))
    {}
    struct Free {
        void operator()(float *f) const { std::free(f); }
    };
    std::unique_ptr<float, Free> p;
    float *get() const { return p.get(); }
};

struct Spectra {
    PageFloats x{kSeries * kLength}, ours{kSeries * kLength}, fftw{kSeries * (kLength + 2)};
    Spectra()
    {
        const std::vector<float> v = normal_image(kSeries * kLength, 5, 0.0f);
        std::copy(v.begin(), v.end(), x.get());
    }
};
Spectra &spectra()
{
    static Spectra s;
    return s;
}

void realft_batch(unsigned threads)
{
    Spectra &s = spectra();
    tb::batch_options options;
    options.threads = threads;
    tb::realft(tb::series_view::rows(s.x.get(), kSeries, kLength), s.ours.get(), 1, options);
}

// The caller's loop: copy each series into a 1-based vector, realft it, copy
// the result out.
void realft_loop(std::size_t rows, float *out)
{
    const Spectra &s = spectra();
    std::vector<float> d(kLength + 1);
    for (std::size_t r = 0; r < rows; r++) {
        std::copy(s.x.get() + r * kLength, s.x.get() + (r + 1) * kLength, d.begin() + 1);
        realft(d.data(), kLength, 1);
        std::copy(d.begin() + 1, d.end(), out + r * kLength);
    }
}

void BM_batch_realft(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    std::vector<float> loop(kChecked * kLength);
    realft_batch(threads);
    realft_loop(kChecked, loop.data());
    for (std::size_t i = 0; i < kChecked * kLength; i++)
        if (!same_bits(spectra().ours.get()[i], loop[i])) {
            state.SkipWithError("batch realft differs from the loop of single calls");
            return;
        }
    for (auto _ : state) {
        realft_batch(threads);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kSeries));
}

void BM_loop_realft(benchmark::State &state)
{
    Spectra &s = spectra();
    for (auto _ : state) {
        realft_loop(kSeries, s.ours.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kSeries));
}

// FFTW's spectrum of the first series against ours (its sign is the opposite
// one: F_k here is conj of FFTW's), relative to the largest value.
bool agrees_with_fftw(const float *ours, const float *theirs)
{
    double worst = 0.0, largest = 0.0;
    for (std::size_t k = 1; k < kLength / 2; k++) {
        const std::complex<double> a(ours[2 * k], ours[2 * k + 1]);
        const std::complex<double> b(theirs[2 * k], -theirs[2 * k + 1]);
        worst = std::max(worst, std::abs(a - b));
        largest = std::max(largest, std::abs(b));
    }
    worst = std::max({worst, double(std::abs(ours[0] - theirs[0])),
                      double(std::abs(ours[1] - theirs[kLength]))});
    return worst <= 1e-5 * largest;
}

void BM_fftw_realft(benchmark::State &state)
{
    Spectra &s = spectra();
    int n[] = {static_cast<int>(kLength)};
    // FFTW_MEASURE overwrites the arrays it plans on: plan on a scratch
    // input, then execute on the series (same alignment, same distances).
    PageFloats scratch(kSeries * kLength);
    fftwf_plan plan = fftwf_plan_many_dft_r2c(
        1, n, static_cast<int>(kSeries), scratch.get(), nullptr, 1, static_cast<int>(kLength),
        reinterpret_cast<fftwf_complex *>(s.fftw.get()), nullptr, 1, kLength / 2 + 1, FFTW_MEASURE);
    auto run = [&] {
        fftwf_execute_dft_r2c(plan, s.x.get(), reinterpret_cast<fftwf_complex *>(s.fftw.get()));
    };
    run();
    realft_batch(1);
    if (!agrees_with_fftw(s.ours.get(), s.fftw.get())) {
        state.SkipWithError("FFTW's spectrum differs from the batch's");
        fftwf_destroy_plan(plan);
        return;
    }
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kSeries));
}

// The same 10^5 x 256 floats as 256 samples of 10^5 series side by side
// (columns), into ours. Columns 0..kChecked-1 against single calls first.
void BM_batch_realft_columns(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    Spectra &s = spectra();
    tb::batch_options options;
    options.threads = threads;
    const auto columns = tb::series_view::columns(s.x.get(), kLength, kSeries);
    tb::realft(columns, s.ours.get(), 1, options);
    std::vector<float> d(kLength + 1);
    for (std::size_t c = 0; c < kChecked; c++) {
        for (std::size_t k = 0; k < kLength; k++)
            d[k + 1] = s.x.get()[k * kSeries + c];
        realft(d.data(), kLength, 1);
        for (std::size_t k = 0; k < kLength; k++)
            if (!same_bits(s.ours.get()[k * kSeries + c], d[k + 1])) {
                state.SkipWithError("batch realft over columns differs from single calls");
                return;
            }
    }
    for (auto _ : state) {
        tb::realft(columns, s.ours.get(), 1, options);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kSeries));
}

// Anchors of the machine's own scaling from 1 to 2 threads, started per
// iteration as a batch starts its workers: a plain memcpy of the same 100 MB
// (each thread its half), and arithmetic in registers only (each thread half
// of a fixed count of independent multiplies and adds, no memory traffic).
void on_threads(unsigned threads, const std::function<void(unsigned)> &part)
{
    std::vector<std::thread> others;
    for (unsigned t = 1; t < threads; t++)
        others.emplace_back(part, t);
    part(0);
    for (std::thread &t : others)
        t.join();
}

void BM_copy(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    Spectra &s = spectra();
    const std::size_t n = kSeries * kLength / threads;
    for (auto _ : state) {
        on_threads(threads, [&](unsigned t) {
            std::memcpy(s.ours.get() + t * n, s.x.get() + t * n, n * sizeof(float));
        });
        benchmark::ClobberMemory();
    }
}

void BM_compute(benchmark::State &state)
{
    const unsigned threads = static_cast<unsigned>(state.range(0));
    constexpr long kSteps = 20000000;
    for (auto _ : state) {
        on_threads(threads, [&](unsigned) {
            double a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            for (long k = 0; k < kSteps / threads; k++)
                for (double &x : a) {
                    x = x * 1.0000001 + 1e-9;
                    benchmark::DoNotOptimize(x);
                }
            benchmark::DoNotOptimize(a);
        });
    }
}

BENCHMARK(BM_loop_ttest)->Name("batch_ttest/loop")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch_ttest)
    ->Name("batch_ttest/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_loop_gauss_fits)
    ->Name("batch_gauss_fits/loop")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch_gauss_fits)
    ->Name("batch_gauss_fits/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fftw_realft)->Name("batch_realft/fftw")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_loop_realft)->Name("batch_realft/loop")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch_realft)
    ->Name("batch_realft/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_batch_realft_columns)
    ->Name("batch_realft_columns/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_copy)
    ->Name("batch_realft_memcpy/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compute)
    ->Name("batch_realft_compute/threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Keeps the wall time per iteration of every run (the median, when repeated)
// and prints the ratios after the console report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal.
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            std::string name = run.run_name.str();
            const std::string suffix = "/real_time";
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                name.resize(name.size() - suffix.size());
            seconds_[name] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        ratio("batch_ttest", "t-test over 10^5 voxels x 20+20");
        ratio("batch_gauss_fits", "10^4 Gaussian fits of 100 points");
        ratio("batch_realft", "realft of 10^5 series x 256");
        ratio("batch_realft_columns", "realft of 10^5 columns x 256");
        ratio("batch_realft_memcpy", "anchor: memcpy of the same 100 MB");
        ratio("batch_realft_compute", "anchor: arithmetic in registers");
        const auto rows = seconds_.find("batch_realft/threads/1");
        const auto cols = seconds_.find("batch_realft_columns/threads/1");
        if (rows != seconds_.end() && cols != seconds_.end())
            std::printf("realft of 10^5 x 256, 1 thread: columns take %.2fx the time of rows\n",
                        cols->second / rows->second);
        const auto fftw = seconds_.find("batch_realft/fftw");
        const auto one = seconds_.find("batch_realft/threads/1");
        if (fftw != seconds_.end() && one != seconds_.end())
            std::printf("realft of 10^5 series x 256: 1 thread takes %.2fx FFTW's batched r2c\n",
                        one->second / fftw->second);
    }

private:
    void ratio(const std::string &name, const char *what)
    {
        const auto loop = seconds_.find(name + "/loop");
        const auto one = seconds_.find(name + "/threads/1");
        const auto two = seconds_.find(name + "/threads/2");
        if (one == seconds_.end() || two == seconds_.end())
            return;
        std::printf("%s: 2 threads %.2fx faster than 1", what, one->second / two->second);
        if (loop != seconds_.end())
            std::printf("; 1 thread takes %.2fx the loop of single calls",
                        one->second / loop->second);
        std::printf("\n");
    }
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
