// select and select_ushort: the k-th smallest and the partition it leaves,
// exhaustively on tiny arrays, with many equal values, with unsigned 16-bit
// extremes and NaNs (SelectExact), every instruction-set path against the
// portable one (SelectPaths), and the refused k and n (SelectDeathTest).

#include "stat.h"

#include "support/arrays.h"
#include "support/fatal.h"
#include "support/isa_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// The array layer has no 16-bit vectors, so select_ushort's input lives in a
// std::vector, 1..n with a guard cell on each side.
class UshortArray {
public:
    explicit UshortArray(const std::vector<unsigned short> &values)
        : cells_(values.size() + 2, kGuard)
    {
        std::copy(values.begin(), values.end(), cells_.begin() + 1);
    }
    unsigned short *data() { return cells_.data(); }
    unsigned long size() const { return cells_.size() - 2; }
    std::vector<unsigned short> values() const
    {
        return std::vector<unsigned short>(cells_.begin() + 1, cells_.end() - 1);
    }
    bool guards_intact() const { return cells_.front() == kGuard && cells_.back() == kGuard; }

private:
    static constexpr unsigned short kGuard = 0xBEEF;
    std::vector<unsigned short> cells_;
};

template <typename T>
using Guarded = std::conditional_t<std::is_same_v<T, float>, tv_test::Vector, UshortArray>;

// Result, partition around k, same multiset, guards intact.
template <typename T>
::testing::AssertionResult selects_correctly(const std::vector<T> &input, unsigned long k)
{
    Guarded<T> g(input);
    T got;
    if constexpr (std::is_same_v<T, float>)
        got = select(k, g.size(), g.data());
    else
        got = select_ushort(k, g.size(), g.data());
    std::vector<T> sorted = input;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<T> after = g.values();
    if (got != sorted[k - 1])
        return ::testing::AssertionFailure()
               << "k " << k << ": got " << got << ", want " << sorted[k - 1];
    if (after[k - 1] != got)
        return ::testing::AssertionFailure() << "k " << k << ": arr[k] is " << after[k - 1];
    for (unsigned long i = 0; i < after.size(); ++i)
        if ((i < k - 1 && after[i] > got) || (i > k - 1 && after[i] < got))
            return ::testing::AssertionFailure()
                   << "k " << k << ": arr[" << i + 1 << "] = " << after[i]
                   << " on the wrong side of " << got;
    std::vector<T> resorted = after;
    std::sort(resorted.begin(), resorted.end());
    if (resorted != sorted)
        return ::testing::AssertionFailure() << "k " << k << ": the values changed";
    if (!g.guards_intact())
        return ::testing::AssertionFailure() << "k " << k << ": a guard cell was written";
    return ::testing::AssertionSuccess();
}

TEST(SelectExact, SingleElementIsReturnedUntouched)
{
    tv_test::Vector g({2.385f});
    EXPECT_EQ(select(1, 1, g.data()), 2.385f);
    EXPECT_EQ(g.values(), std::vector<float>{2.385f});
    EXPECT_TRUE(g.guards_intact());
}

TEST(SelectExact, TwoElementsEndAscending)
{
    for (unsigned long k : {1UL, 2UL}) {
        tv_test::Vector g({2.385f, -1.5f});
        EXPECT_EQ(select(k, 2, g.data()), k == 1 ? -1.5f : 2.385f);
        EXPECT_EQ(g.values(), (std::vector<float>{-1.5f, 2.385f}));
        EXPECT_TRUE(g.guards_intact());
    }
}

TEST(SelectExact, MinimumMaximumAndMedian)
{
    const std::vector<float> v = {4.5f, -2.385f, 7.25f, 0.125f, 3.0f, -9.5f, 1.75f};
    EXPECT_TRUE(selects_correctly(v, 1));  // -9.5
    EXPECT_TRUE(selects_correctly(v, 7));  // 7.25
    EXPECT_TRUE(selects_correctly(v, 4));  // median 1.75
    tv_test::Vector g(v);
    EXPECT_EQ(select(4, 7, g.data()), 1.75f);
}

// Every array of length 1..7 over three values (heavy ties), every k.
TEST(SelectExact, ExhaustiveTinyArraysWithTies)
{
    const float values[3] = {-1.5f, 2.385f, 2.5f};
    for (unsigned long n = 1; n <= 7; ++n) {
        unsigned long combos = 1;
        for (unsigned long i = 0; i < n; ++i)
            combos *= 3;
        for (unsigned long c = 0; c < combos; ++c) {
            std::vector<float> v(n);
            for (unsigned long i = 0, r = c; i < n; ++i, r /= 3)
                v[i] = values[r % 3];
            for (unsigned long k = 1; k <= n; ++k)
                ASSERT_TRUE(selects_correctly(v, k)) << "n " << n << " combination " << c;
        }
    }
}

TEST(SelectExact, ManyEqualValues)
{
    std::vector<float> same(1001, 2.385f);
    for (unsigned long k : {1UL, 500UL, 1001UL})
        EXPECT_TRUE(selects_correctly(same, k));

    // Mostly equal, with a few smaller and larger values scattered through it.
    std::vector<float> mostly(999, 2.385f);
    for (size_t i = 0; i < mostly.size(); i += 97)
        mostly[i] = (i / 97) % 2 ? -4.0f : 9.5f;
    for (unsigned long k : {1UL, 5UL, 6UL, 500UL, 994UL, 995UL, 999UL})
        EXPECT_TRUE(selects_correctly(mostly, k));
}

// Where equal values end up, bit for bit: +0 and -0 compare equal but keep
// their signs, so the final arrangement shows every exchange of equal values.
// Traced by hand through the partitioning steps:
//  A (k = 1): mid 3 <-> 2; no conditional exchange (all equal); pivot -0; the
//    scans stop on every equal value and exchange 3 <-> 5, then 4 with itself;
//    j = 3, so ir = 2; the last pair (+0, -0) stays, as -0 < +0 is false.
//  B (k = 4): mid 3 <-> 2; arr[1] > arr[6] exchanges +0 and -2.385; pivot -0;
//    the scans exchange 4 <-> 5; j = 4 = k, so ir = 3 and l = 5 together.
TEST(SelectExact, EqualValuesEndWhereThePartitionPutsThem)
{
    const float p = 0.0f, m = -0.0f, x = -2.385f;
    const struct {
        unsigned long k;
        std::vector<float> in, out;
    } cases[] = {
        {1, {p, p, m, m, m, m}, {p, m, m, m, p, m}},
        {4, {p, x, m, m, m, x}, {x, m, x, m, m, p}},
    };
    for (const auto &c : cases) {
        tv_test::Vector g(c.in);
        const float got = select(c.k, g.size(), g.data());
        EXPECT_EQ(std::signbit(got), std::signbit(c.out[c.k - 1])) << "k " << c.k;
        const std::vector<float> after = g.values();
        for (size_t i = 0; i < after.size(); ++i)
            EXPECT_TRUE(after[i] == c.out[i] && std::signbit(after[i]) == std::signbit(c.out[i]))
                << "k " << c.k << ": arr[" << i + 1 << "] = " << after[i] << ", want " << c.out[i];
        EXPECT_TRUE(g.guards_intact());
    }
}

TEST(SelectExact, RandomArraysAgreeWithSorting)
{
    const unsigned seed = 2385;
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> small(-20, 20);
    std::normal_distribution<float> normal(0.0f, 3.0f);
    for (unsigned long n : {3UL, 10UL, 101UL, 1000UL, 20001UL}) {
        std::vector<float> ties(n), spread(n);
        for (unsigned long i = 0; i < n; ++i) {
            ties[i] = 0.25f * small(gen);
            spread[i] = normal(gen);
        }
        for (unsigned long k : {1UL, (n + 1) / 2, n / 3 + 1, n}) {
            EXPECT_TRUE(selects_correctly(ties, k)) << "seed " << seed << " n " << n;
            EXPECT_TRUE(selects_correctly(spread, k)) << "seed " << seed << " n " << n;
        }
    }
    // Sorted and reversed inputs.
    std::vector<float> up(513);
    for (size_t i = 0; i < up.size(); ++i)
        up[i] = 0.5f * static_cast<float>(i);
    std::vector<float> down(up.rbegin(), up.rend());
    for (unsigned long k : {1UL, 2UL, 257UL, 512UL, 513UL}) {
        EXPECT_TRUE(selects_correctly(up, k));
        EXPECT_TRUE(selects_correctly(down, k));
    }
}

TEST(SelectExact, UshortComparesUnsigned)
{
    const std::vector<unsigned short> v = {32768, 65535, 0, 32767, 1, 65534, 40000};
    UshortArray lo(v), hi(v), mid(v);
    EXPECT_EQ(select_ushort(1, 7, lo.data()), 0);
    EXPECT_EQ(select_ushort(7, 7, hi.data()), 65535);
    EXPECT_EQ(select_ushort(4, 7, mid.data()), 32768);  // above 32767: not a signed comparison
    for (unsigned long k = 1; k <= 7; ++k)
        EXPECT_TRUE(selects_correctly(v, k));

    std::mt19937 gen(77);
    std::uniform_int_distribution<int> any(0, 65535);
    std::vector<unsigned short> r(3001);
    for (auto &x : r)
        x = static_cast<unsigned short>(any(gen));
    for (unsigned long k : {1UL, 1501UL, 3001UL})
        EXPECT_TRUE(selects_correctly(r, k)) << "seed 77";
}

// NaNs compare false with everything: the call must still finish, touch only
// arr[1..n] and keep the values (where they end up is not defined).
TEST(SelectExact, NanFinishesInsideTheArray)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> v = {3.0f, nan, -1.0f, 2.385f, nan, 7.5f, nan, 0.25f, -6.0f};
    for (unsigned long k = 1; k <= v.size(); ++k) {
        tv_test::Vector g(v);
        const float got = select(k, g.size(), g.data());
        EXPECT_TRUE(g.guards_intact()) << "k " << k;
        const std::vector<float> after = g.values();
        EXPECT_EQ(std::count_if(after.begin(), after.end(), [](float x) { return std::isnan(x); }),
                  3);
        EXPECT_TRUE(std::isnan(got) || std::count(v.begin(), v.end(), got) == 1) << "k " << k;
    }
}

// Inputs whose arrangement after select shows every exchange: many ties, both
// zeros (equal, yet told apart by their bits), NaNs, runs in order.
template <typename T>
std::vector<T> path_input(int kind, unsigned long n, std::mt19937 &gen)
{
    const float specials[] = {0.0f, -0.0f, 2.385f, -1.5f, std::numeric_limits<float>::quiet_NaN()};
    std::vector<T> v(n);
    for (unsigned long i = 0; i < n; ++i) {
        const unsigned r = gen();
        if constexpr (std::is_same_v<T, float>)
            v[i] = kind == 0   ? std::ldexp(static_cast<float>(r % 65536), -8) - 128.0f
                   : kind == 1 ? specials[r % 4]
                   : kind == 2 ? (r % 16 == 0 ? specials[4] : static_cast<float>(r % 7))
                   : kind == 3 ? static_cast<float>(i) * (i % 2 ? 1.0f : -1.0f)
                               : static_cast<float>(n - i);
        else
            v[i] = static_cast<T>(kind == 0   ? r
                                  : kind == 1 ? r % 3 * 32767u
                                  : kind == 3 ? i
                                              : n - i);
    }
    return v;
}

template <typename T>
std::vector<T> selected_on(tessivane::isa path, const std::vector<T> &input, unsigned long k)
{
    const tessivane::isa previous = tessivane::set_active_isa(path);
    std::vector<T> arr(input.size() + 1);
    std::copy(input.begin(), input.end(), arr.begin() + 1);
    if constexpr (std::is_same_v<T, float>)
        arr[0] = select(k, input.size(), arr.data());
    else
        arr[0] = select_ushort(k, input.size(), arr.data());
    tessivane::set_active_isa(previous);
    return arr;
}

template <typename T>
void expect_paths_select_alike(unsigned long n, std::mt19937 &gen)
{
    for (int kind = 0; kind < 5; kind++) {
        const std::vector<T> input = path_input<T>(kind, n, gen);
        for (unsigned long k : {1UL, n / 3 + 1, (n + 1) / 2, n}) {
            const std::vector<T> want = selected_on(tessivane::isa::portable, input, k);
            for (tessivane::isa path : tv_test::fast_paths())
                ASSERT_EQ(std::memcmp(selected_on(path, input, k).data(), want.data(),
                                      want.size() * sizeof(T)),
                          0)
                    << tessivane::isa_name(path) << ": n " << n << ", k " << k << ", kind " << kind
                    << ", result and arrangement differ from the portable path";
        }
    }
}

TEST(SelectPaths, SameResultAndArrangementAsPortable)
{
    std::mt19937 gen(2385);
    for (unsigned long n = 1; n <= 300; ++n) {
        expect_paths_select_alike<float>(n, gen);
        expect_paths_select_alike<unsigned short>(n, gen);
    }
    for (unsigned long n : {1000UL, 4097UL, 100001UL}) {
        expect_paths_select_alike<float>(n, gen);
        expect_paths_select_alike<unsigned short>(n, gen);
    }
}

TEST(SelectDeathTest, RefusesEmptyArrayAndKOutsideRange)
{
    float f[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    unsigned short u[4] = {1, 2, 3, 4};
    TV_EXPECT_FATAL(select(1, 0, f), "select: n = 0, there is no element to select");
    TV_EXPECT_FATAL(select(0, 3, f), "select: k = 0 is outside 1..n = 1..3");
    TV_EXPECT_FATAL(select(4, 3, f), "select: k = 4 is outside 1..n = 1..3");
    TV_EXPECT_FATAL(select_ushort(0, 0, u), "select_ushort: n = 0, there is no element to select");
    TV_EXPECT_FATAL(select_ushort(0, 3, u), "select_ushort: k = 0 is outside 1..n = 1..3");
    TV_EXPECT_FATAL(select_ushort(9, 3, u), "select_ushort: k = 9 is outside 1..n = 1..3");
}

}  // namespace
