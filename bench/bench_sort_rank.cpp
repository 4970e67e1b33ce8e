// sort, sort2 and hpsort against std::sort, the anchor, in the same program; and, when
// Boost.Math is available, erfcc, gammq and betai against Boost's erfc, gamma_q and ibeta.
// Benchmarks are named <routine>/<impl> (impl "ours" or the anchor's name) so that
// scripts/bench_table.py can pair them. Each of ours first checks its result against the
// anchor, then times. The sorts copy the input back in every iteration (they work in place);
// the copy is part of every timing, anchor included.
//
// Besides random keys, the sorts run on inputs whose order is not unique (a NaN, both signed
// zeros, and for sort2 tied keys): those take the quicksort in every instruction-set path.

#include "stat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
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

// Random floats made distinct: a repeated value is nudged up to the next float above its
// predecessor in sorted order. (The generator's floats lie on a grid of 2^24 points, so a
// million of them repeat some thousands of values.)
std::vector<float> distinct_floats(size_t n, unsigned seed)
{
    std::vector<float> v = random_floats(n, seed);
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; i++)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
    for (size_t r = 1; r < n; r++)
        if (v[order[r]] <= v[order[r - 1]])
            v[order[r]] = std::nextafter(v[order[r - 1]], 2000.0f);
    return v;
}

enum class Keys {
    random,        // distinct
    nan,           // one NaN in the middle
    signed_zeros,  // a -0 and a +0 among random keys
    ties,          // whole numbers plus 1/2 in [-1000, 1000]: each tied with ~n/2000 others
    one_tie,       // distinct but for one pair of equal keys
};

std::vector<float> keys(Keys kind, size_t n)
{
    std::vector<float> v = distinct_floats(n, 11);
    switch (kind) {
    case Keys::random:
        break;
    case Keys::nan:
        v[n / 2] = std::numeric_limits<float>::quiet_NaN();
        break;
    case Keys::signed_zeros:
        v[0] = -0.0f;
        v[n / 3] = 0.0f;
        break;
    case Keys::one_tie:
        v[n - 1] = v[0];
        break;
    case Keys::ties:
        for (auto &x : v)
            x = std::nearbyint(x) + 0.5f;
        break;
    }
    return v;
}

// A strict weak order for the anchor that puts NaNs last (plain < is not one when NaNs occur).
bool less_nan_last(float a, float b)
{
    return !std::isnan(a) && (std::isnan(b) || a < b);
}

std::vector<float> anchor_sorted(std::vector<float> v)
{
    std::sort(v.begin(), v.end(), less_nan_last);
    return v;
}

// Input at indices 1..n of a buffer whose element 0 is unused.
std::vector<float> one_based(const std::vector<float> &v)
{
    std::vector<float> w(v.size() + 1, 0.0f);
    std::copy(v.begin(), v.end(), w.begin() + 1);
    return w;
}

// Sorted order agrees with the anchor's (where a NaN sits is the routine's own business).
bool matches(Keys kind, const std::vector<float> &one_based_result, const std::vector<float> &want)
{
    return kind == Keys::nan || std::equal(want.begin(), want.end(), one_based_result.begin() + 1,
                                           [](float x, float y) { return x == y; });
}

template <void (*Sort)(unsigned long, float[])>
void ours_sort(benchmark::State &state, Keys kind)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = keys(kind, n);
    std::vector<float> work = one_based(input);
    Sort(n, work.data());
    if (!matches(kind, work, anchor_sorted(input))) {
        state.SkipWithError("result disagrees with std::sort");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        Sort(n, work.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void std_sort(benchmark::State &state, Keys kind)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<float> input = keys(kind, n);
    std::vector<float> work = one_based(input);
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        if (kind == Keys::nan)
            std::sort(work.begin() + 1, work.end(), less_nan_last);
        else
            std::sort(work.begin() + 1, work.end());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void ours_sort2(benchmark::State &state, Keys kind)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = keys(kind, n);
    const std::vector<float> companion = random_floats(n, 12);
    std::vector<float> work = one_based(input), other = one_based(companion);
    sort2(n, work.data(), other.data());
    if (!matches(kind, work, anchor_sorted(input))) {
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

// The anchor for sort2: std::sort of (key, companion) pairs ordered by key alone.
void std_sort_pairs(benchmark::State &state, Keys kind)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<float> input = keys(kind, n);
    const std::vector<float> companion = random_floats(n, 12);
    std::vector<std::pair<float, float>> pairs(n), work(n);
    for (size_t i = 0; i < n; i++)
        pairs[i] = {input[i], companion[i]};
    for (auto _ : state) {
        std::copy(pairs.begin(), pairs.end(), work.begin());
        std::sort(work.begin(), work.end(),
                  [](const std::pair<float, float> &p, const std::pair<float, float> &q) {
                      return less_nan_last(p.first, q.first);
                  });
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

// Routine names for the inputs that are not random: "sort-nan" and so on.
std::string routine(const char *base, Keys kind)
{
    switch (kind) {
    case Keys::random:
        return base;
    case Keys::nan:
        return std::string(base) + "-nan";
    case Keys::signed_zeros:
        return std::string(base) + "-signed-zeros";
    case Keys::ties:
        return std::string(base) + "-ties";
    case Keys::one_tie:
        return std::string(base) + "-one-tie";
    }
    return base;
}

void register_sorts()
{
    for (Keys kind : {Keys::random, Keys::nan, Keys::signed_zeros}) {
        auto sizes = [kind](benchmark::internal::Benchmark *b) {
            if (kind == Keys::random)
                b->RangeMultiplier(10)->Range(1000, 1000000);
            else
                b->Arg(1000000);
        };
        sizes(benchmark::RegisterBenchmark((routine("sort", kind) + "/ours").c_str(),
                                           ours_sort<sort>, kind));
        sizes(
            benchmark::RegisterBenchmark((routine("sort", kind) + "/std").c_str(), std_sort, kind));
        sizes(benchmark::RegisterBenchmark((routine("hpsort", kind) + "/ours").c_str(),
                                           ours_sort<hpsort>, kind));
        sizes(benchmark::RegisterBenchmark((routine("hpsort", kind) + "/std").c_str(), std_sort,
                                           kind));
    }
    for (Keys kind : {Keys::random, Keys::ties, Keys::one_tie, Keys::signed_zeros}) {
        auto sizes = [kind](benchmark::internal::Benchmark *b) {
            if (kind == Keys::random)
                b->RangeMultiplier(10)->Range(1000, 1000000);
            else
                b->Arg(1000000);
        };
        sizes(benchmark::RegisterBenchmark((routine("sort2", kind) + "/ours").c_str(), ours_sort2,
                                           kind));
        sizes(benchmark::RegisterBenchmark((routine("sort2", kind) + "/std").c_str(),
                                           std_sort_pairs, kind));
    }
}

}  // namespace

int main(int argc, char **argv)
{
    register_sorts();
#ifdef TV_BENCH_BOOST
    benchmark::RegisterBenchmark("erfcc/ours", BM_erfcc);
    benchmark::RegisterBenchmark("erfcc/boost", BM_boost_erfc);
    benchmark::RegisterBenchmark("gammq/ours", BM_gammq);
    benchmark::RegisterBenchmark("gammq/boost", BM_boost_gamma_q);
    benchmark::RegisterBenchmark("betai/ours", BM_betai);
    benchmark::RegisterBenchmark("betai/boost", BM_boost_ibeta);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
