// Every instruction-set path of four1, realft, fourn and rlft3 gives the bits
// of the portable path (NaN-ness for NaNs: which NaN payload survives an
// addition of two NaNs is not part of the results). One parametrised
// comparison per transform over sizes, signs (the isign values outside +-1
// included, which the routines still define), data with special values and
// odd alignments of the caller's array; and the twiddle cache under
// concurrent first use.

#include "detail_fft_avx2.h"
#include "fft_tables.h"
#include "stat.h"
#include "support/fft.h"
#include "support/isa_paths.h"
#include "isa.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <thread>

using namespace tv_test;
using tessivane::isa;

namespace {

enum class Data { uniform, specials, zeros };

// Uniform data, or uniform data with one in 61 values special (NaN, infinities,
// signed zeros, subnormals, huge), or signed zeros and subnormals with a few
// ones: the case in which a twiddle of exactly (1, 0) must still multiply.
void fill(float *p, unsigned long count, Data kind, unsigned seed)
{
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              0.0f,
                              -0.0f,
                              1e-40f,
                              -1.4e-45f,
                              FLT_MAX,
                              -3e38f,
                              FLT_MIN};
    fill_uniform(p, count, seed);
    if (kind == Data::uniform)
        return;
    std::mt19937 gen(seed);
    for (unsigned long i = 0; i < count; ++i) {
        const unsigned r = gen();
        if (kind == Data::specials && r % 61 == 0)
            p[i] = specials[(r >> 8) % 10];
        else if (kind == Data::zeros)
            p[i] = r % 17 == 0 ? 1.0f : specials[3 + (r >> 8) % 4];
    }
}

// Runs transform(data) with the 1-based data placed `shift` floats past a
// 64-byte boundary, on the portable path and then on every fast path, and
// expects the same bits. `count` floats from data[1] on are compared.
template <typename Transform>
void expect_paths_agree(const std::vector<float> &input, unsigned shift, Transform transform,
                        const std::string &what)
{
    const unsigned long count = input.size();
    std::vector<float> buffer(count + 32);
    const auto aligned =
        (reinterpret_cast<std::uintptr_t>(buffer.data()) + 63) & ~std::uintptr_t(63);
    float *data = reinterpret_cast<float *>(aligned) + shift - 1;  // data[1] sits at `shift`

    const isa before = tessivane::set_active_isa(isa::portable);
    std::memcpy(data + 1, input.data(), count * sizeof(float));
    transform(data);
    const std::vector<float> want(data + 1, data + 1 + count);
    for (isa path : fast_paths()) {
        tessivane::set_active_isa(path);
        std::memcpy(data + 1, input.data(), count * sizeof(float));
        transform(data);
        const long at = first_bit_difference(want.data(), data + 1, count);
        EXPECT_EQ(at, -1) << what << " path " << tessivane::isa_name(path) << ": float " << at + 1
                          << " is " << (at >= 0 ? data[at + 1] : 0.0f) << ", portable "
                          << (at >= 0 ? want[at] : 0.0f);
    }
    tessivane::set_active_isa(before);
}

std::string shape(const std::vector<unsigned long> &n)
{
    std::string s;
    for (size_t i = 0; i < n.size(); ++i)
        s += (i ? "x" : "") + std::to_string(n[i]);
    return s;
}

std::string describe(const char *routine, const std::string &size, int isign, Data kind,
                     unsigned shift)
{
    static const char *kinds[] = {"uniform", "specials", "zeros"};
    return std::string(routine) + " " + size + " isign " + std::to_string(isign) + " " +
           kinds[static_cast<int>(kind)] + " shift " + std::to_string(shift);
}

// Sizes 2^0..2^20 (realft 2^1..2^21 real samples), which cross every switch
// point of the fast paths: four1 vectorises from 8 points, sweeps tiles from
// 64, takes AVX-512 from 128, runs its stages in columns above 2^11 (AVX-512:
// above 2^14) and sweeps the whole array three stages at a time above 2^16;
// realft's separation step vectorises from 32 samples, takes eight
// frequencies per step from 64 and AVX-512 from 256. isign +-1 throughout,
// the other values on the smaller sizes; each data kind and alignment in
// turn, except that four1 takes every data kind on both sides of the switch
// points of its stage order: the last size of L1 blocks alone (2^11), the
// columns with one chunk of one, two and three stages (2^12, 2^13, 2^14) and
// with two chunks (2^15, 2^16), the sweeps over the whole array with one and
// two passes of three stages (2^17, 2^20, where the part before them is
// 2^14); the AVX-512 path sweeps in registers up to 2^14 and takes the
// columns from 2^15.
class OneDimensional : public ::testing::TestWithParam<unsigned> {};

TEST_P(OneDimensional, Four1PathsAgree)
{
    const unsigned log2n = GetParam();
    const unsigned long nn = 1UL << log2n;
    const bool stage_switch = (log2n >= 11 && log2n <= 17) || log2n == 20;
    for (int isign : {1, -1, 2, -3}) {
        if (isign != 1 && isign != -1 && log2n > 12)
            continue;
        const unsigned turn = log2n + static_cast<unsigned>(isign + 3);
        for (unsigned k = 0; k < (stage_switch ? 3u : 1u); k++) {
            const Data kind = static_cast<Data>((turn + k) % 3);
            const unsigned shift = (turn + k) % 8;
            std::vector<float> input(2 * nn);
            fill(input.data(), input.size(), kind, 1000 + log2n);
            expect_paths_agree(
                input, shift, [&](float *d) { four1(d, nn, isign); },
                describe("four1", std::to_string(nn), isign, kind, shift));
        }
    }
}

TEST_P(OneDimensional, RealftPathsAgree)
{
    const unsigned long n = 2UL << GetParam();
    for (int isign : {1, -1, 0, 2}) {
        if (isign != 1 && isign != -1 && n > 8192)
            continue;
        const Data kind = static_cast<Data>((GetParam() + static_cast<unsigned>(isign + 1)) % 3);
        const unsigned shift = (GetParam() * 3 + static_cast<unsigned>(isign + 1)) % 8;
        std::vector<float> input(n);
        fill(input.data(), n, kind, 2000 + GetParam());
        expect_paths_agree(
            input, shift, [&](float *d) { realft(d, n, isign); },
            describe("realft", std::to_string(n), isign, kind, shift));
    }
}

INSTANTIATE_TEST_SUITE_P(FftPaths, OneDimensional, ::testing::Range(0u, 21u));

// Shapes from one to four dimensions, extents of 1 included; 128^3 runs
// with the exhaustive tests (TV_FFT_EXHAUSTIVE set), as it takes long on the
// portable path.
class Multidimensional : public ::testing::TestWithParam<std::vector<unsigned long>> {
protected:
    void SetUp() override
    {
        unsigned long total = 1;
        for (unsigned long d : GetParam())
            total *= d;
        if (total > (1UL << 18) && std::getenv("TV_FFT_EXHAUSTIVE") == nullptr)
            GTEST_SKIP() << "slow on the portable path; CTest runs it as fft_paths.exhaustive "
                            "(label exhaustive), with TV_FFT_EXHAUSTIVE=1";
    }
};

TEST_P(Multidimensional, FournPathsAgree)
{
    std::vector<unsigned long> nn = {0};
    unsigned long total = 1;
    for (unsigned long d : GetParam()) {
        nn.push_back(d);
        total *= d;
    }
    const int ndim = static_cast<int>(GetParam().size());
    for (int isign : {1, -1, 2}) {
        if (isign == 2 && total > 65536)
            continue;
        const Data kind = static_cast<Data>((total + static_cast<unsigned long>(isign + 1)) % 3);
        const unsigned shift = static_cast<unsigned>(total + static_cast<unsigned long>(isign)) % 8;
        std::vector<float> input(2 * total);
        fill(input.data(), input.size(), kind, 3000 + static_cast<unsigned>(total));
        expect_paths_agree(
            input, shift, [&](float *d) { fourn(d, nn.data(), ndim, isign); },
            describe("fourn", shape(GetParam()), isign, kind, shift));
    }
}

// rlft3 on the shapes seen as real nn1 x nn2 x nn3 tensors (a last extent of 1
// becomes 2); speq rides along after the tensor in the compared block.
TEST_P(Multidimensional, Rlft3PathsAgree)
{
    std::vector<unsigned long> n = GetParam();
    while (n.size() < 3)
        n.insert(n.begin(), 1UL);
    if (n.size() > 3)
        return;
    if (n[2] == 1)
        n[2] = 2;
    const unsigned long n1 = n[0], n2 = n[1], n3 = n[2], total = n1 * n2 * n3;
    for (int isign : {1, -1, 2}) {
        if (isign == 2 && total > 65536)
            continue;
        const Data kind = static_cast<Data>((total + static_cast<unsigned long>(isign + 2)) % 3);
        const unsigned shift =
            static_cast<unsigned>(total + static_cast<unsigned long>(isign) + 3) % 8;
        std::vector<float> input(total + 2 * n1 * n2);
        fill(input.data(), input.size(), kind, 4000 + static_cast<unsigned>(total));
        expect_paths_agree(
            input, shift,
            [&](float *d) {
                std::vector<float **> planes(n1 + 1);
                std::vector<float *> rows(n1 * n2 + 1);
                std::vector<float *> speq(n1 + 1);
                for (unsigned long i = 1; i <= n1; ++i) {
                    planes[i] = rows.data() + (i - 1) * n2 - 1;
                    for (unsigned long j = 1; j <= n2; ++j)
                        planes[i][j] = d + ((i - 1) * n2 + (j - 1)) * n3;
                    speq[i] = d + total + (i - 1) * 2 * n2;
                }
                rlft3(planes.data(), speq.data(), n1, n2, n3, isign);
            },
            describe("rlft3", shape(n), isign, kind, shift));
    }
}

INSTANTIATE_TEST_SUITE_P(
    FftPaths, Multidimensional,
    ::testing::Values(std::vector<unsigned long>{1}, std::vector<unsigned long>{2},
                      std::vector<unsigned long>{64}, std::vector<unsigned long>{1, 16},
                      std::vector<unsigned long>{4, 8}, std::vector<unsigned long>{16, 1, 4},
                      std::vector<unsigned long>{2, 8, 32}, std::vector<unsigned long>{8, 4, 2},
                      std::vector<unsigned long>{32, 32}, std::vector<unsigned long>{256, 256},
                      std::vector<unsigned long>{2, 4, 2, 8},
                      std::vector<unsigned long>{32, 32, 32},
                      std::vector<unsigned long>{128, 128, 128}));

// The index reversal of the vector paths (one step per tile of four1's first
// sweep) against the bit-by-bit loop, at every width, with bits above the
// width set and clear.
TEST(FftIndices, ReverseBitsMatchesBitByBit)
{
    std::mt19937_64 gen(7);
    for (unsigned bits = 0; bits <= 64; ++bits)
        for (int k = 0; k < 200; ++k) {
            const unsigned long v = k == 0 ? 0UL : k == 1 ? ~0UL : gen() >> (k % 64);
            unsigned long want = 0, w = v;
            for (unsigned b = 0; b < bits; ++b, w >>= 1)
                want = (want << 1) | (w & 1);
            ASSERT_EQ(tessivane::detail::reverse_bits(v, bits), want) << bits << " " << v;
        }
}

// Threads that meet a length for the first time at once all get the tables
// right; the cache keeps within its bound and empties on release.
TEST(FftTables, ConcurrentFirstUseAndRelease)
{
    const unsigned long nn = 4096;
    std::vector<float> input(2 * nn);
    fill_uniform(input.data(), input.size(), 5);
    std::vector<float> want(input.size() + 1);
    std::memcpy(want.data() + 1, input.data(), input.size() * sizeof(float));
    const isa before = tessivane::set_active_isa(isa::portable);
    four1(want.data(), nn, -1);
    tessivane::set_active_isa(before);

    for (int round = 0; round < 3; ++round) {
        tessivane::release_fft_tables();
        EXPECT_EQ(tessivane::fft_table_bytes(), 0u);
        std::vector<std::vector<float>> got(4, std::vector<float>(input.size() + 1));
        std::vector<std::thread> threads;
        for (auto &g : got)
            threads.emplace_back([&input, &g, nn] {
                std::memcpy(g.data() + 1, input.data(), input.size() * sizeof(float));
                four1(g.data(), nn, -1);
            });
        for (auto &t : threads)
            t.join();
        for (const auto &g : got)
            EXPECT_EQ(first_bit_difference(want.data() + 1, g.data() + 1, input.size()), -1);
    }
    if (tessivane::active_isa() < isa::avx2)
        return;  // only the fast paths keep tables
    EXPECT_EQ(tessivane::fft_table_bytes(), 2 * nn * sizeof(double));

    // Two tables of 32 MiB fill the 64 MiB exactly; a third, however small, is not kept.
    tessivane::release_fft_tables();
    std::vector<float> large(2 * (1ul << 21) + 1, 1.0f);
    four1(large.data(), 1ul << 21, 1);
    four1(large.data(), 1ul << 21, -1);
    EXPECT_EQ(tessivane::fft_table_bytes(), 64u << 20);
    four1(large.data(), 8, 1);
    EXPECT_EQ(tessivane::fft_table_bytes(), 64u << 20);
    tessivane::release_fft_tables();
}

}  // namespace
