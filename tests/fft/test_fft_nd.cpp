// fourn and rlft3: degenerate dimensions, impulses, the direct sum, forward-
// then-inverse scaling, pinned bit patterns (FftNdExact), agreement with FFTW
// single precision on random 2-D and 3-D data (FftNdAccuracy), the refused
// extents and the silent exit on a tensor that is not contiguous (FftNdDeathTest).

#include "stat.h"
#include "support/accuracy.h"
#include "support/arrays.h"
#include "support/fft.h"
#include "support/fatal.h"

#include <fftw3.h>
#include <gtest/gtest.h>

using namespace tv_test;

namespace {

const double kTwoPiExact = 6.283185307179586476925;

std::string shape(const std::vector<unsigned long> &n)
{
    std::string s;
    for (size_t i = 0; i < n.size(); ++i)
        s += (i ? "x" : "") + std::to_string(n[i]);
    return s;
}

// A contiguous tensor [1..n1][1..n2][1..n3] laid over a guarded block, so that
// the float just before t[1][1][1] (position 0 of rlft3's complex view) and
// the one after t[n1][n2][n3] are checked; and speq [1..n1][1..2 n2] inside a
// matrix with a guard frame (rows 0 and n1+1, columns 0 and 2 n2+1).
struct RealTensor {
    RealTensor(unsigned long n1_, unsigned long n2_, unsigned long n3_)
        : n1(n1_)
        , n2(n2_)
        , n3(n3_)
        , block(n1_ * n2_ * n3_)
        , rows(n1_ + 1)
        , cols(n1_ * n2_)
    {
        for (unsigned long i = 1; i <= n1; ++i) {
            rows[i] = cols.data() + (i - 1) * n2 - 1;
            for (unsigned long j = 1; j <= n2; ++j)
                rows[i][j] = block.data() + ((i - 1) * n2 + (j - 1)) * n3;
        }
        t = rows.data();
        speq = matrix(0, static_cast<long>(n1) + 1, 0, 2 * static_cast<long>(n2) + 1);
        for (unsigned long i = 0; i <= n1 + 1; ++i)
            for (unsigned long j = 0; j <= 2 * n2 + 1; ++j)
                speq[i][j] = sentinel();
    }
    ~RealTensor()
    {
        free_matrix(speq, 0, static_cast<long>(n1) + 1, 0, 2 * static_cast<long>(n2) + 1);
    }
    RealTensor(const RealTensor &) = delete;
    RealTensor &operator=(const RealTensor &) = delete;

    unsigned long total() const { return n1 * n2 * n3; }
    float *flat() { return block.data() + 1; }  // row-major
    bool guards_intact() const
    {
        for (unsigned long i = 0; i <= n1 + 1; ++i)
            for (unsigned long j = 0; j <= 2 * n2 + 1; ++j)
                if ((i == 0 || i == n1 + 1 || j == 0 || j == 2 * n2 + 1) &&
                    !is_sentinel(speq[i][j]))
                    return false;
        return block.guards_intact();
    }

    unsigned long n1, n2, n3;
    Vector block;
    std::vector<float **> rows;
    std::vector<float *> cols;
    float ***t;
    float **speq;
};

// FFTW's real-to-complex transform (exponent -2*pi*i), in place in a buffer of
// n1 x n2 x (n3 + 2) floats; returns n1 x n2 x (n3/2 + 1) complex values.
std::vector<float> fftw_r2c(unsigned long n1, unsigned long n2, unsigned long n3, const float *real)
{
    std::vector<float> buf(n1 * n2 * (n3 + 2));
    fftwf_plan plan = fftwf_plan_dft_r2c_3d(
        static_cast<int>(n1), static_cast<int>(n2), static_cast<int>(n3), buf.data(),
        reinterpret_cast<fftwf_complex *>(buf.data()), FFTW_ESTIMATE);
    for (unsigned long r = 0; r < n1 * n2; ++r)
        std::memcpy(&buf[r * (n3 + 2)], real + r * n3, n3 * sizeof(float));
    fftwf_execute(plan);
    fftwf_destroy_plan(plan);
    return buf;
}

// ---------------------------------------------------------------- exactness

TEST(FftNdExact, DegenerateDimensions)
{
    // ndim <= 0 touches nothing and does not read nn.
    Vector d(8);
    fill_uniform(d.data() + 1, 8, 5);
    const std::vector<float> before = d.values();
    fourn(d.data(), nullptr, 0, 1);
    fourn(d.data(), nullptr, -3, -1);
    EXPECT_EQ(d.values(), before);
    EXPECT_TRUE(d.guards_intact());

    // A dimension of length 1, first or last, changes nothing in the bits.
    const unsigned long len = 16;
    std::vector<float> ref(2 * len + 1), a, b;
    fill_uniform(ref.data() + 1, 2 * len, 11);
    a = b = ref;
    unsigned long one[2] = {0, len}, lead[3] = {0, 1, len}, trail[3] = {0, len, 1};
    fourn(ref.data(), one, 1, 1);
    fourn(a.data(), lead, 2, 1);
    fourn(b.data(), trail, 2, 1);
    EXPECT_EQ(a, ref);
    EXPECT_EQ(b, ref);
}

// ndim = 1 is four1's transform up to rounding (fourn's products are float).
TEST(FftNdExact, OneDimensionMatchesFour1)
{
    for (unsigned long len : {2UL, 64UL, 4096UL}) {
        std::vector<float> a(2 * len + 1);
        fill_uniform(a.data() + 1, 2 * len, 17);
        std::vector<float> b = a;
        unsigned long nn[2] = {0, len};
        fourn(a.data(), nn, 1, -1);
        four1(b.data(), len, -1);
        EXPECT_LT(relative_l2(interleaved(a.data() + 1, len), interleaved(b.data() + 1, len)),
                  tolerance(len))
            << "len " << len;
    }
}

// nn = {4, 8}, isign = -1 against the direct sum in double; element (j1, j2)
// sits at float position 1 + 2*(8*j1 + j2).
TEST(FftNdExact, TwoDimensionsMatchDirectSum)
{
    Vector d(64);
    fill_uniform(d.data() + 1, 64, 23);
    const Spectrum x = interleaved(d.data() + 1, 32);
    unsigned long nn[3] = {0, 4, 8};
    fourn(d.data(), nn, 2, -1);
    for (int k1 = 0; k1 < 4; ++k1)
        for (int k2 = 0; k2 < 8; ++k2) {
            std::complex<double> sum = 0.0;
            for (int j1 = 0; j1 < 4; ++j1)
                for (int j2 = 0; j2 < 8; ++j2)
                    sum += x[8 * j1 + j2] *
                           std::polar(1.0, -kTwoPiExact * (k1 * j1 / 4.0 + k2 * j2 / 8.0));
            const int p = 1 + 2 * (8 * k1 + k2);
            EXPECT_LT(std::abs(std::complex<double>(d[p], d[p + 1]) - sum), 16 * FLT_EPSILON)
                << k1 << " " << k2;
        }
    EXPECT_TRUE(d.guards_intact());
}

// An impulse at data[1][1][1] gives its value at every frequency, in data and
// in the Nyquist plane alike, exactly.
TEST(FftNdExact, Rlft3ImpulseFillsDataAndSpeq)
{
    for (unsigned long n3 : {2UL, 4UL, 16UL}) {
        RealTensor r(4, 8, n3);
        std::memset(r.flat(), 0, r.total() * sizeof(float));
        r.t[1][1][1] = 2.385f;
        rlft3(r.t, r.speq, 4, 8, n3, 1);
        for (unsigned long i1 = 1; i1 <= 4; ++i1)
            for (unsigned long i2 = 1; i2 <= 8; ++i2) {
                for (unsigned long k = 0; k < n3 / 2; ++k) {
                    ASSERT_EQ(r.t[i1][i2][2 * k + 1], 2.385f) << i1 << " " << i2 << " " << k;
                    ASSERT_EQ(r.t[i1][i2][2 * k + 2], 0.0f) << i1 << " " << i2 << " " << k;
                }
                ASSERT_EQ(r.speq[i1][2 * i2 - 1], 2.385f) << i1 << " " << i2;
                ASSERT_EQ(r.speq[i1][2 * i2], 0.0f) << i1 << " " << i2;
            }
        EXPECT_TRUE(r.guards_intact()) << "n3 " << n3;
    }
}

// No normalisation: fourn forward then inverse gives ntot times the input,
// rlft3 nn1*nn2*nn3/2 times (also for nn1 = 1, the 2-D case, and nn3 = 2).
TEST(FftNdExact, ForwardThenInverseScaling)
{
    const unsigned long total = 8 * 4 * 16;
    Vector d(2 * total);
    fill_uniform(d.data() + 1, 2 * total, 29);
    const std::vector<float> orig(d.data() + 1, d.data() + 1 + 2 * total);
    unsigned long nn[4] = {0, 8, 4, 16};
    fourn(d.data(), nn, 3, 1);
    fourn(d.data(), nn, 3, -1);
    for (unsigned long i = 0; i < 2 * total; ++i)
        ASSERT_NEAR(d[i + 1] / static_cast<double>(total), orig[i], 4 * tolerance(total)) << i;
    EXPECT_TRUE(d.guards_intact());

    for (const auto &n :
         std::vector<std::vector<unsigned long>>{{1, 1, 2}, {2, 4, 2}, {1, 16, 32}, {8, 4, 16}}) {
        RealTensor r(n[0], n[1], n[2]);
        fill_uniform(r.flat(), r.total(), 37);
        const std::vector<float> before(r.flat(), r.flat() + r.total());
        rlft3(r.t, r.speq, n[0], n[1], n[2], 1);
        rlft3(r.t, r.speq, n[0], n[1], n[2], -1);
        for (unsigned long i = 0; i < r.total(); ++i)
            ASSERT_NEAR(r.flat()[i] / (r.total() / 2.0), before[i], 4 * tolerance(r.total()))
                << shape(n) << " " << i;
        EXPECT_TRUE(r.guards_intact()) << shape(n);
    }
}

// Also exercises rlft3 on a tensor from f3tensor, released afterwards.
TEST(FftNdExact, BitPatternsArePinned)
{
    std::vector<float> c(2 * 8 * 16 * 4 + 1);
    for (unsigned long j = 0; j < 1024; ++j)
        c[j + 1] = pin_sample(j);
    unsigned long nn[4] = {0, 8, 16, 4};
    fourn(c.data(), nn, 3, 1);
    EXPECT_EQ(fnv1a(c.data() + 1, 1024), 0x85c886ad1fc9b5bcULL);

    float ***t = f3tensor(1, 4, 1, 8, 1, 16);
    float **speq = matrix(1, 4, 1, 16);
    for (unsigned long j = 0; j < 512; ++j)
        (&t[1][1][1])[j] = pin_sample(j);
    rlft3(t, speq, 4, 8, 16, 1);
    EXPECT_EQ(fnv1a(&t[1][1][1], 512), 0x9a81f53e0aee00c6ULL);
    EXPECT_EQ(fnv1a(&speq[1][1], 64), 0x58dbf582dcd11944ULL);
    rlft3(t, speq, 4, 8, 16, -1);
    EXPECT_EQ(fnv1a(&t[1][1][1], 512), 0x16c42e382aec88baULL);
    free_matrix(speq, 1, 4, 1, 16);
    free_f3tensor(t, 1, 4, 1, 8, 1, 16);
}

// ---------------------------------------------------------------- accuracy

// fourn's isign is FFTW's sign; both use row-major order.
TEST(FftNdAccuracy, FournAgainstFftw)
{
    const unsigned seed = 8675309;
    WorstCase worst("fourn vs FFTW (relative L2)");
    const std::vector<std::vector<unsigned long>> shapes = {
        {2, 4},    {4, 8},    {16, 16},  {64, 32},     {256, 256},
        {2, 2, 2}, {4, 8, 2}, {8, 8, 8}, {16, 16, 32}, {32, 32, 64}};
    for (const auto &n : shapes) {
        std::vector<unsigned long> nn = {0};
        std::vector<int> dims;
        unsigned long total = 1;
        for (unsigned long e : n) {
            nn.push_back(e);
            dims.push_back(static_cast<int>(e));
            total *= e;
        }
        for (int isign : {1, -1}) {
            SCOPED_TRACE(testing::Message()
                         << "seed " << seed << " shape " << shape(n) << " isign " << isign);
            Vector d(2 * total);
            fill_uniform(d.data() + 1, 2 * total, seed + static_cast<unsigned>(total));
            std::vector<float> ref(d.data() + 1, d.data() + 1 + 2 * total);
            fftwf_plan plan =
                fftwf_plan_dft(static_cast<int>(dims.size()), dims.data(),
                               reinterpret_cast<fftwf_complex *>(ref.data()),
                               reinterpret_cast<fftwf_complex *>(ref.data()), isign, FFTW_ESTIMATE);
            fftwf_execute(plan);
            fftwf_destroy_plan(plan);
            fourn(d.data(), nn.data(), static_cast<int>(n.size()), isign);
            const double err =
                relative_l2(interleaved(d.data() + 1, total), interleaved(ref.data(), total));
            worst.add(err / FLT_EPSILON, shape(n) + " isign " + std::to_string(isign));
            EXPECT_LT(err, tolerance(total)) << err / FLT_EPSILON << " eps";
            EXPECT_TRUE(d.guards_intact());
        }
    }
    worst.report();
}

// rlft3 forward = complex conjugate of FFTW's r2c (exponent -2*pi*i), the
// last-index frequencies 0..n3/2-1 in data and n3/2 in speq. The inverse of
// that form is half of FFTW's c2r (exponent +) of the conjugate; the spectra
// come from r2c of random data, so they are Hermitian where they must be.
TEST(FftNdAccuracy, Rlft3AgainstFftw)
{
    const unsigned seed = 1234;
    WorstCase worst("rlft3 vs FFTW (relative L2)");
    const std::vector<std::vector<unsigned long>> shapes = {{1, 4, 8},   {1, 256, 256}, {1, 128, 2},
                                                            {2, 2, 2},   {4, 4, 2},     {4, 8, 16},
                                                            {8, 16, 32}, {16, 64, 64}};
    for (const auto &n : shapes) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " shape " << shape(n));
        const unsigned long n1 = n[0], n2 = n[1], n3 = n[2], h = n3 / 2 + 1;
        RealTensor r(n1, n2, n3);
        fill_uniform(r.flat(), r.total(), seed + static_cast<unsigned>(r.total()));
        std::vector<float> oracle_half = fftw_r2c(n1, n2, n3, r.flat());
        Spectrum ref = interleaved(oracle_half.data(), n1 * n2 * h);
        for (auto &c : ref)
            c = std::conj(c);

        rlft3(r.t, r.speq, n1, n2, n3, 1);
        Spectrum ours;
        for (unsigned long i1 = 1; i1 <= n1; ++i1)
            for (unsigned long i2 = 1; i2 <= n2; ++i2) {
                const Spectrum row = interleaved(&r.t[i1][i2][1], n3 / 2);
                ours.insert(ours.end(), row.begin(), row.end());
                ours.emplace_back(r.speq[i1][2 * i2 - 1], r.speq[i1][2 * i2]);
            }
        double err = relative_l2(ours, ref);
        worst.add(err / FLT_EPSILON, "forward " + shape(n));
        EXPECT_LT(err, tolerance(r.total())) << "forward " << err / FLT_EPSILON << " eps";

        // Inverse: FFTW's spectrum, conjugated, into data and speq.
        for (unsigned long i1 = 1; i1 <= n1; ++i1)
            for (unsigned long i2 = 1; i2 <= n2; ++i2) {
                const float *row = &oracle_half[2 * ((i1 - 1) * n2 + (i2 - 1)) * h];
                for (unsigned long k = 0; k < n3 / 2; ++k) {
                    r.t[i1][i2][2 * k + 1] = row[2 * k];
                    r.t[i1][i2][2 * k + 2] = -row[2 * k + 1];
                }
                r.speq[i1][2 * i2 - 1] = row[n3];
                r.speq[i1][2 * i2] = -row[n3 + 1];
            }
        std::vector<float> back(r.total());
        fftwf_plan c2r = fftwf_plan_dft_c2r_3d(
            static_cast<int>(n1), static_cast<int>(n2), static_cast<int>(n3),
            reinterpret_cast<fftwf_complex *>(oracle_half.data()), back.data(), FFTW_ESTIMATE);
        fftwf_execute(c2r);
        fftwf_destroy_plan(c2r);
        rlft3(r.t, r.speq, n1, n2, n3, -1);
        Spectrum got(r.total()), want(r.total());
        for (unsigned long i = 0; i < r.total(); ++i) {
            got[i] = 2.0 * r.flat()[i];
            want[i] = back[i];
        }
        err = relative_l2(got, want);
        worst.add(err / FLT_EPSILON, "inverse " + shape(n));
        EXPECT_LT(err, tolerance(r.total())) << "inverse " << err / FLT_EPSILON << " eps";
        EXPECT_TRUE(r.guards_intact());
    }
    worst.report();
}

// ---------------------------------------------------------------- refusals

TEST(FftNdDeathTest, FournRefusesBadExtents)
{
    float data[8] = {};
    unsigned long zero[3] = {0, 4, 0}, three[3] = {0, 3, 4}, huge[3] = {0, 1UL << 40, 1UL << 30};
    TV_EXPECT_FATAL(fourn(data, zero, 2, 1),
                    "fourn: nn[2] = 0 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(fourn(data, three, 2, -1),
                    "fourn: nn[1] = 3 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(fourn(data, huge, 2, 1), "fourn: nn[1..2] hold more than 2^62 complex points");
}

// The extents are checked before the tensor is read at all: null pointers are
// safe here.
TEST(FftNdDeathTest, Rlft3RefusesBadExtents)
{
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 3, 4, 8, 1),
                    "rlft3: nn1 = 3 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 1, 0, 8, 1),
                    "rlft3: nn2 = 0 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 2, 4, 1, 1),
                    "rlft3: nn3 = 1 is not a power of two >= 2");
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 2, 4, 0, -1),
                    "rlft3: nn3 = 0 is not a power of two >= 2");
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 2, 4, 6, 1),
                    "rlft3: nn3 = 6 is not a power of two >= 2");
    TV_EXPECT_FATAL(rlft3(nullptr, nullptr, 1UL << 30, 1UL << 30, 4, 1),
                    "rlft3: nn1*nn2*nn3 = 1073741824*1073741824*4 is too large");
}

// A tensor built for other extents is refused with a message that names it.
TEST(FftNdDeathTest, Rlft3NonContiguousTensorIsRefused)
{
    float ***wide = f3tensor(1, 2, 1, 4, 1, 8);     // passed as 2 x 2 x 8
    float ***shallow = f3tensor(1, 2, 1, 2, 1, 4);  // passed as 2 x 2 x 8
    float **speq = matrix(1, 2, 1, 4);
    TV_EXPECT_FATAL(rlft3(wide, speq, 2, 2, 8, 1),
                    "rlft3: data is not one contiguous 2 x 2 x 8 tensor");
    TV_EXPECT_FATAL(rlft3(shallow, speq, 2, 2, 8, -1),
                    "rlft3: data is not one contiguous 2 x 2 x 8 tensor");
    free_matrix(speq, 1, 2, 1, 4);
    free_f3tensor(shallow, 1, 2, 1, 2, 1, 4);
    free_f3tensor(wide, 1, 2, 1, 4, 1, 8);
}

}  // namespace
