// select and select_ushort (median of n values) against std::nth_element, the
// anchor, in the same program. Each benchmark first checks that it finds the
// same value as the anchor; each iteration copies the input (both routines
// rearrange it) and selects the median.

#include "stat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<float> random_floats(size_t n)
{
    std::mt19937 gen(5);
    std::normal_distribution<float> dist(0.0f, 1.0f);
    std::vector<float> v(n);
    for (auto &x : v)
        x = dist(gen);
    return v;
}

std::vector<unsigned short> random_ushorts(size_t n)
{
    std::mt19937 gen(6);
    std::uniform_int_distribution<int> dist(0, 65535);
    std::vector<unsigned short> v(n);
    for (auto &x : v)
        x = static_cast<unsigned short>(dist(gen));
    return v;
}

template <typename T>
T anchor_median(std::vector<T> v)
{
    const size_t k = (v.size() - 1) / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

void BM_select(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<float> input = random_floats(n);
    std::vector<float> work(n + 1);
    std::copy(input.begin(), input.end(), work.begin() + 1);
    if (select((n + 1) / 2, n, work.data()) != anchor_median(input)) {
        state.SkipWithError("select disagrees with std::nth_element");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        benchmark::DoNotOptimize(select((n + 1) / 2, n, work.data()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

void BM_select_ushort(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<unsigned short> input = random_ushorts(n);
    std::vector<unsigned short> work(n + 1);
    std::copy(input.begin(), input.end(), work.begin() + 1);
    if (select_ushort((n + 1) / 2, n, work.data()) != anchor_median(input)) {
        state.SkipWithError("select_ushort disagrees with std::nth_element");
        return;
    }
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin() + 1);
        benchmark::DoNotOptimize(select_ushort((n + 1) / 2, n, work.data()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

template <typename T>
void BM_nth_element(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<T> input = [&] {
        if constexpr (std::is_same_v<T, float>)
            return random_floats(n);
        else
            return random_ushorts(n);
    }();
    std::vector<T> work(n);
    const size_t k = (n - 1) / 2;
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), work.begin());
        std::nth_element(work.begin(), work.begin() + static_cast<long>(k), work.end());
        benchmark::DoNotOptimize(work[k]);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

}  // namespace

BENCHMARK(BM_select)->Name("select/ours")->Arg(1001)->Arg(100001)->Arg(1000001);
BENCHMARK_TEMPLATE(BM_nth_element, float)->Name("select/std")->Arg(1001)->Arg(100001)->Arg(1000001);
BENCHMARK(BM_select_ushort)->Name("select_ushort/ours")->Arg(1001)->Arg(100001)->Arg(1000001);
BENCHMARK_TEMPLATE(BM_nth_element, unsigned short)
    ->Name("select_ushort/std")
    ->Arg(1001)
    ->Arg(100001)
    ->Arg(1000001);

BENCHMARK_MAIN();
