// Measures the accuracy of the numerics against independent double-precision implementations of the
// same mathematics (Boost.Math for the special functions and distributions, FFTW for the
// transforms, LAPACK for the linear algebra) and prints a Markdown page; `make accuracy`
// (scripts/accuracy_table.py) puts the rows its own sections do not measure into docs/accuracy.md.
//
// Errors are in units in the last place (ulps) of a float: for a scalar function, of the reference
// value itself; for a transform or a decomposition, of the largest output (so the figure says how
// many float steps the worst component is off at the scale of the result). Inputs are drawn from a
// fixed seed, so the page is the same on every run.
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <fftw3.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "nrutil.h"
#include "stat.h"

// Reference LAPACK in double precision (column-major; trailing hidden string lengths).
extern "C" {
void dgesvd_(const char *jobu, const char *jobvt, const int *m, const int *n, double *a,
             const int *lda, double *s, double *u, const int *ldu, double *vt, const int *ldvt,
             double *work, const int *lwork, int *info, std::size_t, std::size_t);
void dsyev_(const char *jobz, const char *uplo, const int *n, double *a, const int *lda, double *w,
            double *work, const int *lwork, int *info, std::size_t, std::size_t);
void dgesv_(const int *n, const int *nrhs, double *a, const int *lda, int *ipiv, double *b,
            const int *ldb, int *info);
}

namespace {

constexpr int kPoints = 4000;
std::mt19937_64 rng(2385);

double uniform(double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// The spacing of floats at |r| (the smallest subnormal step for r = 0).
double float_ulp(double r)
{
    r = std::fabs(r);
    if (r < FLT_MIN)
        return std::ldexp(1.0, -149);
    return std::ldexp(1.0, std::ilogb(r) - 23);
}

struct Worst {
    double ulps = 0.0, relative = 0.0;
    std::string where;
    void add(double ours, double reference, double scale, const std::string &at)
    {
        const double error = std::fabs(ours - reference);
        const double u = error / float_ulp(scale);
        if (u > ulps || std::isnan(ours)) {
            ulps = std::isnan(ours) ? INFINITY : u;
            where = at;
        }
        if (reference != 0.0)
            relative = std::max(relative, error / std::fabs(reference));
    }
};

void row(const char *function, const char *reference, const char *range, int points, const Worst &w)
{
    std::printf("| `%s` | %s | %s | %d | %.1f | %.2g | %s |\n", function, reference, range, points,
                w.ulps, w.relative, w.where.c_str());
}

std::string at(const char *format, double a, double b = 0.0, double c = 0.0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

double t_two_sided(double t, double df)
{
    return 2.0 *
           boost::math::cdf(boost::math::complement(boost::math::students_t(df), std::fabs(t)));
}

// Kolmogorov-Smirnov tail in long double: theta-function form below 1, alternating series above.
double ks_tail(double lambda)
{
    const long double pi = 3.141592653589793238462643383279502884L, l = lambda;
    long double sum = 0;
    if (l < 1) {
        for (int k = 1; k <= 200; k++)
            sum += std::exp(-(2 * k - 1) * (2 * k - 1) * pi * pi / (8 * l * l));
        return static_cast<double>(1 - std::sqrt(2 * pi) / l * sum);
    }
    for (int j = 200; j >= 1; j--)
        sum += (j % 2 ? 2 : -2) * std::exp(-2 * static_cast<long double>(j) * j * l * l);
    return static_cast<double>(sum);
}

void special_functions()
{
    Worst w;
    for (int k = 0; k < kPoints; k++) {
        const double x = uniform(3.0, 1000.0);
        // gammln is double: its error in float ulps is far below 1; reported as relative error.
        w.add(gammln(x), boost::math::lgamma(x), boost::math::lgamma(x), at("x = %.6g", x));
    }
    row("gammln", "Boost `lgamma`", "x in [3, 1000]", kPoints, w);

    w = Worst();
    for (int k = 0; k < kPoints; k++) {
        const float a = static_cast<float>(uniform(0.5, 40.0));
        const float x = static_cast<float>(uniform(0.0, 2.0 * a + 10.0));
        const double ref = boost::math::gamma_q(static_cast<double>(a), static_cast<double>(x));
        w.add(gammq(a, x), ref, ref, at("a = %.6g, x = %.6g", a, x));
    }
    row("gammq", "Boost `gamma_q`", "a in [0.5, 40], x in [0, 2a + 10]", kPoints, w);

    w = Worst();
    for (int k = 0; k < kPoints; k++) {
        const float a = static_cast<float>(uniform(0.5, 40.0)),
                    b = static_cast<float>(uniform(0.5, 40.0)),
                    x = static_cast<float>(uniform(0.0, 1.0));
        const double ref = boost::math::ibeta(static_cast<double>(a), static_cast<double>(b),
                                              static_cast<double>(x));
        if (ref < 1e-30)
            continue;
        w.add(betai(a, b, x), ref, ref, at("a = %.5g, b = %.5g, x = %.5g", a, b, x));
    }
    row("betai", "Boost `ibeta`", "a, b in [0.5, 40], x in [0, 1], I >= 1e-30", kPoints, w);

    w = Worst();
    for (int k = 0; k < kPoints; k++) {
        const float x = static_cast<float>(uniform(-4.0, 9.0));
        const double ref = boost::math::erfc(static_cast<double>(x));
        w.add(erfcc(x), ref, ref, at("x = %.6g", x));
    }
    row("erfcc", "Boost `erfc`", "x in [-4, 9]", kPoints, w);

    w = Worst();
    for (int k = 0; k < kPoints; k++) {
        const float l = static_cast<float>(uniform(0.3, 3.5));
        const double ref = ks_tail(l);
        w.add(probks(l), ref, ref, at("lambda = %.6g", l));
    }
    row("probks", "theta series (long double)", "lambda in [0.3, 3.5]", kPoints, w);
}

// The p-values are also reported over p <= 0.5 alone: near p = 1 (|t| small against sqrt(df)) the
// ratio df / (df + t^2) is formed in float and rounds to 1 or its neighbour, which costs relative
// accuracy there but not where significance is decided.
void probabilities()
{
    Worst w, significant;
    for (int k = 0; k < kPoints; k++) {
        const unsigned long df = 1 + rng() % 200;
        const float t = static_cast<float>(uniform(0.0, 20.0));
        const double ref = t_two_sided(t, static_cast<double>(df));
        if (ref < 1e-30)
            continue;
        const float p = t_to_p(t, df);
        w.add(p, ref, ref, at("t = %.6g, df = %.0f", t, static_cast<double>(df)));
        if (ref <= 0.5)
            significant.add(p, ref, ref, at("t = %.6g, df = %.0f", t, static_cast<double>(df)));
    }
    row("t_to_p", "Boost `students_t`", "t in [0, 20], df in 1..200, p >= 1e-30", kPoints, w);
    row("t_to_p", "Boost `students_t`", "as above, p <= 0.5", kPoints, significant);

    w = significant = Worst();
    for (int k = 0; k < kPoints; k++) {
        const float df = static_cast<float>(uniform(0.5, 200.0));
        const float t = static_cast<float>(uniform(0.0, 20.0));
        const double ref = t_two_sided(t, df);
        if (ref < 1e-30)
            continue;
        const float p = t_to_p_real(t, df);
        w.add(p, ref, ref, at("t = %.6g, df = %.6g", t, df));
        if (ref <= 0.5)
            significant.add(p, ref, ref, at("t = %.6g, df = %.6g", t, df));
    }
    row("t_to_p_real", "Boost `students_t`", "t in [0, 20], df in [0.5, 200], p >= 1e-30", kPoints,
        w);
    row("t_to_p_real", "Boost `students_t`", "as above, p <= 0.5", kPoints, significant);

    w = Worst();
    for (int k = 0; k < kPoints; k++) {
        const unsigned long d1 = 1 + rng() % 100, d2 = 1 + rng() % 100;
        const float f = static_cast<float>(uniform(0.0, 20.0));
        const double ref = boost::math::cdf(boost::math::complement(
            boost::math::fisher_f(static_cast<double>(d1), static_cast<double>(d2)),
            static_cast<double>(f)));
        if (ref < 1e-30)
            continue;
        w.add(F_to_p(f, d1, d2), ref, ref,
              at("F = %.6g, df = %.0f, %.0f", f, static_cast<double>(d1), static_cast<double>(d2)));
    }
    row("F_to_p", "Boost `fisher_f`", "F in [0, 20], df_1, df_2 in 1..100, p >= 1e-30", kPoints, w);

    w = significant = Worst();
    for (int k = 0; k < kPoints; k++) {
        const unsigned long n = 3 + rng() % 198;
        const float r = static_cast<float>(uniform(-0.999, 0.999));
        const double df = static_cast<double>(n - 2), rd = r;
        const double ref = t_two_sided(rd * std::sqrt(df / ((1.0 - rd) * (1.0 + rd))), df);
        if (ref < 1e-30)
            continue;
        const float p = r_to_p(r, n);
        w.add(p, ref, ref, at("r = %.6g, n = %.0f", r, static_cast<double>(n)));
        if (ref <= 0.5)
            significant.add(p, ref, ref, at("r = %.6g, n = %.0f", r, static_cast<double>(n)));
    }
    row("r_to_p", "Boost `students_t`", "r in [-0.999, 0.999], n in 3..200, p >= 1e-30", kPoints,
        w);
    row("r_to_p", "Boost `students_t`", "as above, p <= 0.5", kPoints, significant);
}

// One transform per length 2^3..2^16 on uniform data in [-1, 1].
void transforms()
{
    Worst complex_worst, real_worst;
    int lengths = 0;
    for (int bits = 3; bits <= 16; bits++, lengths++) {
        const unsigned long n = 1ul << bits;
        float *data = vector(1, 2 * n);
        std::vector<std::complex<double>> in(n), out(n);
        for (unsigned long j = 0; j < n; j++) {
            data[2 * j + 1] = static_cast<float>(uniform(-1.0, 1.0));
            data[2 * j + 2] = static_cast<float>(uniform(-1.0, 1.0));
            in[j] = {data[2 * j + 1], data[2 * j + 2]};
        }
        // Exponent +2 pi i, as four1 with isign = +1: FFTW's backward transform.
        fftw_plan plan = fftw_plan_dft_1d(
            static_cast<int>(n), reinterpret_cast<fftw_complex *>(in.data()),
            reinterpret_cast<fftw_complex *>(out.data()), FFTW_BACKWARD, FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        four1(data, n, 1);
        double scale = 0.0;
        for (const auto &z : out)
            scale = std::max(scale, std::abs(z));
        for (unsigned long k = 0; k < n; k++) {
            complex_worst.add(data[2 * k + 1], out[k].real(), scale, at("nn = %.0f", n));
            complex_worst.add(data[2 * k + 2], out[k].imag(), scale, at("nn = %.0f", n));
        }

        // realft: the packed half spectrum of n real samples, the conjugate of FFTW's r2c.
        std::vector<double> samples(n);
        std::vector<std::complex<double>> half(n / 2 + 1);
        for (unsigned long j = 0; j < n; j++) {
            data[j + 1] = static_cast<float>(uniform(-1.0, 1.0));
            samples[j] = data[j + 1];
        }
        plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), samples.data(),
                                    reinterpret_cast<fftw_complex *>(half.data()), FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        realft(data, n, 1);
        scale = 0.0;
        for (const auto &z : half)
            scale = std::max(scale, std::abs(z));
        real_worst.add(data[1], half[0].real(), scale, at("n = %.0f", n));
        real_worst.add(data[2], half[n / 2].real(), scale, at("n = %.0f", n));
        for (unsigned long k = 1; k < n / 2; k++) {
            real_worst.add(data[2 * k + 1], half[k].real(), scale, at("n = %.0f", n));
            real_worst.add(data[2 * k + 2], -half[k].imag(), scale, at("n = %.0f", n));
        }
        free_vector(data, 1, 2 * n);
    }
    row("four1", "FFTW (double)", "nn = 2^3..2^16, data in [-1, 1]", lengths, complex_worst);
    row("realft", "FFTW r2c (double)", "n = 2^3..2^16, data in [-1, 1]", lengths, real_worst);
}

// Random matrices with entries in [-1, 1], sizes 2..64.
void linear_algebra()
{
    Worst svd_worst, eigen_worst, solve_worst;
    int count = 0;
    for (int n = 2; n <= 64; n += (n < 16 ? 1 : 8), count++) {
        const int m = n + n / 2, one = 1;
        // svdcmp against dgesvd: singular values, sorted descending.
        float **a = matrix(1, m, 1, n), **v = matrix(1, n, 1, n);
        float *w = vector(1, n);
        std::vector<double> ad(static_cast<std::size_t>(m) * n), s(n), work(1);
        for (int i = 1; i <= m; i++)
            for (int j = 1; j <= n; j++) {
                a[i][j] = static_cast<float>(uniform(-1.0, 1.0));
                ad[static_cast<std::size_t>(j - 1) * m + (i - 1)] = a[i][j];
            }
        svdcmp(a, m, n, w, v);
        int lwork = -1, info = 0;
        double unused = 0.0;
        dgesvd_("N", "N", &m, &n, ad.data(), &m, s.data(), &unused, &one, &unused, &one,
                work.data(), &lwork, &info, 1, 1);
        lwork = static_cast<int>(work[0]);
        work.resize(lwork);
        dgesvd_("N", "N", &m, &n, ad.data(), &m, s.data(), &unused, &one, &unused, &one,
                work.data(), &lwork, &info, 1, 1);
        std::vector<double> ours(w + 1, w + n + 1);
        std::sort(ours.rbegin(), ours.rend());
        for (int j = 0; j < n; j++)
            svd_worst.add(ours[j], s[j], s[0], at("%.0f x %.0f", m, n));
        free_vector(w, 1, n);
        free_matrix(v, 1, n, 1, n);
        free_matrix(a, 1, m, 1, n);

        // jacobi against dsyev: eigenvalues of a symmetric matrix, sorted ascending.
        float **sym = matrix(1, n, 1, n), **vec = matrix(1, n, 1, n);
        float *d = vector(1, n);
        std::vector<double> sd(static_cast<std::size_t>(n) * n), ev(n);
        for (int i = 1; i <= n; i++)
            for (int j = i; j <= n; j++) {
                sym[i][j] = sym[j][i] = static_cast<float>(uniform(-1.0, 1.0));
                sd[static_cast<std::size_t>(j - 1) * n + (i - 1)] = sym[i][j];
                sd[static_cast<std::size_t>(i - 1) * n + (j - 1)] = sym[i][j];
            }
        int nrot = 0;
        jacobi(sym, n, d, vec, &nrot);
        lwork = -1;
        dsyev_("N", "U", &n, sd.data(), &n, ev.data(), work.data(), &lwork, &info, 1, 1);
        lwork = static_cast<int>(work[0]);
        work.resize(lwork);
        dsyev_("N", "U", &n, sd.data(), &n, ev.data(), work.data(), &lwork, &info, 1, 1);
        std::vector<double> eig(d + 1, d + n + 1);
        std::sort(eig.begin(), eig.end());
        const double largest = std::max(std::fabs(ev.front()), std::fabs(ev.back()));
        for (int j = 0; j < n; j++)
            eigen_worst.add(eig[j], ev[j], largest, at("n = %.0f", n));
        free_vector(d, 1, n);
        free_matrix(vec, 1, n, 1, n);
        free_matrix(sym, 1, n, 1, n);

        // gaussj against dgesv: one right-hand side.
        float **g = matrix(1, n, 1, n), **b = matrix(1, n, 1, 1);
        std::vector<double> gd(static_cast<std::size_t>(n) * n), x(n);
        std::vector<int> pivots(n);
        for (int i = 1; i <= n; i++) {
            for (int j = 1; j <= n; j++) {
                g[i][j] = static_cast<float>(uniform(-1.0, 1.0));
                gd[static_cast<std::size_t>(j - 1) * n + (i - 1)] = g[i][j];
            }
            b[i][1] = static_cast<float>(uniform(-1.0, 1.0));
            x[i - 1] = b[i][1];
        }
        gaussj(g, n, b, 1);
        dgesv_(&n, &one, gd.data(), &n, pivots.data(), x.data(), &n, &info);
        double xmax = 0.0;
        for (double xi : x)
            xmax = std::max(xmax, std::fabs(xi));
        for (int i = 1; i <= n; i++)
            solve_worst.add(b[i][1], x[i - 1], xmax, at("n = %.0f", n));
        free_matrix(b, 1, n, 1, 1);
        free_matrix(g, 1, n, 1, n);
    }
    row("svdcmp", "LAPACK `dgesvd`", "singular values, 1.5n x n, n = 2..64, entries in [-1, 1]",
        count, svd_worst);
    row("jacobi", "LAPACK `dsyev`", "eigenvalues, n = 2..64, entries in [-1, 1]", count,
        eigen_worst);
    row("gaussj", "LAPACK `dgesv`", "solution of A x = b, n = 2..64, entries in [-1, 1]", count,
        solve_worst);
}

}  // namespace

int main()
{
    std::printf("# Accuracy\n\n");
    std::printf(
        "Written by `make accuracy` (program `tests/reference/accuracy_report.cpp`); do not edit "
        "by hand.\n\n");
    std::printf(
        "Each routine is compared with an independent double-precision implementation of the "
        "same mathematics at inputs drawn from a fixed seed. The inputs are floats, and the "
        "reference is evaluated at exactly those floats.\n\n");
    std::printf(
        "- *worst ulps*: the largest error in units in the last place of a float: of the "
        "reference value for the scalar functions, of the largest output for the transforms "
        "and decompositions (the error at the scale of the result). For `gammln`, which "
        "works in double, the figure is far below one float ulp.\n");
    std::printf("- *worst relative error*: the largest |ours - reference| / |reference| over the "
                "non-zero references. Small tail probabilities and small singular values or "
                "eigenvalues carry large relative errors at a few ulps of the result's scale.\n");
    std::printf("- The p-value rows are repeated over p <= 0.5. Near p = 1 (|t| small against "
                "sqrt(df)) the ratio df / (df + t^2) is formed in float and rounds to 1 or its "
                "neighbour, which costs relative accuracy there, not where significance is "
                "decided.\n");
    std::printf(
        "- *points*: inputs drawn (scalar functions; those with a reference below the stated "
        "floor are skipped) or problem sizes (transforms, decompositions).\n\n");
    std::printf("| function | reference | range | points | worst ulps | worst relative error | "
                "worst at |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    special_functions();
    probabilities();
    transforms();
    linear_algebra();
    std::printf("\n## Across machines\n\n");
    std::printf(
        "The same inputs give the same bits on every machine whose C library gives the same "
        "results from `exp`, `log`, `sin`, `cos`, `sqrt` and `pow` (the library calls `exp`, "
        "`log`, `sin` and `sqrt`; `sqrt` is correctly rounded everywhere). The bit pins "
        "of every routine agree on x86-64 with glibc's FMA and its non-FMA functions and on "
        "aarch64; NaN results agree in being NaN, not in sign or payload. Which routine depends "
        "on which function, and what was measured: [reproducibility.md](reproducibility.md).\n");
    return 0;
}
