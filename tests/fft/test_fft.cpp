// four1 and realft: known small transforms, the sign and packing conventions,
// forward-then-inverse scaling, pinned bit patterns (Fft1Exact), agreement
// with FFTW single precision on random data (Fft1Accuracy), and the refused
// lengths (Fft1DeathTest).

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

// ---------------------------------------------------------------- exactness

TEST(Fft1Exact, Four1SizesOneAndTwo)
{
    Vector one(2);
    one[1] = 2.385f;
    one[2] = -1.25f;
    four1(one.data(), 1, 1);
    EXPECT_EQ(one[1], 2.385f);
    EXPECT_EQ(one[2], -1.25f);
    EXPECT_TRUE(one.guards_intact());

    // (z0, z1) -> (z0 + z1, z0 - z1) for either sign.
    for (int isign : {1, -1}) {
        Vector d(4);
        const float z[4] = {2.385f, 0.5f, -1.125f, 3.75f};
        std::memcpy(d.data() + 1, z, sizeof z);
        four1(d.data(), 2, isign);
        EXPECT_EQ(d[1], z[0] + z[2]);
        EXPECT_EQ(d[2], z[1] + z[3]);
        EXPECT_EQ(d[3], z[0] - z[2]);
        EXPECT_EQ(d[4], z[1] - z[3]);
        EXPECT_TRUE(d.guards_intact());
    }
}

// An impulse gives its value at every frequency, exactly (only zeros meet the
// twiddles); a constant sums exactly into frequency 0.
TEST(Fft1Exact, Four1ImpulseAndConstant)
{
    for (unsigned long nn : {4UL, 64UL, 1024UL}) {
        Vector d(2 * nn);
        std::memset(d.data() + 1, 0, 2 * nn * sizeof(float));
        d[1] = 2.385f;
        four1(d.data(), nn, -1);
        for (unsigned long k = 0; k < nn; ++k) {
            ASSERT_EQ(d[2 * k + 1], 2.385f) << "nn " << nn << " k " << k;
            ASSERT_EQ(d[2 * k + 2], 0.0f) << "nn " << nn << " k " << k;
        }
        EXPECT_TRUE(d.guards_intact());
    }
    const unsigned long nn = 256;
    Vector c(2 * nn);
    for (unsigned long k = 0; k < nn; ++k) {
        c[2 * k + 1] = 2.385f;
        c[2 * k + 2] = -0.75f;
    }
    four1(c.data(), nn, 1);
    EXPECT_EQ(c[1], 256.0f * 2.385f);
    EXPECT_EQ(c[2], 256.0f * -0.75f);
    for (unsigned long i = 3; i <= 2 * nn; ++i)
        EXPECT_NEAR(c[i], 0.0f, 64 * FLT_EPSILON * 2.385f * nn) << "float " << i;
}

// isign = +1 is the exponent +2*pi*i: exp(-2*pi*i*j/nn) lands on frequency 1
// (floats 3 and 4); for isign = -1, exp(+2*pi*i*j/nn) does.
TEST(Fft1Exact, Four1SignConvention)
{
    const unsigned long nn = 32;
    for (int isign : {1, -1}) {
        Vector d(2 * nn);
        for (unsigned long j = 0; j < nn; ++j) {
            const double phase = -isign * kTwoPiExact * j / nn;
            d[2 * j + 1] = static_cast<float>(std::cos(phase));
            d[2 * j + 2] = static_cast<float>(std::sin(phase));
        }
        four1(d.data(), nn, isign);
        for (unsigned long k = 0; k < nn; ++k) {
            EXPECT_NEAR(d[2 * k + 1], k == 1 ? nn : 0.0, 16 * FLT_EPSILON * nn)
                << isign << " " << k;
            EXPECT_NEAR(d[2 * k + 2], 0.0, 16 * FLT_EPSILON * nn) << isign << " " << k;
        }
    }
}

// The twiddles themselves, bit for bit. An impulse at z_1 makes the last stage
// write its twiddles straight out: F_k = (float(wr_k), float(wi_k)) and
// F_{k+nn/2} = -F_k for k < nn/2, with (wr_k, wi_k) from the double recurrence
// that starts at theta = (6.28318530717959 / nn) * isign. Near a quarter turn
// the cosine is a residual of order 1e-16 that keeps every bit of the angle
// constant, the half-angle form of cos(theta) - 1 and the grouping of the
// recurrence; random data rarely shows those in the rounding to float.
TEST(Fft1Exact, Four1ImpulseAtOneWritesTheTwiddles)
{
    for (unsigned long nn : {4UL, 8UL, 16UL, 32UL}) {
        for (int isign : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "nn " << nn << " isign " << isign);
            Vector d(2 * nn);
            std::memset(d.data() + 1, 0, 2 * nn * sizeof(float));
            d[3] = 1.0f;
            four1(d.data(), nn, isign);

            std::vector<float> want(2 * nn + 1), with_exact_pi(2 * nn + 1);
            for (int variant = 0; variant < 2; ++variant) {
                std::vector<float> &w = variant == 0 ? want : with_exact_pi;
                const double theta = ((variant == 0 ? 6.28318530717959 : kTwoPiExact) / nn) * isign;
                double wtemp = std::sin(0.5 * theta);
                const double wpr = -2.0 * wtemp * wtemp;
                const double wpi = std::sin(theta);
                double wr = 1.0, wi = 0.0;
                for (unsigned long k = 0; k < nn / 2; ++k) {
                    w[2 * k + 1] = static_cast<float>(wr);
                    w[2 * k + 2] = static_cast<float>(wi);
                    w[2 * (k + nn / 2) + 1] = 0.0f - static_cast<float>(wr);
                    w[2 * (k + nn / 2) + 2] = 0.0f - static_cast<float>(wi);
                    wtemp = wr;
                    wr = wtemp * wpr - wi * wpi + wr;
                    wi = wi * wpr + wtemp * wpi + wi;
                }
            }
            // The input is chosen so that the 15-digit constant shows.
            ASSERT_NE(
                0, std::memcmp(want.data() + 1, with_exact_pi.data() + 1, 2 * nn * sizeof(float)));
            for (unsigned long i = 1; i <= 2 * nn; ++i)
                EXPECT_EQ(0, std::memcmp(&d[i], &want[i], sizeof(float)))
                    << "float " << i << ": got " << d[i] << ", want " << want[i];
            EXPECT_TRUE(d.guards_intact());
        }
    }
}

TEST(Fft1Exact, RealftSizesTwoAndFour)
{
    Vector d(2);
    d[1] = 2.375f;
    d[2] = -1.125f;
    realft(d.data(), 2, 1);
    EXPECT_EQ(d[1], 2.375f + -1.125f);
    EXPECT_EQ(d[2], 2.375f - -1.125f);
    realft(d.data(), 2, -1);  // n/2 = 1: the samples come back unscaled
    EXPECT_EQ(d[1], 2.375f);
    EXPECT_EQ(d[2], -1.125f);
    EXPECT_TRUE(d.guards_intact());

    // An impulse: F_0 = x, F_2 = x (Nyquist, in data[2]), F_1 = x + 0i.
    for (float x : {1.0f, 2.385f}) {
        Vector f(4);
        f[1] = x;
        f[2] = f[3] = f[4] = 0.0f;
        realft(f.data(), 4, 1);
        EXPECT_EQ(f[1], x);
        EXPECT_EQ(f[2], x);
        EXPECT_EQ(f[3], x);
        EXPECT_EQ(f[4], 0.0f);
        EXPECT_TRUE(f.guards_intact());
    }
}

// The forward exponent is +2*pi*i, so 0.5 sin(a) = 0.5 (e^{ia} - e^{-ia}) / 2i
// shows up at frequency 1 with a positive imaginary part n/4.
TEST(Fft1Exact, RealftSignAndPacking)
{
    const unsigned long n = 64;
    Vector d(n);
    for (unsigned long j = 0; j < n; ++j) {
        const double a = kTwoPiExact * j / n;
        d[j + 1] = static_cast<float>(std::cos(a) + 0.5 * std::sin(a) + 0.25 * std::cos(3 * a) +
                                      (j % 2 ? -0.125 : 0.125) + 0.375);
    }
    realft(d.data(), n, 1);
    std::vector<double> want(n + 1, 0.0);
    want[1] = 0.375 * n;  // F_0
    want[2] = 0.125 * n;  // F_{n/2}
    want[3] = 0.5 * n;    // Re F_1
    want[4] = 0.25 * n;   // Im F_1
    want[7] = 0.125 * n;  // Re F_3
    for (unsigned long i = 1; i <= n; ++i)
        EXPECT_NEAR(d[i], want[i], 32 * FLT_EPSILON * n) << "float " << i;
}

// The separation step's twiddle at an eighth turn, bit for bit. The samples
// (0, a, 0, a, 0, -a, 0, -a) repeated, a = 0.5, have (after four1 on n/2
// complex points, exactly) h1r = h1i = 0 and h2r = h2i = n/8 at frequency
// k = n/8, and zero h-values elsewhere. So data[2k+1] = h1r + wr*h2r - wi*h2i
// is the residual cos - sin at pi/4, which keeps every bit of the recurrence:
// theta = 3.141592653589793 / (n/2), the start (1 + wpr, wpi) from the
// half-angle sine, the steps up to k; frequency n/2 - k is at data[2(n/2-k)+1].
TEST(Fft1Exact, RealftSeparationAtAnEighthTurn)
{
    for (unsigned long n : {8UL, 16UL, 32UL}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        Vector d(n);
        for (unsigned long j = 0; j < n; ++j)
            d[j + 1] = j % 2 ? (j % 8 < 4 ? 0.5f : -0.5f) : 0.0f;
        realft(d.data(), n, 1);

        const double theta = 3.141592653589793 / (n / 2);
        double wtemp = std::sin(0.5 * theta);
        const double wpr = -2.0 * wtemp * wtemp;
        const double wpi = std::sin(theta);
        double wr = 1.0 + wpr, wi = wpi;
        for (unsigned long k = 1; k < n / 8; ++k) {
            wtemp = wr;
            wr = wtemp * wpr - wi * wpi + wr;
            wi = wi * wpr + wtemp * wpi + wi;
        }
        const float h1r = 0.0f, h1i = 0.0f, h2r = n / 8.0f, h2i = n / 8.0f;
        std::vector<float> want(n + 1, 0.0f);
        const unsigned long i1 = n / 4 + 1, i3 = 3 * n / 4 + 1;
        want[i1] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        want[i1 + 1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        want[i3] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        want[i3 + 1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
        for (unsigned long i = 1; i <= n; ++i)
            EXPECT_EQ(d[i], want[i]) << "float " << i;
        EXPECT_TRUE(d.guards_intact());
    }
}

// No normalisation: four1 +1 then -1 gives nn times the input, realft forward
// then inverse n/2 times.
TEST(Fft1Exact, ForwardThenInverseScaling)
{
    for (unsigned long nn : {8UL, 512UL, 4096UL}) {
        Vector d(2 * nn);
        fill_uniform(d.data() + 1, 2 * nn, 2385);
        const std::vector<float> orig(d.data() + 1, d.data() + 1 + 2 * nn);
        four1(d.data(), nn, 1);
        four1(d.data(), nn, -1);
        for (unsigned long i = 0; i < 2 * nn; ++i)
            ASSERT_NEAR(d[i + 1] / static_cast<double>(nn), orig[i], 4 * tolerance(nn))
                << nn << " " << i;
        EXPECT_TRUE(d.guards_intact());
    }
    for (unsigned long n : {4UL, 8UL, 1024UL, 8192UL}) {
        Vector d(n);
        fill_uniform(d.data() + 1, n, 4711);
        const std::vector<float> orig(d.data() + 1, d.data() + 1 + n);
        realft(d.data(), n, 1);
        realft(d.data(), n, -1);
        for (unsigned long i = 0; i < n; ++i)
            ASSERT_NEAR(d[i + 1] / (n / 2.0), orig[i], 4 * tolerance(n)) << n << " " << i;
        EXPECT_TRUE(d.guards_intact());
    }
}

// Every isign other than 1 selects realft's inverse, bit for bit as -1 does.
TEST(Fft1Exact, RealftAnyOtherIsignIsTheInverse)
{
    const unsigned long n = 128;
    std::vector<float> input(n + 1);
    fill_uniform(input.data() + 1, n, 99);
    std::vector<float> ref = input;
    realft(ref.data(), n, -1);
    for (int isign : {0, 2, -7}) {
        std::vector<float> d = input;
        realft(d.data(), n, isign);
        EXPECT_EQ(d, ref) << "isign " << isign;
    }
}

TEST(Fft1Exact, BitPatternsArePinned)
{
    std::vector<float> c(2 * 1024 + 1);
    for (unsigned long j = 0; j < 2048; ++j)
        c[j + 1] = pin_sample(j);
    four1(c.data(), 1024, 1);
    EXPECT_EQ(fnv1a(c.data() + 1, 2048), 0x989cda7aeeb0e011ULL);
    four1(c.data(), 1024, -1);
    EXPECT_EQ(fnv1a(c.data() + 1, 2048), 0xfedae96735eb8b2dULL);

    std::vector<float> r(4096 + 1);
    for (unsigned long j = 0; j < 4096; ++j)
        r[j + 1] = pin_sample(j);
    realft(r.data(), 4096, 1);
    EXPECT_EQ(fnv1a(r.data() + 1, 4096), 0xde3e1d971be4114eULL);
    realft(r.data(), 4096, -1);
    EXPECT_EQ(fnv1a(r.data() + 1, 4096), 0xadc8ae93815ecaa6ULL);
}

// ---------------------------------------------------------------- accuracy

// four1's isign is FFTW's sign (FFTW_FORWARD = -1, FFTW_BACKWARD = +1).
TEST(Fft1Accuracy, Four1AgainstFftw)
{
    const unsigned seed = 20240607;
    WorstCase worst("four1 vs FFTW (relative L2)");
    for (unsigned long nn : {2UL, 8UL, 32UL, 256UL, 1024UL, 8192UL, 65536UL}) {
        for (int isign : {1, -1}) {
            SCOPED_TRACE(testing::Message()
                         << "seed " << seed << " nn " << nn << " isign " << isign);
            Vector d(2 * nn);
            fill_uniform(d.data() + 1, 2 * nn, seed + static_cast<unsigned>(nn));
            std::vector<float> ref(d.data() + 1, d.data() + 1 + 2 * nn);
            fftwf_plan plan = fftwf_plan_dft_1d(
                static_cast<int>(nn), reinterpret_cast<fftwf_complex *>(ref.data()),
                reinterpret_cast<fftwf_complex *>(ref.data()), isign, FFTW_ESTIMATE);
            fftwf_execute(plan);
            fftwf_destroy_plan(plan);
            four1(d.data(), nn, isign);
            const double err =
                relative_l2(interleaved(d.data() + 1, nn), interleaved(ref.data(), nn));
            worst.add(err / FLT_EPSILON,
                      "nn " + std::to_string(nn) + " isign " + std::to_string(isign));
            EXPECT_LT(err, tolerance(nn)) << err / FLT_EPSILON << " eps";
            EXPECT_TRUE(d.guards_intact());
        }
    }
    worst.report();
}

// realft forward = complex conjugate of FFTW's r2c (exponent -2*pi*i), with
// F_{n/2} moved into data[2]. The inverse of a packed spectrum P is half of
// FFTW's c2r (exponent +) of conj(P); the spectra come from r2c of random data.
TEST(Fft1Accuracy, RealftAgainstFftw)
{
    const unsigned seed = 777;
    WorstCase worst("realft vs FFTW (relative L2)");
    for (unsigned long n : {4UL, 16UL, 128UL, 1024UL, 4096UL, 65536UL}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n);
        const unsigned long h = n / 2;
        std::vector<float> x(n + 2);
        fill_uniform(x.data(), n, seed + static_cast<unsigned>(n));
        Vector d(n);
        std::memcpy(d.data() + 1, x.data(), n * sizeof(float));
        fftwf_plan r2c =
            fftwf_plan_dft_r2c_1d(static_cast<int>(n), x.data(),
                                  reinterpret_cast<fftwf_complex *>(x.data()), FFTW_ESTIMATE);
        fftwf_execute(r2c);
        fftwf_destroy_plan(r2c);
        Spectrum ref = interleaved(x.data(), h + 1);
        for (auto &c : ref)
            c = std::conj(c);

        realft(d.data(), n, 1);
        Spectrum ours = interleaved(d.data() + 1, h);
        ours[0] = d[1];
        ours.push_back(d[2]);
        double err = relative_l2(ours, ref);
        worst.add(err / FLT_EPSILON, "forward n " + std::to_string(n));
        EXPECT_LT(err, tolerance(n)) << "forward " << err / FLT_EPSILON << " eps";

        // Inverse: feed FFTW's spectrum in packed form (conjugated) to both.
        d[1] = x[0];
        d[2] = x[n];
        for (unsigned long k = 1; k < h; ++k) {
            d[2 * k + 1] = x[2 * k];
            d[2 * k + 2] = -x[2 * k + 1];
        }
        std::vector<float> back(n);
        fftwf_plan c2r =
            fftwf_plan_dft_c2r_1d(static_cast<int>(n), reinterpret_cast<fftwf_complex *>(x.data()),
                                  back.data(), FFTW_ESTIMATE);
        fftwf_execute(c2r);
        fftwf_destroy_plan(c2r);
        realft(d.data(), n, -1);
        Spectrum got(n), want(n);
        for (unsigned long j = 0; j < n; ++j) {
            got[j] = 2.0 * d[j + 1];
            want[j] = back[j];
        }
        err = relative_l2(got, want);
        worst.add(err / FLT_EPSILON, "inverse n " + std::to_string(n));
        EXPECT_LT(err, tolerance(n)) << "inverse " << err / FLT_EPSILON << " eps";
        EXPECT_TRUE(d.guards_intact());
    }
    worst.report();
}

// ---------------------------------------------------------------- refusals

TEST(Fft1DeathTest, RefusedLengths)
{
    float data[16] = {};
    TV_EXPECT_FATAL(four1(data, 0, 1), "four1: nn = 0 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(four1(data, 6, -1), "four1: nn = 6 is not a power of two (1, 2, 4, ...)");
    TV_EXPECT_FATAL(realft(data, 0, 1), "realft: n = 0 is not a power of two >= 2");
    TV_EXPECT_FATAL(realft(data, 1, 1), "realft: n = 1 is not a power of two >= 2");
    TV_EXPECT_FATAL(realft(data, 12, -1), "realft: n = 12 is not a power of two >= 2");
}

}  // namespace
