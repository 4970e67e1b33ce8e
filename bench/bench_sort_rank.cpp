// sort, sort2 and hpsort against std::sort, the anchor, in the same program; and, when
// Boost.Math is available, erfcc, gammq and betai against Boost's erfc, gamma_q and ibeta.
// Each benchmark first checks its result against the anchor, then times. The sorts copy the
// input back in every iteration (they work in place); the copy is part of every timing,
// anchor included.

#include "stat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#if __has_include(<boost/math/special_functions/erf.hpp>)
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#define TV_BENCH_BOOST 1
#endif

namespace {

std::vector<float> random_floats(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
    std::vector<float> v(n);
    for (auto &x : v)
        x = dist(gen);
    return v;
}

std::vector<float> sorted_copy(std::vector<float> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// Input at indices 1..n of a buffer whose element 0 is unused.
std::vector<float> one_based(const std::vector<float> &v)
{
    std::vector<float> w(v.size() + 1, 0.0f);
    std::copy(v.begin(), v.end(), w.begin() + 1);
    return w;
}

bool matches(const std::vector<float> &one_based_result, const std::vector<float> &want)
{
    return std::equal(want.begin(), want.end(), one_based_result.begin() + 1);
}

void BM_sort(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_floats(n, 11);
    std::vector<float> work = one_based(input);
    sort(n, work.data());
    if (!matches(work, sorted_copy(input))) {
        state.SkipWithError("sort disagrees with std::sort");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        sort(n, work.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void BM_sort2(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_floats(n, 11);
    const std::vector<float> companion = random_floats(n, 12);
    std::vector<float> work = one_based(input), other = one_based(companion);
    sort2(n, work.data(), other.data());
    if (!matches(work, sorted_copy(input))) {
        state.SkipWithError("sort2 disagrees with std::sort");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        std::copy(companion.begin(), companion.end(), other.begin() + 1);
        sort2(n, work.data(), other.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void BM_hpsort(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_floats(n, 11);
    std::vector<float> work = one_based(input);
    hpsort(n, work.data());
    if (!matches(work, sorted_copy(input))) {
        state.SkipWithError("hpsort disagrees with std::sort");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        hpsort(n, work.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void BM_std_sort(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<float> input = random_floats(n, 11);
    std::vector<float> work = one_based(input);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        std::sort(work.begin() + 1, work.end());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

#ifdef TV_BENCH_BOOST

// Arguments over the ranges where the library's callers use these functions.
struct SpecialArgs {
    std::vector<float> a, b, x;
};

const SpecialArgs &special_args()
{
    static const SpecialArgs args = [] {
        std::mt19937 gen(13);
        std::uniform_real_distribution<float> ua(0.5f, 30.0f), ux(0.0f, 1.0f);
        SpecialArgs s;
        for (int k = 0; k < 1024; k++) {
            s.a.push_back(ua(gen));
            s.b.push_back(ua(gen));
            s.x.push_back(ux(gen));
        }
        return s;
    }();
    return args;
}

template <typename Mine, typename Anchor>
bool agree(Mine mine, Anchor anchor, double tol)
{
    const SpecialArgs &s = special_args();
    for (size_t k = 0; k < s.a.size(); k++) {
        const double ref = anchor(s.a[k], s.b[k], s.x[k]);
        if (std::fabs(mine(s.a[k], s.b[k], s.x[k]) - ref) > tol * std::max(std::fabs(ref), 1e-6))
            return false;
    }
    return true;
}

template <typename F>
void run_special(benchmark::State &state, F f)
{
    const SpecialArgs &s = special_args();
    for (auto _ : state)
        for (size_t k = 0; k < s.a.size(); k++)
            benchmark::DoNotOptimize(f(s.a[k], s.b[k], s.x[k]));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(s.a.size()));
}

const auto kErfcc = [](float, float, float x) { return erfcc(4.0f * x - 1.0f); };
const auto kErfcBoost = [](float, float, float x) {
    return boost::math::erfc(static_cast<double>(4.0f * x - 1.0f));
};
const auto kGammq = [](float a, float, float x) { return gammq(a, 2.0f * a * x + 0.1f); };
const auto kGammaQBoost = [](float a, float, float x) {
    return boost::math::gamma_q(static_cast<double>(a), static_cast<double>(2.0f * a * x + 0.1f));
};
const auto kBetai = [](float a, float b, float x) { return betai(a, b, x); };
const auto kIbetaBoost = [](float a, float b, float x) {
    return boost::math::ibeta(static_cast<double>(a), static_cast<double>(b),
                              static_cast<double>(x));
};

void BM_erfcc(benchmark::State &state)
{
    if (!agree(kErfcc, kErfcBoost, 1e-6)) {
        state.SkipWithError("erfcc disagrees with boost::math::erfc");
        return;
    }
    run_special(state, kErfcc);
}

void BM_boost_erfc(benchmark::State &state)
{
    run_special(state, kErfcBoost);
}

void BM_gammq(benchmark::State &state)
{
    if (!agree(kGammq, kGammaQBoost, 1e-4)) {
        state.SkipWithError("gammq disagrees with boost::math::gamma_q");
        return;
    }
    run_special(state, kGammq);
}

void BM_boost_gamma_q(benchmark::State &state)
{
    run_special(state, kGammaQBoost);
}

void BM_betai(benchmark::State &state)
{
    if (!agree(kBetai, kIbetaBoost, 1e-4)) {
        state.SkipWithError("betai disagrees with boost::math::ibeta");
        return;
    }
    run_special(state, kBetai);
}

void BM_boost_ibeta(benchmark::State &state)
{
    run_special(state, kIbetaBoost);
}

#endif

}  // namespace

BENCHMARK(BM_sort)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(BM_sort2)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(BM_hpsort)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(BM_std_sort)->RangeMultiplier(10)->Range(1000, 1000000);
#ifdef TV_BENCH_BOOST
BENCHMARK(BM_erfcc);
BENCHMARK(BM_boost_erfc);
BENCHMARK(BM_gammq);
BENCHMARK(BM_boost_gamma_q);
BENCHMARK(BM_betai);
BENCHMARK(BM_boost_ibeta);
#endif

BENCHMARK_MAIN();
