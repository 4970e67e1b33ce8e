// A short tour of the numerics: two groups compared with a t-test, a
// correlation with its significance, a weighted straight-line fit, a Gaussian
// peak fitted by Levenberg-Marquardt with the reason it stopped, and the
// spectrum of a sampled sine. Every number printed is the same on every
// machine the library is built for. `make demo` runs it.
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

int main()
{
    const unsigned long n = 12;
    float *control = vector(1, n), *treated = vector(1, n);
    long seed = -2385;  // negative: (re)seed the generator
    for (unsigned long i = 1; i <= n; i++) {
        control[i] = 10.0f + gasdev(&seed);
        treated[i] = 11.5f + gasdev(&seed);
    }

    float t = 0.0f, unused = 0.0f;
    ttest(control, n, treated, n, &t, &unused);
    std::printf("t-test, %lu vs %lu samples: t = %.4f, two-sided p = %.4g\n", n, n, t,
                t_to_p(t, 2 * n - 2));
    std::printf("critical |t| for p = 0.05 with %lu degrees of freedom: %.4f\n", 2 * n - 2,
                p_to_t(0.05f, 2 * n - 2));

    float r = 0.0f, prob = 0.0f, z = 0.0f;
    pearsn_prob(control, treated, n, &r, &prob, &z);
    std::printf("Pearson r between the groups: %.4f (p = %.4g)\n", r, prob);

    // y = 1.5 + 0.25 x with known measurement errors.
    const int points = 8;
    float *x = vector(1, points), *y = vector(1, points), *sig = vector(1, points);
    for (int i = 1; i <= points; i++) {
        x[i] = static_cast<float>(i);
        sig[i] = 0.1f;
        y[i] = 1.5f + 0.25f * x[i] + 0.1f * gasdev(&seed);
    }
    float a, b, siga, sigb, chi2, q;
    fit(x, y, points, sig, 1, &a, &b, &siga, &sigb, &chi2, &q);
    std::printf("line fit: y = (%.3f +- %.3f) + (%.4f +- %.4f) x, chi2 = %.3f, Q = %.3f\n", a, siga,
                b, sigb, chi2, q);

    // A Gaussian peak (amplitude 3, centre 18, width 4) in noise, fitted from a
    // rough start; run() iterates until no step can lower chi-square further.
    const int peak_points = 40, params = 3;
    float *px = vector(1, peak_points), *py = vector(1, peak_points),
          *psig = vector(1, peak_points);
    for (int i = 1; i <= peak_points; i++) {
        px[i] = static_cast<float>(i - 1);
        const float u = (px[i] - 18.0f) / 4.0f;
        py[i] = 3.0f * static_cast<float>(std::exp(-u * u)) + 0.1f * gasdev(&seed);
        psig[i] = 0.1f;
    }
    float start[params + 1] = {0.0f, 2.0f, 15.0f, 3.0f};
    int fitted[params + 1] = {0, 1, 1, 1};
    float **covar = matrix(1, params, 1, params), **alpha = matrix(1, params, 1, params);
    float peak_chi2 = 0.0f;
    tessivane::lm_fit lm;
    const tessivane::lm_outcome outcome =
        lm.run(px, py, psig, peak_points, start, fitted, params, covar, alpha, &peak_chi2, fgauss);
    const char *const stops[] = {"iteration limit", "converged", "stalled", "small steps"};
    std::printf("Gaussian peak fit: %s after %d iterations; amplitude %.3f +- %.3f, centre %.2f, "
                "width %.2f\n",
                stops[outcome.stop], outcome.iterations, start[1], std::sqrt(covar[1][1]), start[2],
                start[3]);

    // Four cycles of a sine over 64 samples: the power sits in bin 4.
    const unsigned long samples = 64;
    float *signal = vector(1, samples);
    for (unsigned long k = 0; k < samples; k++)
        signal[k + 1] = static_cast<float>(std::sin(2.0 * 3.141592653589793 * 4.0 * k / samples));
    realft(signal, samples, 1);
    unsigned long peak = 1;
    float best = 0.0f;
    for (unsigned long bin = 1; bin < samples / 2; bin++) {
        const float re = signal[2 * bin + 1], im = signal[2 * bin + 2];
        if (re * re + im * im > best) {
            best = re * re + im * im;
            peak = bin;
        }
    }
    std::printf("realft of a 4-cycle sine over %lu samples: strongest bin %lu, |F| = %.2f\n",
                samples, peak, std::sqrt(best));

    free_vector(signal, 1, samples);
    free_matrix(alpha, 1, params, 1, params);
    free_matrix(covar, 1, params, 1, params);
    free_vector(psig, 1, peak_points);
    free_vector(py, 1, peak_points);
    free_vector(px, 1, peak_points);
    free_vector(sig, 1, points);
    free_vector(y, 1, points);
    free_vector(x, 1, points);
    free_vector(treated, 1, n);
    free_vector(control, 1, n);
    return 0;
}
