// four1, realft, fourn and rlft3 against FFTW single precision (the anchor, planned
// with FFTW_MEASURE and run in place in the same program).
//
// Every benchmark first checks that its result agrees with FFTW, then times.
// Each iteration copies the input into the work array and transforms it (the
// transforms are in place and unnormalised); the anchor does the same, so the
// copy is in both timings. Reported counters:
//   MFLOPS   5 N log2 N / t(us) for N complex points (2.5 N log2 N for N real
//            points, the convention FFTW uses for real data);
//   x_fftw   time of this routine / time of FFTW on the same transform, with
//            FFTW timed in the same benchmark right before (four1 and realft:
//            the median over rounds that time FFTW and ours back to back, see
//            paired_ratio).

#include "stat.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every array that a timed copy reads or writes starts on a page boundary
// (a one-based array with element 1 there). With source and destination at
// the same offset within a page every copy runs at full speed: a destination
// a few bytes past the source modulo 4 KiB, as two plain vectors of which
// one is used from element 1 easily get, makes memcpy's string move more
// than ten times slower on some CPUs, and the benchmark would time that
// instead of the transform.
const size_t kPage = 4096;

float *page_aligned(size_t floats)
{
    const size_t bytes = (floats * sizeof(float) + kPage - 1) / kPage * kPage;
    return static_cast<float *>(std::aligned_alloc(kPage, bytes ? bytes : kPage));
}

class Floats {
public:
    // `count` floats; element `first` (0 or 1) sits on a page boundary.
    explicit Floats(size_t count, size_t first = 0)
        : storage_(page_aligned(count + kPage / sizeof(float)))
        , origin_(storage_ + kPage / sizeof(float) - first)
        , size_(count)
    {
        std::fill(origin_, origin_ + count, 0.0f);
    }
    Floats(Floats &&other) noexcept
        : storage_(other.storage_)
        , origin_(other.origin_)
        , size_(other.size_)
    {
        other.storage_ = nullptr;
    }
    Floats(const Floats &) = delete;
    Floats &operator=(const Floats &) = delete;
    ~Floats() { std::free(storage_); }
    float *data() { return origin_; }
    const float *data() const { return origin_; }
    size_t size() const { return size_; }
    float &operator[](size_t i) { return origin_[i]; }
    float operator[](size_t i) const { return origin_[i]; }

private:
    float *storage_;
    float *origin_;
    size_t size_;
};

Floats random_input(size_t count, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    Floats v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] = dist(gen);
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
        std::free(buffer);
    }
    void allocate(size_t n)
    {
        floats = n;
        buffer = page_aligned(n);
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

// CPU seconds of this thread per call of body(), from at least `span`
// seconds of calls.
template <typename Body>
double cpu_seconds_per_call(Body body, double span)
{
    const auto cpu_now = [] {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    };
    long calls = 0;
    const double start = cpu_now();
    double elapsed = 0.0;
    do {
        for (int i = 0; i < 8; ++i)
            body();
        calls += 8;
        elapsed = cpu_now() - start;
    } while (elapsed < span);
    return elapsed / static_cast<double>(calls);
}

// ours / anchor as the median over rounds that each time the anchor, ours
// and the anchor again back to back (10 ms each): on a shared machine the
// load changes between rounds far more than within one, so the median of
// the rounds' ratios is steadier than two timings taken apart.
template <typename Ours, typename AnchorBody>
double paired_ratio(Ours ours, AnchorBody anchor)
{
    const int kRounds = 11;
    const double kSpan = 0.01;
    std::vector<double> ratios;
    for (int r = 0; r < kRounds; ++r) {
        const double before = cpu_seconds_per_call(anchor, kSpan);
        const double mine = cpu_seconds_per_call(ours, kSpan);
        const double after = cpu_seconds_per_call(anchor, kSpan);
        ratios.push_back(mine / std::min(before, after));
    }
    std::nth_element(ratios.begin(), ratios.begin() + kRounds / 2, ratios.end());
    return ratios[kRounds / 2];
}

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
    const Floats input = random_input(2 * nn, 1);
    Floats work(2 * nn + 1, 1);

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
    const auto ours_call = [&] {
        std::memcpy(work.data() + 1, input.data(), 2 * nn * sizeof(float));
        four1(work.data(), nn, 1);
    };
    time_loop(state, 5.0 * nn * std::log2(static_cast<double>(nn)), 0.0, ours_call);
    state.counters["x_fftw"] = paired_ratio(ours_call, [&] { fftw.run(input.data(), 2 * nn); });
}

void BM_four1_fftwf(benchmark::State &state)
{
    const unsigned long nn = static_cast<unsigned long>(state.range(0));
    const Floats input = random_input(2 * nn, 1);
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
    const Floats input = random_input(n, 2);
    Floats work(n + 1, 1);

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
    const auto ours_call = [&] {
        std::memcpy(work.data() + 1, input.data(), n * sizeof(float));
        realft(work.data(), n, 1);
    };
    time_loop(state, 2.5 * n * std::log2(static_cast<double>(n)), 0.0, ours_call);
    state.counters["x_fftw"] = paired_ratio(ours_call, [&] { fftw.run(input.data(), n); });
}

void BM_realft_fftwf(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const Floats input = random_input(n, 2);
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
    const Floats input = random_input(2 * total, 3);
    Floats work(2 * total + 1, 1);

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
    const Floats input = random_input(2 * total, 3);
    Anchor fftw;
    fftw.allocate(2 * total);
    fftw.plan = plan_nd(dims, fftw.buffer);
    time_loop(state, 5.0 * total * std::log2(static_cast<double>(total)), 0.0,
              [&] { fftw.run(input.data(), 2 * total); });
}

// rlft3 forward (exponent +) on an n1 x n2 x n3 real tensor; FFTW's r2c works
// in place on n1 x n2 x (n3 + 2) floats.
struct RealTensor {
    RealTensor(unsigned long n1_, unsigned long n2_, unsigned long n3_)
        : n1(n1_)
        , n2(n2_)
        , n3(n3_)
        , block(n1 * n2 * n3 + 1, 1)
        , planes(n1 + 1)
        , rows(n1 * n2)
        , speq_block(n1 * 2 * n2 + 1)
        , speq(n1 + 1)
    {
        for (unsigned long i = 1; i <= n1; ++i) {
            planes[i] = rows.data() + (i - 1) * n2 - 1;
            for (unsigned long j = 1; j <= n2; ++j)
                planes[i][j] = block.data() + ((i - 1) * n2 + (j - 1)) * n3;
            speq[i] = speq_block.data() + (i - 1) * 2 * n2;
        }
    }
    void run(const Floats &input)
    {
        std::memcpy(block.data() + 1, input.data(), input.size() * sizeof(float));
        rlft3(planes.data(), speq.data(), n1, n2, n3, 1);
    }
    unsigned long n1, n2, n3;
    Floats block;
    std::vector<float **> planes;
    std::vector<float *> rows;
    std::vector<float> speq_block;
    std::vector<float *> speq;
};

struct RealAnchor : Anchor {
    RealAnchor(unsigned long n1, unsigned long n2, unsigned long n3)
        : padded(n3 + 2)
        , rows(n1 * n2)
    {
        allocate(rows * padded);
        plan =
            fftwf_plan_dft_r2c_3d(static_cast<int>(n1), static_cast<int>(n2), static_cast<int>(n3),
                                  buffer, reinterpret_cast<fftwf_complex *>(buffer), FFTW_MEASURE);
        width = n3;
    }
    // Copies the rows into the padded layout, as a caller of FFTW would.
    void load(const float *input)
    {
        for (unsigned long r = 0; r < rows; ++r)
            std::memcpy(buffer + r * padded, input + r * width, width * sizeof(float));
    }
    unsigned long padded, rows, width;
};

void BM_rlft3(benchmark::State &state)
{
    const unsigned long n1 = static_cast<unsigned long>(state.range(0));
    const unsigned long n2 = static_cast<unsigned long>(state.range(1));
    const unsigned long n3 = static_cast<unsigned long>(state.range(2));
    const unsigned long total = n1 * n2 * n3;
    const Floats input = random_input(total, 4);
    RealTensor ours(n1, n2, n3);
    RealAnchor fftw(n1, n2, n3);
    fftw.load(input.data());
    fftwf_execute(fftw.plan);
    ours.run(input);
    // Frequency (k1, k2, k3 < n3/2) of ours is the conjugate of FFTW's at (k1, k2, k3).
    std::vector<std::complex<double>> got, want;
    for (unsigned long r = 0; r < n1 * n2; ++r)
        for (unsigned long k = 0; k < n3 / 2; ++k) {
            got.emplace_back(ours.block[1 + r * n3 + 2 * k], ours.block[2 + r * n3 + 2 * k]);
            want.emplace_back(fftw.buffer[r * (n3 + 2) + 2 * k],
                              -fftw.buffer[r * (n3 + 2) + 2 * k + 1]);
        }
    if (relative_l2(got, want) > kAgreement) {
        state.SkipWithError("rlft3 disagrees with FFTW");
        return;
    }
    long reps = 0;
    const auto start = Clock::now();
    std::chrono::duration<double> elapsed{};
    do {
        fftw.load(input.data());
        fftwf_execute(fftw.plan);
        ++reps;
        elapsed = Clock::now() - start;
    } while (elapsed.count() < 0.1);
    const double anchor = elapsed.count() / reps;
    time_loop(state, 2.5 * total * std::log2(static_cast<double>(total)), anchor,
              [&] { ours.run(input); });
}

void BM_rlft3_fftwf(benchmark::State &state)
{
    const unsigned long n1 = static_cast<unsigned long>(state.range(0));
    const unsigned long n2 = static_cast<unsigned long>(state.range(1));
    const unsigned long n3 = static_cast<unsigned long>(state.range(2));
    const unsigned long total = n1 * n2 * n3;
    const Floats input = random_input(total, 4);
    RealAnchor fftw(n1, n2, n3);
    time_loop(state, 2.5 * total * std::log2(static_cast<double>(total)), 0.0, [&] {
        fftw.load(input.data());
        fftwf_execute(fftw.plan);
    });
}

}  // namespace

// Names are <routine>/<impl>/<size...> so that ratio tables pair ours with
// the anchor; fourn's third extent 0 means a 2-D array.
// The one-dimensional transforms at every power of two from 2^4 to 2^20.
BENCHMARK(BM_four1)->Name("four1/ours")->RangeMultiplier(2)->Range(1 << 4, 1 << 20);
BENCHMARK(BM_four1_fftwf)->Name("four1/fftw")->RangeMultiplier(2)->Range(1 << 4, 1 << 20);
BENCHMARK(BM_realft)->Name("realft/ours")->RangeMultiplier(2)->Range(1 << 4, 1 << 20);
BENCHMARK(BM_realft_fftwf)->Name("realft/fftw")->RangeMultiplier(2)->Range(1 << 4, 1 << 20);
BENCHMARK(BM_fourn)
    ->Name("fourn/ours")
    ->Args({32, 32, 32})
    ->Args({128, 128, 128})
    ->Args({256, 256, 0});
BENCHMARK(BM_fourn_fftwf)
    ->Name("fourn/fftw")
    ->Args({32, 32, 32})
    ->Args({128, 128, 128})
    ->Args({256, 256, 0});
BENCHMARK(BM_rlft3)->Name("rlft3/ours")->Args({64, 64, 64});
BENCHMARK(BM_rlft3_fftwf)->Name("rlft3/fftw")->Args({64, 64, 64});

BENCHMARK_MAIN();
