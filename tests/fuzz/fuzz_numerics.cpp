// The numerics with sizes and values inside and around their contracts, one
// family per input (chosen by the first byte), under AddressSanitizer,
// UndefinedBehaviorSanitizer and LeakSanitizer, always in throw mode.
//
// Each computation runs on the portable path and again on every faster path
// this CPU has (set_active_isa), on the same input in arrays at the same
// misalignment and row padding, and every path must give the same outcome:
// the same bits for every number, a NaN wherever the portable path has one
// (isa.h), or a numerics_error with the same message. In half the FFT inputs
// the twiddle cache is released before each fast run, so cold and warm tables
// are both compared. The portable outcome is then checked against invariants
// that do not depend on the exact bits: sorting permutes and orders, selection
// partitions around k, a forward-then-inverse FFT scales back, Gauss-Jordan
// gives A * A^-1 = I and A * X = B, the SVD and Jacobi reconstruct their
// matrix, products agree with double sums, out-parameters a routine does not
// write keep their value, and probabilities lie in [0, 1].
//
// Values include NaNs of either sign, signed zeros, subnormals and infinities.
// About one input in 32 of the sorting and FFT families is large (a radix sort
// of up to 2^17 + 2^12 keys, its sectioned pass; four1 and realft past the
// 2^14-value block of the fast path), its values continued by a generator
// seeded from the input; the seed corpus holds one of each. kLargeValues
// bounds what one input may ask for, so each runs in under a second on all
// paths under the sanitizers.
#include "fft_tables.h"
#include "isa.h"
#include "nrutil.h"
#include "stat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using tessivane::isa;

constexpr unsigned long kLargeValues = (1ul << 17) + (1ul << 12);
constexpr float kUnwritten = 2.385f;  // an out-parameter's value before the call

void check(bool condition)
{
    if (!condition)
        std::abort();
}

float fromBits(std::uint32_t bits)
{
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Values in [-1, 1] in steps of 1/32768: finite, and no accident of scale.
float smallValue(FuzzedDataProvider &in)
{
    return static_cast<float>(in.ConsumeIntegralInRange(-32768, 32768)) / 32768.0f;
}

// Any finite float.
float finiteValue(FuzzedDataProvider &in)
{
    const float x = in.ConsumeFloatingPoint<float>();
    return std::isfinite(x) ? x : 0.0f;
}

// NaNs (either sign, any payload), signed zeros, subnormals, infinities, the
// extremes, or any finite value.
float specialValue(FuzzedDataProvider &in)
{
    const std::uint32_t sign = in.ConsumeBool() ? 0x80000000u : 0u;
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
        return fromBits(sign | 0x7fc00000u | in.ConsumeIntegralInRange<std::uint32_t>(0, 0x3fffff));
    case 1:
        return fromBits(sign);
    case 2:
        return fromBits(sign | in.ConsumeIntegralInRange<std::uint32_t>(1, 0x7fffff));
    case 3:
        return fromBits(sign | 0x7f800000u);
    case 4:
        return fromBits(sign | (in.ConsumeBool() ? 0x7f7fffffu : 0x00800000u));
    default:
        return finiteValue(in);
    }
}

// How an input's values are drawn: small, any finite, a few distinct values
// (ties), or finite values sprinkled with special ones.
enum class Mix { small, finite, ties, special };

float valueOf(FuzzedDataProvider &in, Mix mix)
{
    switch (mix) {
    case Mix::small:
        return smallValue(in);
    case Mix::finite:
        return finiteValue(in);
    case Mix::ties:
        return static_cast<float>(in.ConsumeIntegralInRange(-3, 3));
    default:
        return in.ConsumeIntegralInRange(0, 3) == 0 ? specialValue(in) : finiteValue(in);
    }
}

// Finite floats from a generator, for the part of a large array the input has
// no bytes left for: any finite values, or (narrow) values in [0.5, 1), whose
// common top bits take the radix sort's sectioned last pass. No NaN and, in
// practice, no ±0 pair: such arrays take the radix sorts.
struct Generator {
    std::uint32_t state;
    float next(bool narrow)
    {
        state = state * 1664525u + 1013904223u;
        std::uint32_t bits = state ^ (state >> 15);
        if (narrow)
            bits = 0x3f000000u | (bits & 0x7fffffu);
        else if ((bits & 0x7f800000u) == 0x7f800000u)
            bits &= ~0x40000000u;
        return fromBits(bits);
    }
};

// v[1..n] (v[0] unused): from the input while it lasts, then from a generator.
std::vector<float> values(FuzzedDataProvider &in, unsigned long n, Mix mix)
{
    std::vector<float> v(n + 1, 0.0f);
    Generator g{in.ConsumeIntegral<std::uint32_t>()};
    for (unsigned long i = 1; i <= n; i++)
        v[i] = in.remaining_bytes() > 0 ? valueOf(in, mix) : g.next(mix == Mix::small);
    return v;
}

Mix anyMix(FuzzedDataProvider &in)
{
    return static_cast<Mix>(in.ConsumeIntegralInRange(0, 3));
}

// One input in 32; never one whose bytes have run out.
bool large(FuzzedDataProvider &in)
{
    return in.ConsumeIntegralInRange(0, 31) == 31;
}

// Where arrays lie: their first element `shift` floats past a 32-byte
// boundary, matrix rows `pad` floats longer than their columns.
struct Layout {
    unsigned shift = 0, pad = 0;
};

Layout anyLayout(FuzzedDataProvider &in)
{
    return Layout{in.ConsumeIntegralInRange(0u, 7u), in.ConsumeIntegralInRange(0u, 9u)};
}

// A vector v[lo..lo+n-1] at the layout's misalignment, filled from `from`
// (from[lo..]); lo is 0 or 1.
class Floats {
public:
    Floats(const std::vector<float> &from, unsigned long n, int lo, Layout layout)
        : storage_(n + 24, 0.0f)
    {
        first_ = aligned(storage_.data() + 8) + layout.shift;
        std::copy(from.begin() + lo, from.begin() + lo + static_cast<long>(n), first_);
        n_ = n;
        lo_ = lo;
    }
    float *get() { return first_ - lo_; }
    void appendTo(std::vector<float> &out) const { out.insert(out.end(), first_, first_ + n_); }
    static float *aligned(float *p)
    {
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        return p + ((32 - at % 32) % 32) / sizeof(float);
    }

private:
    std::vector<float> storage_;
    float *first_;
    unsigned long n_;
    int lo_;
};

// A row-pointer matrix m[lo..lo+rows-1][lo..lo+cols-1] at the layout's
// misalignment and row padding, filled row by row from `from` (from[1..]).
class Matrix {
public:
    Matrix(const std::vector<float> &from, int rows, int cols, int lo, Layout layout)
        : rows_(rows)
        , cols_(cols)
        , stride_(cols + static_cast<int>(layout.pad))
        , storage_(static_cast<std::size_t>(rows * stride_) + 24, 0.0f)
        , pointers_(static_cast<std::size_t>(rows + 1))
    {
        float *first = Floats::aligned(storage_.data() + 8) + layout.shift;
        for (int i = 0; i < rows; i++) {
            pointers_[static_cast<std::size_t>(i + lo)] = first + i * stride_ - lo;
            std::copy(from.begin() + 1 + i * cols, from.begin() + 1 + (i + 1) * cols,
                      first + i * stride_);
        }
        m_ = pointers_.data();
        lo_ = lo;
    }
    float **get() { return m_; }
    float at(int i, int j) const { return m_[i + lo_][j + lo_]; }  // 0-based
    void appendTo(std::vector<float> &out) const
    {
        for (int i = 0; i < rows_; i++)
            for (int j = 0; j < cols_; j++)
                out.push_back(at(i, j));
    }

private:
    int rows_, cols_, stride_;
    std::vector<float> storage_;
    std::vector<float *> pointers_;
    float **m_;
    int lo_;
};

// ---- Comparing the paths ----

struct Outcome {
    std::vector<float> values;
    std::string error;  // the numerics_error message, empty when none was thrown
};

std::vector<isa> fastPaths()
{
    std::vector<isa> paths;
    const isa before = tessivane::active_isa();
    for (isa p : {isa::avx2, isa::avx512}) {
        tessivane::set_active_isa(p);
        if (tessivane::active_isa() != isa::portable &&
            (paths.empty() || paths.back() != tessivane::active_isa()))
            paths.push_back(tessivane::active_isa());
    }
    tessivane::set_active_isa(before);
    return paths;
}

void checkSameOutcome(const Outcome &want, const Outcome &got)
{
    check(want.error == got.error);
    if (!want.error.empty())
        return;  // the caller's arrays hold unspecified floats after a throw
    check(want.values.size() == got.values.size());
    for (std::size_t k = 0; k < want.values.size(); k++) {
        const float a = want.values[k], b = got.values[k];
        check(std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b));
    }
}

// Runs compute(values) on every path in throw mode and returns the portable
// outcome once every fast path has matched it.
template <typename Compute>
Outcome onEveryPath(Compute compute, bool cold_tables = false)
{
    static const std::vector<isa> fast = fastPaths();
    const tessivane::scoped_error_mode guard(tessivane::error_mode::throw_exception);
    const isa before = tessivane::active_isa();
    auto run = [&](isa path) {
        tessivane::set_active_isa(path);
        Outcome o;
        try {
            compute(o.values);
        } catch (const tessivane::numerics_error &e) {
            o.error = e.what();
        }
        return o;
    };
    const Outcome want = run(isa::portable);
    for (isa path : fast) {
        if (cold_tables)
            tessivane::release_fft_tables();
        checkSameOutcome(want, run(path));
    }
    tessivane::set_active_isa(before);
    check(tessivane::fft_table_bytes() <= (64ul << 20));
    return want;
}

// ---- Families ----

bool sameBitsMultiset(std::vector<float> a, std::vector<float> b)
{
    auto bits = [](std::vector<float> &v) {
        std::vector<std::uint32_t> out(v.size());
        for (std::size_t i = 0; i < v.size(); i++)
            std::memcpy(&out[i], &v[i], sizeof(float));
        std::sort(out.begin(), out.end());
        return out;
    };
    return bits(a) == bits(b);
}

void sorting(FuzzedDataProvider &in)
{
    const unsigned long n = large(in) ? in.ConsumeIntegralInRange(1ul << 16, kLargeValues)
                                      : in.ConsumeIntegralInRange<unsigned long>(0, 3000);
    const int routine = in.ConsumeIntegralInRange(0, 2);
    const Layout layout = anyLayout(in);
    const std::vector<float> keys = values(in, n, anyMix(in));
    const Outcome sorted = onEveryPath([&](std::vector<float> &out) {
        Floats arr(keys, n, 1, layout);
        std::vector<float> positions(n + 1);
        for (unsigned long i = 1; i <= n; i++)
            positions[i] = static_cast<float>(i);
        Floats brr(positions, n, 1, layout);
        if (routine == 0)
            sort(n, arr.get());
        else if (routine == 1)
            hpsort(n, arr.get());
        else
            sort2(n, arr.get(), brr.get());
        arr.appendTo(out);
        brr.appendTo(out);
    });
    check(sorted.error.empty());
    const std::vector<float> got(sorted.values.begin(), sorted.values.begin() + n);
    check(sameBitsMultiset(got, std::vector<float>(keys.begin() + 1, keys.end())));
    // Each companion names the position its key came from.
    for (unsigned long i = 0; i < n && routine == 2; i++) {
        const float key = keys[static_cast<unsigned long>(sorted.values[n + i])];
        check(std::memcmp(&key, &got[i], sizeof key) == 0);
    }
    if (!std::none_of(got.begin(), got.end(), [](float x) { return x != x; }))
        return;  // NaN keys go anywhere, as long as every path puts them in the same place
    for (unsigned long i = 1; i < n; i++)
        check(!(got[i] < got[i - 1]));
    if (n > 0 && n <= 3000) {
        std::vector<float> ranks(got);
        ranks.insert(ranks.begin(), 0.0f);
        const Outcome ranked = onEveryPath([&](std::vector<float> &out) {
            Floats w(ranks, n, 1, layout);
            float s = kUnwritten;
            crank(n, w.get(), &s);
            w.appendTo(out);
            out.push_back(s);
        });
        for (unsigned long i = 0; i < n; i++)
            check(ranked.values[i] >= 1.0f && ranked.values[i] <= static_cast<float>(n));
    }
}

void selection(FuzzedDataProvider &in)
{
    const unsigned long n = in.ConsumeIntegralInRange<unsigned long>(1, 3000);
    const unsigned long k = in.ConsumeIntegralInRange<unsigned long>(1, n);
    const Layout layout = anyLayout(in);
    if (in.ConsumeBool()) {
        const std::vector<float> arr = values(in, n, anyMix(in));
        const Outcome o = onEveryPath([&](std::vector<float> &out) {
            Floats a(arr, n, 1, layout);
            out.push_back(select(k, n, a.get()));
            a.appendTo(out);
        });
        if (std::any_of(arr.begin() + 1, arr.end(), [](float x) { return x != x; }))
            return;  // a NaN makes no order
        std::vector<float> sorted(arr.begin() + 1, arr.end());
        std::sort(sorted.begin(), sorted.end());
        const float kth = o.values[0];
        check(kth == sorted[k - 1] && o.values[k] == kth);
        for (unsigned long i = 1; i <= n; i++)
            check(i < k ? o.values[i] <= kth : o.values[i] >= kth);
    } else {
        std::vector<unsigned short> arr(n + 1);
        for (unsigned long i = 1; i <= n; i++)
            arr[i] = in.ConsumeIntegral<unsigned short>();
        const Outcome o = onEveryPath([&](std::vector<float> &out) {
            std::vector<unsigned short> a(arr.begin(), arr.end());
            out.push_back(select_ushort(k, n, a.data()));
            out.insert(out.end(), a.begin() + 1, a.end());
        });
        std::vector<unsigned short> sorted(arr.begin() + 1, arr.end());
        std::sort(sorted.begin(), sorted.end());
        check(o.values[0] == sorted[k - 1] && o.values[k] == o.values[0]);
    }
}

// |back / scale - original| within a few ulps per butterfly stage.
void checkScaledBack(const std::vector<float> &original, const float *back, unsigned long count,
                     float scale, unsigned long points)
{
    const float tolerance = 1e-6f * static_cast<float>(std::log2(points) + 1) * scale;
    for (unsigned long i = 1; i <= count; i++)
        check(std::fabs(back[i - 1] - scale * original[i]) <= tolerance * 4.0f);
}

// A power of two 2^0..2^max, or 2^12..2^large_max for a large input, or now
// and then a length that is no power of two (refused).
unsigned long fftLength(FuzzedDataProvider &in, int max, int large_max)
{
    if (in.ConsumeIntegralInRange(0, 63) == 0)
        return in.ConsumeIntegralInRange<unsigned long>(3, 40) | 3ul;
    return 1ul << (large(in) ? in.ConsumeIntegralInRange(12, large_max)
                             : in.ConsumeIntegralInRange(0, max));
}

// Forward then inverse on every path; the portable round trip must scale back.
template <typename Transform>
void roundTrip(FuzzedDataProvider &in, unsigned long count, float scale, unsigned long points,
               Transform transform)
{
    const Layout layout = anyLayout(in);
    const bool cold = in.ConsumeBool();
    const Mix mix = in.ConsumeIntegralInRange(0, 7) ? Mix::small : Mix::special;
    const std::vector<float> data = values(in, count, mix);
    const Outcome o = onEveryPath(
        [&](std::vector<float> &out) {
            Floats d(data, count, 1, layout);
            transform(d.get(), 1);
            d.appendTo(out);
            transform(d.get(), -1);
            d.appendTo(out);
        },
        cold);
    if (o.error.empty() && mix == Mix::small)
        checkScaledBack(data, o.values.data() + count, count, scale, points);
}

void fourier(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        const unsigned long nn = fftLength(in, 11, 16);
        const int isign = in.ConsumeBool() ? 1 : -1;
        roundTrip(in, 2 * nn, static_cast<float>(nn), nn,
                  [&](float *d, int s) { four1(d, nn, s * isign); });
        break;
    }
    case 1: {
        const unsigned long n = 2 * fftLength(in, 11, 16);
        roundTrip(in, n, static_cast<float>(n / 2), n, [&](float *d, int s) { realft(d, n, s); });
        break;
    }
    case 2: {
        const int ndim = in.ConsumeIntegralInRange(1, 3);
        unsigned long nn[4] = {0, 1, 1, 1};
        unsigned long total = 1;
        for (int d = 1; d <= ndim; d++) {
            nn[d] = 1ul << in.ConsumeIntegralInRange(0, 5);
            total *= nn[d];
        }
        roundTrip(in, 2 * total, static_cast<float>(total), total,
                  [&](float *d, int s) { fourn(d, nn, ndim, s); });
        break;
    }
    default: {
        const unsigned long nn1 = 1ul << in.ConsumeIntegralInRange(0, 3);
        const unsigned long nn2 = 1ul << in.ConsumeIntegralInRange(0, 3);
        const unsigned long nn3 = 2ul << in.ConsumeIntegralInRange(0, 4);
        const unsigned long total = nn1 * nn2 * nn3;
        const std::vector<float> original = values(in, total, Mix::small);
        const Outcome o = onEveryPath(
            [&](std::vector<float> &out) {
                float ***data = f3tensor(1, nn1, 1, nn2, 1, nn3);
                float **speq = matrix(1, nn1, 1, 2 * nn2);
                std::copy(original.begin() + 1, original.end(), &data[1][1][1]);
                rlft3(data, speq, nn1, nn2, nn3, 1);
                out.insert(out.end(), &data[1][1][1], &data[1][1][1] + total);
                out.insert(out.end(), &speq[1][1], &speq[1][1] + 2 * nn1 * nn2);
                rlft3(data, speq, nn1, nn2, nn3, -1);
                out.insert(out.end(), &data[1][1][1], &data[1][1][1] + total);
                free_matrix(speq, 1, nn1, 1, 2 * nn2);
                free_f3tensor(data, 1, nn1, 1, nn2, 1, nn3);
            },
            in.ConsumeBool());
        check(o.error.empty());
        checkScaledBack(original, o.values.data() + total + 2 * nn1 * nn2, total,
                        static_cast<float>(total / 2), total);
        break;
    }
    }
}

// An n x n matrix (row-major in [1..]): strictly diagonally dominant, far from
// singular, or (well = false) any values, singular ones and NaNs included.
std::vector<float> squareMatrix(FuzzedDataProvider &in, int n, bool well)
{
    const Mix mix = well ? Mix::small : anyMix(in);
    std::vector<float> a = values(in, static_cast<unsigned long>(n * n), mix);
    for (int i = 0; well && i < n; i++) {
        float &d = a[static_cast<std::size_t>(1 + i * n + i)];
        d += d < 0.0f ? -static_cast<float>(n) : static_cast<float>(n);
    }
    return a;
}

// |sum_k x[i][k] y[k][j] - want(i, j)| <= tolerance, 0-based.
template <typename X, typename Y, typename Want>
void checkProduct(int n, int s, int m, X x, Y y, Want want, double tolerance)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++) {
            double sum = 0.0;
            for (int k = 0; k < s; k++)
                sum += static_cast<double>(x(i, k)) * y(k, j);
            check(std::fabs(sum - want(i, j)) <= tolerance);
        }
}

void gaussJordan(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(1, in.ConsumeIntegralInRange(0, 7) ? 16 : 48);
    const int m = in.ConsumeIntegralInRange(0, 3);
    const bool well = in.ConsumeIntegralInRange(0, 3) != 0;
    const Layout layout = anyLayout(in);
    const std::vector<float> a = squareMatrix(in, n, well);
    const std::vector<float> b = values(in, static_cast<unsigned long>(n * m), Mix::small);
    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        Matrix am(a, n, n, 1, layout), bm(b, n, m, 1, layout);
        gaussj(am.get(), n, bm.get(), m);
        am.appendTo(out);
        bm.appendTo(out);
    });
    if (!well)
        return;
    check(o.error.empty());
    auto at = [](const std::vector<float> &v, int cols, int offset) {
        return [&v, cols, offset](int i, int j) {
            return v[static_cast<std::size_t>(offset + i * cols + j)];
        };
    };
    checkProduct(
        n, n, n, at(a, n, 1), at(o.values, n, 0), [](int i, int j) { return i == j ? 1.0 : 0.0; },
        1e-4);
    checkProduct(n, n, m, at(a, n, 1), at(o.values, m, n * n), at(b, m, 1), 1e-4);

    const Outcome inverse = onEveryPath([&](std::vector<float> &out) {
        Matrix am(a, n, n, 0, layout), inv(a, n, n, 0, layout);
        check(getInverseMatrixUsingSVD(am.get(), inv.get(), n));
        inv.appendTo(out);
    });
    checkProduct(
        n, n, n, at(a, n, 1), at(inverse.values, n, 0),
        [](int i, int j) { return i == j ? 1.0 : 0.0; }, 1e-3);
}

void singularValues(FuzzedDataProvider &in)
{
    const int rows = in.ConsumeIntegralInRange(1, 24);
    const int cols = in.ConsumeIntegralInRange(1, 24);
    const bool well = in.ConsumeIntegralInRange(0, 3) != 0;
    const Layout layout = anyLayout(in);
    // Full rank and well conditioned, or any values: in single precision a
    // rank-deficient matrix can leave subnormal residues whose Householder
    // steps divide 0 by 0, which is the method's and only compared.
    std::vector<float> a =
        values(in, static_cast<unsigned long>(rows * cols), well ? Mix::small : anyMix(in));
    for (int i = 0; well && i < std::min(rows, cols); i++)
        a[static_cast<std::size_t>(1 + i * cols + i)] += static_cast<float>(std::max(rows, cols));
    const std::vector<float> zeros(static_cast<std::size_t>(cols * cols + 1), 0.0f);
    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        Matrix u(a, rows, cols, 1, layout), v(zeros, cols, cols, 1, layout);
        Floats w(zeros, static_cast<unsigned long>(cols), 1, layout);
        svdcmp(u.get(), rows, cols, w.get(), v.get());
        u.appendTo(out);
        w.appendTo(out);
        v.appendTo(out);
        out.push_back(tessivane::last_svd_converged() ? 1.0f : 0.0f);
    });
    check(!well || o.error.empty());
    if (!well || o.values.back() == 0.0f)
        return;
    const float *u = o.values.data(), *w = u + rows * cols, *v = w + cols;
    checkProduct(
        rows, cols, cols, [&](int i, int k) { return u[i * cols + k] * w[k]; },
        [&](int k, int j) { return v[j * cols + k]; },
        [&](int i, int j) { return a[static_cast<std::size_t>(1 + i * cols + j)]; },
        1e-4 * (1 + std::max(rows, cols)));
}

void eigen(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(1, in.ConsumeIntegralInRange(0, 7) ? 12 : 30);
    const bool well = in.ConsumeIntegralInRange(0, 3) != 0;
    const Layout layout = anyLayout(in);
    std::vector<float> a(static_cast<std::size_t>(n * n + 1));
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++)
            a[static_cast<std::size_t>(1 + i * n + j)] =
                a[static_cast<std::size_t>(1 + j * n + i)] =
                    well ? smallValue(in) : specialValue(in);
    const std::vector<float> zeros(a.size(), 0.0f);
    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        Matrix am(a, n, n, 1, layout), v(zeros, n, n, 1, layout);
        Floats d(zeros, static_cast<unsigned long>(n), 1, layout);
        int nrot = -1;
        jacobi(am.get(), n, d.get(), v.get(), &nrot);
        eigsrt(d.get(), v.get(), n);
        d.appendTo(out);
        v.appendTo(out);
        am.appendTo(out);
        out.push_back(static_cast<float>(nrot));
    });
    if (!well)
        return;
    check(o.error.empty());
    const float *d = o.values.data(), *v = d + n;
    for (int k = 1; k < n; k++)
        check(d[k - 1] >= d[k]);
    checkProduct(
        n, n, n, [&](int i, int j) { return a[static_cast<std::size_t>(1 + i * n + j)]; },
        [&](int j, int k) { return v[j * n + k]; },
        [&](int i, int k) { return static_cast<double>(d[k]) * v[i * n + k]; }, 1e-4 * n);
}

// The 0-based products, whose fast paths take rows of any alignment.
void products(FuzzedDataProvider &in)
{
    const int n = in.ConsumeIntegralInRange(1, 40);
    const int s = in.ConsumeIntegralInRange(1, 40);
    const int m = in.ConsumeIntegralInRange(1, 40);
    const Mix mix = anyMix(in);
    const Layout layout = anyLayout(in);
    const std::vector<float> a = values(in, static_cast<unsigned long>(n * s), mix);
    const std::vector<float> b = values(in, static_cast<unsigned long>(s * m), mix);
    const std::vector<float> zeros(static_cast<std::size_t>(std::max(n * m, n * n) + 1), 0.0f);
    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        Matrix am(a, n, s, 0, layout), bm(b, s, m, 0, layout), c(zeros, n, m, 0, layout),
            t(zeros, n, n, 0, layout);
        matrix_matrix_mult(am.get(), bm.get(), c.get(), n, s, m);
        c.appendTo(out);
        transposematrix_matrix_mult(am.get(), t.get(), n, s);
        for (int i = 0; i < n; i++)
            for (int j = 0; j <= i; j++)
                out.push_back(t.get()[i][j]);
        diagmatrix_matrix_mult(bm.get()[0], am.get(), std::min(n, m), s);
        am.appendTo(out);
    });
    if (mix != Mix::small)
        return;
    checkProduct(
        n, s, m, [&](int i, int k) { return a[static_cast<std::size_t>(1 + i * s + k)]; },
        [&](int k, int j) { return b[static_cast<std::size_t>(1 + k * m + j)]; },
        [&](int i, int j) { return o.values[static_cast<std::size_t>(i * m + j)]; }, 1e-5 * s);
}

bool probability(float p)
{
    return p >= 0.0f && p <= 1.0f;
}

// The tests write their statistic; the p-value only where the contract says
// so (a sentinel stays otherwise), and the conversions give probabilities.
void statistics(FuzzedDataProvider &in)
{
    const unsigned long n1 = in.ConsumeIntegralInRange<unsigned long>(2, 100);
    const unsigned long n2 = in.ConsumeIntegralInRange<unsigned long>(2, 100);
    const int test = in.ConsumeIntegralInRange(0, 4);
    const std::vector<float> x = values(in, n1, Mix::small), y = values(in, n2, Mix::small);
    const std::vector<float> y1 = values(in, n1, Mix::small);
    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        std::vector<float> a(x), b(y), b1(y1);
        float r[5] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten};
        switch (test) {
        case 0:
            ttest(a.data(), n1, b.data(), n2, &r[0], &r[1]);
            tutest(a.data(), n1, b.data(), n2, &r[2], &r[3]);
            break;
        case 1:
            kstwo(a.data(), n1, b.data(), n2, &r[0], &r[1]);
            break;
        case 2:
            pearsn(a.data(), b1.data(), n1, &r[0], &r[1], &r[2]);
            pearsn_prob(a.data(), b1.data(), n1, &r[3], &r[4], &r[2]);
            break;
        case 3:
            spear(a.data(), b1.data(), n1, &r[0], &r[1], &r[2], &r[3], &r[4]);
            break;
        default:
            avevar(a.data(), n1, &r[0], &r[1]);
            break;
        }
        out.assign(r, r + 5);
    });
    check(o.error.empty());
    const float *r = o.values.data();
    switch (test) {
    case 0:
        check(r[1] == kUnwritten && r[3] == kUnwritten);
        check(std::isnan(r[0]) || probability(t_to_p(r[0], n1 + n2 - 2)));
        break;
    case 1:
        check(r[1] == kUnwritten);
        check(std::isnan(r[0]) || (probability(r[0]) && probability(kstwo_prob(r[0], n1, n2))));
        break;
    case 2:
        check(r[1] == kUnwritten && r[2] == kUnwritten);
        check(std::isnan(r[4]) || probability(r[4]));
        break;
    case 3:
        check(r[4] == kUnwritten || std::isnan(r[4]) || probability(r[4]));
        check(r[2] == kUnwritten || std::isnan(r[2]) || probability(r[2]));
        break;
    default:
        check(std::isnan(r[1]) || r[1] >= 0.0f);
        break;
    }
}

void specialFunctions(FuzzedDataProvider &in)
{
    const float a = in.ConsumeFloatingPointInRange(0.01f, 20.0f);
    const float b = in.ConsumeFloatingPointInRange(0.01f, 20.0f);
    const float x = in.ConsumeFloatingPointInRange(0.0f, 50.0f);
    const float u = in.ConsumeFloatingPointInRange(0.0f, 1.0f);
    const unsigned long df = in.ConsumeIntegralInRange<unsigned long>(1, 100);
    const unsigned long df2 = in.ConsumeIntegralInRange<unsigned long>(1, 100);
    check(std::isfinite(gammln(static_cast<double>(a) + x)));
    check(probability(gammq(a, x)));
    check(probability(betai(a, b, u)));
    const float any = finiteValue(in);
    check(erfcc(any) >= 0.0f && erfcc(any) <= 2.0f);
    check(probability(probks(any)));
    const float p = in.ConsumeFloatingPointInRange(0.001f, 0.999f);
    check(probability(t_to_p(any, df)) && probability(r_to_p(u, df + 2)));
    check(probability(F_to_p(x, df, df2)));
    p_to_t(p, df);
    p_to_r(p, df + 2);
    p_to_F(p, df, df2);
    p_to_z(p);
}

void fitting(FuzzedDataProvider &in)
{
    const int ndata = in.ConsumeIntegralInRange(3, 60);
    const int ma = in.ConsumeIntegralInRange(1, 5);
    std::vector<float> x = values(in, ndata, Mix::small), y = values(in, ndata, Mix::small);
    std::vector<float> sig(static_cast<std::size_t>(ndata + 1), 1.0f);
    float a = 0, b = 0, siga = 0, sigb = 0, chi2 = 0, q = 0;
    fit(x.data(), y.data(), ndata, sig.data(), 0, &a, &b, &siga, &sigb, &chi2, &q);
    check(probability(q));

    const Outcome o = onEveryPath([&](std::vector<float> &out) {
        std::vector<float> coefficients(static_cast<std::size_t>(ma + 1)), w(coefficients);
        float **u = matrix(1, ndata, 1, ma);
        float **v = matrix(1, ma, 1, ma);
        float **cvm = matrix(1, ma, 1, ma);
        float chisq = 0;
        svdfit(x.data(), y.data(), sig.data(), ndata, coefficients.data(), ma, u, v, w.data(),
               &chisq, fpoly);
        svdvar(v, ma, w.data(), cvm);
        out.assign(coefficients.begin() + 1, coefficients.end());
        out.push_back(chisq);
        for (int i = 1; i <= ma; i++)
            out.insert(out.end(), cvm[i] + 1, cvm[i] + 1 + ma);
        free_matrix(cvm, 1, ma, 1, ma);
        free_matrix(v, 1, ma, 1, ma);
        free_matrix(u, 1, ndata, 1, ma);
    });
    check(o.error.empty());
    const float *cvm = o.values.data() + ma + 1;
    for (int i = 0; i < ma; i++)
        for (int j = 0; j < ma; j++)
            check(cvm[i * ma + j] == cvm[j * ma + i] || std::isnan(cvm[i * ma + j]));

    float n = 0, ax = 0, ay = 0, sxx = 0, syy = 0, sxy = 0, r = 0, ra = 0, rb = 0, ym = 0;
    for (int i = 1; i <= ndata; i++)
        pearsn_inc(x[i], y[i], n, ax, ay, sxx, syy, sxy, &r);
    n = ax = ay = sxx = syy = sxy = 0;
    for (int i = 1; i <= ndata; i++)
        regr_inc(x[i], y[i], n, ax, ay, sxx, syy, sxy, &ra, &rb, &ym);
}

void deviates(FuzzedDataProvider &in)
{
    long idum = in.ConsumeIntegral<long>();
    const int count = in.ConsumeIntegralInRange(1, 200);
    for (int i = 0; i < count; i++) {
        const float u = ran1(&idum);
        check(u > 0.0f && u < 1.0f);
        check(std::isfinite(gasdev(&idum)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzedDataProvider in(data + 1, size - 1);
    switch (data[0] % 10) {
    case 0:
        sorting(in);
        break;
    case 1:
        selection(in);
        break;
    case 2:
        fourier(in);
        break;
    case 3:
        gaussJordan(in);
        break;
    case 4:
        singularValues(in);
        break;
    case 5:
        eigen(in);
        break;
    case 6:
        statistics(in);
        break;
    case 7:
        specialFunctions(in);
        break;
    case 8:
        fitting(in);
        deviates(in);
        break;
    default:
        products(in);
        break;
    }
    return 0;
}
