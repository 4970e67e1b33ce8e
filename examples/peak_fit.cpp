// A Gaussian peak fitted by Levenberg-Marquardt (mrqmin with the fgauss
// model), with a stopping rule and the standard errors of the parameters.
//
// mrqmin does one iteration per call and has no convergence test of its own:
// the caller decides when to stop and then makes the finishing call
// (alamda = 0), which puts the covariance matrix into covar. The rule used
// here: stop after two accepted steps in a row that each lowered chi-square
// by less than 0.001 (or by less than 1e-6 of it); chi-square only matters to
// within about sqrt(2 (n - m)), so smaller changes are noise. A guard stops
// when lambda exceeds 1e10 (no step lowers chi-square any more at float
// precision) or after 200 calls.
//
// sqrt(covar[j][j]) is the standard error of a[j] only when sig holds the true
// measurement errors. When they are unknown, fit with sig = 1 and multiply by
// sqrt(chisq / (n - m)), which estimates the error from the scatter.
//
// Usage: peak_fit [fit.csv]  (writes x,y,model when given)
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

namespace {

const int kPoints = 101, kParams = 3;  // amplitude B, centre E, width G

struct Fit {
    float chisq;
    int calls;
};

// Fits a[1..3] from its starting values; covar receives the covariance.
Fit fit_peak(float *x, float *y, float *sig, float *a, float **covar)
{
    int ia[kParams + 1] = {0, 1, 1, 1};
    float **alpha = matrix(1, kParams, 1, kParams);
    float chisq = 0.0f, alamda = -1.0f;
    mrqmin(x, y, sig, kPoints, a, ia, kParams, covar, alpha, &chisq, fgauss, &alamda);
    int calls = 1, small_steps = 0;
    while (small_steps < 2 && alamda < 1.0e10f && calls < 200) {
        const float previous = chisq;
        mrqmin(x, y, sig, kPoints, a, ia, kParams, covar, alpha, &chisq, fgauss, &alamda);
        calls++;
        if (chisq < previous) {  // accepted
            const float decrease = previous - chisq;
            small_steps = (decrease < 0.001f || decrease < 1.0e-6f * chisq) ? small_steps + 1 : 0;
        }
    }
    alamda = 0.0f;  // finishing call: covariance into covar, a untouched
    mrqmin(x, y, sig, kPoints, a, ia, kParams, covar, alpha, &chisq, fgauss, &alamda);
    free_matrix(alpha, 1, kParams, 1, kParams);
    return {chisq, calls};
}

}  // namespace

int main(int argc, char **argv)
{
    // A spectral line: amplitude 2.5 at 4.2 with width 1.3, noise 0.05.
    const float noise = 0.05f;
    float *x = vector(1, kPoints), *y = vector(1, kPoints), *sig = vector(1, kPoints);
    long seed = -11;
    for (int i = 1; i <= kPoints; i++) {
        x[i] = 0.1f * static_cast<float>(i - 1);
        const double arg = (x[i] - 4.2) / 1.3;
        y[i] = static_cast<float>(2.5 * std::exp(-arg * arg)) + noise * gasdev(&seed);
        sig[i] = noise;
    }
    const char *names[kParams + 1] = {"", "amplitude", "centre", "width"};
    const int dof = kPoints - kParams;

    float a[kParams + 1] = {0.0f, 2.0f, 5.0f, 1.0f};
    float **covar = matrix(1, kParams, 1, kParams);
    const Fit known = fit_peak(x, y, sig, a, covar);
    std::printf("known errors (sig = %.2f): chi2 = %.2f for %d degrees of freedom, %d calls\n",
                noise, known.chisq, dof, known.calls);
    for (int j = 1; j <= kParams; j++)
        std::printf("  %-9s = %.4f +- %.4f\n", names[j], a[j], std::sqrt(covar[j][j]));

    // The same data as if the errors were unknown: sig = 1, errors scaled by the scatter.
    float *unit = vector(1, kPoints);
    for (int i = 1; i <= kPoints; i++)
        unit[i] = 1.0f;
    float b[kParams + 1] = {0.0f, 2.0f, 5.0f, 1.0f};
    const Fit unknown = fit_peak(x, y, unit, b, covar);
    const float scale = std::sqrt(unknown.chisq / dof);
    std::printf("unknown errors (sig = 1): residual sd = %.4f\n", scale);
    for (int j = 1; j <= kParams; j++)
        std::printf("  %-9s = %.4f +- %.4f\n", names[j], b[j], scale * std::sqrt(covar[j][j]));

    if (argc > 1) {
        std::FILE *csv = std::fopen(argv[1], "w");
        if (csv == nullptr) {
            std::perror(argv[1]);
            return 1;
        }
        std::fprintf(csv, "x,y,model\n");
        for (int i = 1; i <= kPoints; i++) {
            float model = 0.0f, dyda[kParams + 1];
            fgauss(x[i], a, &model, dyda, kParams);
            std::fprintf(csv, "%.3f,%.6g,%.6g\n", x[i], y[i], model);
        }
        std::fclose(csv);
        std::printf("wrote %s\n", argv[1]);
    }

    free_vector(unit, 1, kPoints);
    free_matrix(covar, 1, kParams, 1, kParams);
    free_vector(sig, 1, kPoints);
    free_vector(y, 1, kPoints);
    free_vector(x, 1, kPoints);
    return 0;
}
