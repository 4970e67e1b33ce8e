// four1, realft and fourn against FFTW single precision (the anchor, planned
// with FFTW_MEASURE and run in place in the same program).
//
// Every benchmark first checks that its result agrees with FFTW, then times.
// Each iteration copies the input into the work array and transforms it (the
// transforms are in place and unnormalised); the anchor does the same, so the
// copy is in both timings. Reported counters:
//   MFLOPS   5 N log2 N / t(us) for N complex points (2.5 N log2 N for N real
//            points, the convention FFTW uses for real data);
//   x_fftw   time of this routine / time of FFTW on the same transform, with
//            FFTW timed in the same benchmark right before.

#include "stat.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<float> random_input(size_t count, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(count);
    for (auto &x : v)
        x = dist(gen);
    return v;
}

// An in-place FFTW transform with its own buffer and the input it is reset to.
struct Anchor {
    fftwf_plan plan = nullptr;
    float *buffer = nullptr;
    size_t floats = 0;
    ~Anchor()
    {
        if (plan)
            fftwf_destroy_plan(plan);
        fftwf_free(buffer);
    }
    void allocate(size_t n)
    {
        floats = n;
        buffer = static_cast<float *>(fftwf_malloc(n * sizeof(float)));
    }
    void run(const float *input, size_t count)
    {
        std::memcpy(buffer, input, count * sizeof(float));
        fftwf_execute(plan);
    }
    // Seconds per transform, from at least 0.1 s of repetitions.
    double seconds_per_run(const float *input, size_t count)
    {
        long reps = 0;
        const auto start = Clock::now();
        std::chrono::duration<double> elapsed{};
        do {
            for (int i = 0; i < 16; ++i)
                run(input, count);
            reps += 16;
            elapsed = Clock::now() - start;
        } while (elapsed.count() < 0.1);
        return elapsed.count() / reps;
    }
};

double relative_l2(const std::vector<std::complex<double>> &a,
                   const std::vector<std::complex<double>> &b)
{
    double num = 0.0, den = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        num += std::norm(a[i] - b[i]);
        den += std::norm(b[i]);
    }
    return std::sqrt(num / den);
}

// Agreement required before timing: far looser than the tests, only to catch
// a benchmark that times the wrong thing.
const double kAgreement = 1e-5;

// Times body() in the benchmark loop; anchor_seconds = 0 for the anchor itself.
template <typename Body>
void time_loop(benchmark::State &state, double flops, double anchor_seconds, Body body)
{
    const auto start = Clock::now();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (state.iterations() == 0)
        return;
    const double seconds = elapsed.count() / static_cast<double>(state.iterations());
    state.counters["MFLOPS"] = flops / (seconds * 1e6);
    if (anchor_seconds > 0.0)
        state.counters["x_fftw"] = seconds / anchor_seconds;
}

void BM_four1(benchmark::State &state)
{
    const unsigned long nn = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_input(2 * nn, 1);
    std::vector<float> work(2 * nn + 1);

    Anchor fftw;
    fftw.allocate(2 * nn);
    fftw.plan = fftwf_plan_dft_1d(
        static_cast<int>(nn), reinterpret_cast<fftwf_complex *>(fftw.buffer),
        reinterpret_cast<fftwf_complex *>(fftw.buffer), FFTW_BACKWARD, FFTW_MEASURE);
    fftw.run(input.data(), 2 * nn);
    std::memcpy(work.data() + 1, input.data(), 2 * nn * sizeof(float));
    four1(work.data(), nn, 1);
    std::vector<std::complex<double>> ours(nn), ref(nn);
    for (unsigned long k = 0; k < nn; ++k) {
        ours[k] = {work[2 * k + 1], work[2 * k + 2]};
        ref[k] = {fftw.buffer[2 * k], fftw.buffer[2 * k + 1]};
    }
    if (relative_l2(ours, ref) > kAgreement) {
        state.SkipWithError("four1 disagrees with FFTW");
        return;
    }
    const double anchor = fftw.seconds_per_run(input.data(), 2 * nn);
    time_loop(state, 5.0 * nn * std::log2(static_cast<double>(nn)), anchor, [&] {
        std::memcpy(work.data() + 1, input.data(), 2 * nn * sizeof(float));
        four1(work.data(), nn, 1);
    });
}

void BM_four1_fftwf(benchmark::State &state)
{
    const unsigned long nn = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_input(2 * nn, 1);
    Anchor fftw;
    fftw.allocate(2 * nn);
    fftw.plan = fftwf_plan_dft_1d(
        static_cast<int>(nn), reinterpret_cast<fftwf_complex *>(fftw.buffer),
        reinterpret_cast<fftwf_complex *>(fftw.buffer), FFTW_BACKWARD, FFTW_MEASURE);
    time_loop(state, 5.0 * nn * std::log2(static_cast<double>(nn)), 0.0,
              [&] { fftw.run(input.data(), 2 * nn); });
}

// realft forward (exponent +) is the conjugate of FFTW's r2c; FFTW works in
// place on n + 2 floats.
void BM_realft(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_input(n, 2);
    std::vector<float> work(n + 1);

    Anchor fftw;
    fftw.allocate(n + 2);
    fftw.plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), fftw.buffer,
                                      reinterpret_cast<fftwf_complex *>(fftw.buffer), FFTW_MEASURE);
    fftw.run(input.data(), n);
    std::memcpy(work.data() + 1, input.data(), n * sizeof(float));
    realft(work.data(), n, 1);
    std::vector<std::complex<double>> ours(n / 2 + 1), ref(n / 2 + 1);
    ours[0] = work[1];
    ours[n / 2] = work[2];
    for (unsigned long k = 1; k < n / 2; ++k)
        ours[k] = {work[2 * k + 1], work[2 * k + 2]};
    for (unsigned long k = 0; k <= n / 2; ++k)
        ref[k] = {fftw.buffer[2 * k], -fftw.buffer[2 * k + 1]};
    if (relative_l2(ours, ref) > kAgreement) {
        state.SkipWithError("realft disagrees with FFTW");
        return;
    }
    const double anchor = fftw.seconds_per_run(input.data(), n);
    time_loop(state, 2.5 * n * std::log2(static_cast<double>(n)), anchor, [&] {
        std::memcpy(work.data() + 1, input.data(), n * sizeof(float));
        realft(work.data(), n, 1);
    });
}

void BM_realft_fftwf(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_input(n, 2);
    Anchor fftw;
    fftw.allocate(n + 2);
    fftw.plan = fftwf_plan_dft_r2c_1d(static_cast<int>(n), fftw.buffer,
                                      reinterpret_cast<fftwf_complex *>(fftw.buffer), FFTW_MEASURE);
    time_loop(state, 2.5 * n * std::log2(static_cast<double>(n)), 0.0,
              [&] { fftw.run(input.data(), n); });
}

// fourn on an n1 x n2 (x n3) complex array; range(2) == 0 means two dimensions.
std::vector<int> dims_of(const benchmark::State &state)
{
    std::vector<int> d = {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
    if (state.range(2) > 0)
        d.push_back(static_cast<int>(state.range(2)));
    return d;
}

fftwf_plan plan_nd(const std::vector<int> &dims, float *buffer)
{
    return fftwf_plan_dft(static_cast<int>(dims.size()), dims.data(),
                          reinterpret_cast<fftwf_complex *>(buffer),
                          reinterpret_cast<fftwf_complex *>(buffer), FFTW_BACKWARD, FFTW_MEASURE);
}

void BM_fourn(benchmark::State &state)
{
    const std::vector<int> dims = dims_of(state);
    std::vector<unsigned long> nn = {0};
    unsigned long total = 1;
    for (int d : dims) {
        nn.push_back(static_cast<unsigned long>(d));
        total *= static_cast<unsigned long>(d);
    }
    const std::vector<float> input = random_input(2 * total, 3);
    std::vector<float> work(2 * total + 1);

    Anchor fftw;
    fftw.allocate(2 * total);
    fftw.plan = plan_nd(dims, fftw.buffer);
    fftw.run(input.data(), 2 * total);
    std::memcpy(work.data() + 1, input.data(), 2 * total * sizeof(float));
    fourn(work.data(), nn.data(), static_cast<int>(dims.size()), 1);
    std::vector<std::complex<double>> ours(total), ref(total);
    for (unsigned long k = 0; k < total; ++k) {
        ours[k] = {work[2 * k + 1], work[2 * k + 2]};
        ref[k] = {fftw.buffer[2 * k], fftw.buffer[2 * k + 1]};
    }
    if (relative_l2(ours, ref) > kAgreement) {
        state.SkipWithError("fourn disagrees with FFTW");
        return;
    }
    const double anchor = fftw.seconds_per_run(input.data(), 2 * total);
    time_loop(state, 5.0 * total * std::log2(static_cast<double>(total)), anchor, [&] {
        std::memcpy(work.data() + 1, input.data(), 2 * total * sizeof(float));
        fourn(work.data(), nn.data(), static_cast<int>(dims.size()), 1);
    });
}

void BM_fourn_fftwf(benchmark::State &state)
{
    const std::vector<int> dims = dims_of(state);
    unsigned long total = 1;
    for (int d : dims)
        total *= static_cast<unsigned long>(d);
    const std::vector<float> input = random_input(2 * total, 3);
    Anchor fftw;
    fftw.allocate(2 * total);
    fftw.plan = plan_nd(dims, fftw.buffer);
    time_loop(state, 5.0 * total * std::log2(static_cast<double>(total)), 0.0,
              [&] { fftw.run(input.data(), 2 * total); });
}

}  // namespace

BENCHMARK(BM_four1)->Arg(1 << 10)->Arg(1 << 13)->Arg(1 << 16);
BENCHMARK(BM_four1_fftwf)->Arg(1 << 10)->Arg(1 << 13)->Arg(1 << 16);
BENCHMARK(BM_realft)->Arg(1 << 10)->Arg(1 << 13)->Arg(1 << 16);
BENCHMARK(BM_realft_fftwf)->Arg(1 << 10)->Arg(1 << 13)->Arg(1 << 16);
BENCHMARK(BM_fourn)->Args({64, 64, 0})->Args({256, 256, 0})->Args({32, 32, 64});
BENCHMARK(BM_fourn_fftwf)->Args({64, 64, 0})->Args({256, 256, 0})->Args({32, 32, 64});

BENCHMARK_MAIN();
