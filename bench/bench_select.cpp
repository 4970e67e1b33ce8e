// select and select_ushort (median of n values) against std::nth_element, the
// anchor, in the same program. Each benchmark first checks that it finds the
// same value as the anchor; each iteration copies an input (both routines
// rearrange it) and selects the median.
//
// Both sides cycle through the same pool of distinct inputs, as many as fit in
// about 256 KiB. Repeating one small input lets the branch predictor learn a
// whole call (a thousand elements take about two thousand branches), which
// flatters whichever loop it learns better and says nothing of a caller who
// selects from new data every time.

#include "stat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <type_traits>
#include <vector>

namespace {

constexpr size_t kPoolBytes = 256 * 1024;

template <typename T>
size_t pool_size(size_t n)
{
    return std::max<size_t>(1, kPoolBytes / (n * sizeof(T)));
}

// pool_size<T>(n) inputs of n values each, back to back.
template <typename T>
std::vector<T> random_inputs(size_t n)
{
    std::mt19937 gen(std::is_same_v<T, float> ? 5 : 6);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::uniform_int_distribution<int> uniform(0, 65535);
    std::vector<T> v(n * pool_size<T>(n));
    for (auto &x : v) {
        if constexpr (std::is_same_v<T, float>)
            x = normal(gen);
        else
            x = static_cast<T>(uniform(gen));
    }
    return v;
}

template <typename T>
T anchor_median(const T *first, size_t n)
{
    std::vector<T> v(first, first + n);
    const size_t k = (n - 1) / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

template <typename T, T (*Select)(unsigned long, unsigned long, T[])>
void BM_select(benchmark::State &state)
{
    const unsigned long n = static_cast<unsigned long>(state.range(0));
    const std::vector<T> inputs = random_inputs<T>(n);
    const size_t pool = pool_size<T>(n);
    std::vector<T> work(n + 1);
    for (size_t p = 0; p < pool; p++) {
        const T *input = inputs.data() + p * n;
        std::copy(input, input + n, work.begin() + 1);
        if (Select((n + 1) / 2, n, work.data()) != anchor_median(input, n)) {
            state.SkipWithError("select disagrees with std::nth_element");
            return;
        }
    }
    size_t p = 0;
    for (auto _ : state) {
        const T *input = inputs.data() + p * n;
        std::copy(input, input + n, work.begin() + 1);
        benchmark::DoNotOptimize(Select((n + 1) / 2, n, work.data()));
        p = p + 1 == pool ? 0 : p + 1;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

template <typename T>
void BM_nth_element(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const std::vector<T> inputs = random_inputs<T>(n);
    const size_t pool = pool_size<T>(n);
    std::vector<T> work(n);
    const size_t k = (n - 1) / 2;
    size_t p = 0;
    for (auto _ : state) {
        const T *input = inputs.data() + p * n;
        std::copy(input, input + n, work.begin());
        std::nth_element(work.begin(), work.begin() + static_cast<long>(k), work.end());
        benchmark::DoNotOptimize(work[k]);
        p = p + 1 == pool ? 0 : p + 1;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(n));
}

}  // namespace

BENCHMARK_TEMPLATE(BM_select, float, select)
    ->Name("select/ours")
    ->Arg(1001)
    ->Arg(100001)
    ->Arg(1000001);
BENCHMARK_TEMPLATE(BM_nth_element, float)->Name("select/std")->Arg(1001)->Arg(100001)->Arg(1000001);
BENCHMARK_TEMPLATE(BM_select, unsigned short, select_ushort)
    ->Name("select_ushort/ours")
    ->Arg(1001)
    ->Arg(100001)
    ->Arg(1000001);
BENCHMARK_TEMPLATE(BM_nth_element, unsigned short)
    ->Name("select_ushort/std")
    ->Arg(1001)
    ->Arg(100001)
    ->Arg(1000001);

BENCHMARK_MAIN();
