// A calibration polynomial fitted with svdfit/fpoly, and why x must be scaled.
//
// svdfit zeroes every singular value below 1e-5 times the largest before it
// solves. With fpoly on raw abscissae of order 1e6 the columns 1, x, x^2 of
// the design matrix differ in size by 12 orders of magnitude, so the threshold
// removes whole directions of the fit and the coefficients are lost (chi-square
// far above the number of points). Mapping x onto [-1, 1] first,
// u = (x - centre) / half_width, gives columns of similar size; the fit in u is
// then well conditioned, and the coefficients of x follow by expanding the
// polynomial. The standard errors sqrt(cvm[j][j]) from svdvar are standard
// errors because sig holds the true measurement errors.
//
// Usage: polynomial_fit [fit.csv]  (writes x,y,raw_fit,scaled_fit when given)
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

namespace {

const int kPoints = 30, kTerms = 3;

// Fits y = sum_j a[j] x^(j-1) to (x, y, sig) and returns chi-square; w keeps the
// singular values as svdfit left them and cvm the covariance of a.
float fit_polynomial(float *x, float *y, float *sig, float *a, float *w, float **cvm)
{
    float **u = matrix(1, kPoints, 1, kTerms), **v = matrix(1, kTerms, 1, kTerms);
    float chisq = 0.0f;
    svdfit(x, y, sig, kPoints, a, kTerms, u, v, w, &chisq, fpoly);
    svdvar(v, kTerms, w, cvm);
    free_matrix(v, 1, kTerms, 1, kTerms);
    free_matrix(u, 1, kPoints, 1, kTerms);
    return chisq;
}

int zeroed(const float *w)
{
    int count = 0;
    for (int j = 1; j <= kTerms; j++)
        count += w[j] == 0.0f;
    return count;
}

float polynomial(const float *a, float x)
{
    return a[1] + x * (a[2] + x * a[3]);
}

}  // namespace

int main(int argc, char **argv)
{
    // A load cell: deflection y (mm) under loads x from 1e5 to 3e6 N, read to 2e-4 mm.
    float *x = vector(1, kPoints), *y = vector(1, kPoints), *sig = vector(1, kPoints);
    long seed = -3;
    for (int i = 1; i <= kPoints; i++) {
        x[i] = 1.0e5f * static_cast<float>(i);
        const double xd = x[i];
        y[i] =
            static_cast<float>(0.001 + 7.0e-7 * xd - 3.0e-15 * xd * xd) + 2.0e-4f * gasdev(&seed);
        sig[i] = 2.0e-4f;
    }

    float *a_raw = vector(1, kTerms), *w_raw = vector(1, kTerms);
    float **cvm_raw = matrix(1, kTerms, 1, kTerms);
    const float chisq_raw = fit_polynomial(x, y, sig, a_raw, w_raw, cvm_raw);
    std::printf("raw x:    chi2 = %.4g for %d points, %d of %d singular values zeroed\n", chisq_raw,
                kPoints, zeroed(w_raw), kTerms);
    std::printf("          y = %.6g + %.6g x + %.6g x^2\n", a_raw[1], a_raw[2], a_raw[3]);

    // Scale x onto [-1, 1].
    const float centre = 0.5f * (x[1] + x[kPoints]), half_width = 0.5f * (x[kPoints] - x[1]);
    float *u = vector(1, kPoints);
    for (int i = 1; i <= kPoints; i++)
        u[i] = (x[i] - centre) / half_width;
    float *b = vector(1, kTerms), *w = vector(1, kTerms);
    float **cvm = matrix(1, kTerms, 1, kTerms);
    const float chisq = fit_polynomial(u, y, sig, b, w, cvm);
    std::printf("scaled x: chi2 = %.4g for %d points, %d of %d singular values zeroed\n", chisq,
                kPoints, zeroed(w), kTerms);
    std::printf("          y = b1 + b2 u + b3 u^2, u = (x - %.4g) / %.4g\n", centre, half_width);
    for (int j = 1; j <= kTerms; j++)
        std::printf("          b%d = %.6g +- %.2g\n", j, b[j], std::sqrt(cvm[j][j]));

    // Back to the coefficients of x (expanding b1 + b2 u + b3 u^2), in double.
    const double c = centre, s = half_width;
    const double a2 = b[3] / (s * s), a1 = b[2] / s - 2.0 * b[3] * c / (s * s),
                 a0 = b[1] - b[2] * c / s + b[3] * c * c / (s * s);
    std::printf("          y = %.6g %+.6g x %+.6g x^2 (true: 0.001 + 7e-07 x - 3e-15 x^2)\n", a0,
                a1, a2);

    if (argc > 1) {
        std::FILE *csv = std::fopen(argv[1], "w");
        if (csv == nullptr) {
            std::perror(argv[1]);
            return 1;
        }
        std::fprintf(csv, "x,y,raw_fit,scaled_fit\n");
        for (int i = 1; i <= kPoints; i++)
            std::fprintf(csv, "%.6g,%.6g,%.6g,%.6g\n", x[i], y[i], polynomial(a_raw, x[i]),
                         polynomial(b, u[i]));
        std::fclose(csv);
        std::printf("wrote %s\n", argv[1]);
    }

    free_matrix(cvm, 1, kTerms, 1, kTerms);
    free_vector(w, 1, kTerms);
    free_vector(b, 1, kTerms);
    free_vector(u, 1, kPoints);
    free_matrix(cvm_raw, 1, kTerms, 1, kTerms);
    free_vector(w_raw, 1, kTerms);
    free_vector(a_raw, 1, kTerms);
    free_vector(sig, 1, kPoints);
    free_vector(y, 1, kPoints);
    free_vector(x, 1, kPoints);
    return 0;
}
