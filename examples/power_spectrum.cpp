// Power spectrum of a sampled signal with realft.
//
// Two sines (10 Hz and 25 Hz, amplitudes 1 and 0.5) plus Gaussian noise, 256
// samples at 128 Hz. realft(data, n, 1) returns the packed half spectrum in
// place: data[1] = F_0, data[2] = F_{n/2} (both real), and data[2k+1],
// data[2k+2] = Re, Im of F_k for k = 1..n/2-1.
//
// Sign convention: isign = +1 computes F_k = sum_j x_j exp(+2 pi i j k / n).
// NumPy's np.fft.rfft (and FFTW's forward transform) use exp(-2 pi i j k / n),
// so their F_k is the complex conjugate of ours for real input: the same real
// parts and power, imaginary parts (and phases) of opposite sign. No transform
// normalises; |F_k| of a sine of amplitude A on bin k is A n / 2.
//
// Usage: power_spectrum [spectrum.csv]  (writes frequency,power when given)
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    const unsigned long n = 256;
    const double rate = 128.0;  // samples per second: bins are 0.5 Hz apart
    const double pi = 3.141592653589793;

    float *data = vector(1, n);
    long seed = -17;
    for (unsigned long j = 0; j < n; j++) {
        const double time = j / rate;
        data[j + 1] = static_cast<float>(std::sin(2.0 * pi * 10.0 * time) +
                                         0.5 * std::sin(2.0 * pi * 25.0 * time)) +
                      0.3f * gasdev(&seed);
    }

    realft(data, n, 1);

    // One-sided power |F_k|^2 / n^2 (the squared amplitude over 4 for a sine
    // that sits on a bin); F_0 and F_{n/2} are real and stored at data[1], data[2].
    float *power = vector(0, n / 2);
    power[0] = data[1] * data[1];
    power[n / 2] = data[2] * data[2];
    for (unsigned long k = 1; k < n / 2; k++)
        power[k] = data[2 * k + 1] * data[2 * k + 1] + data[2 * k + 2] * data[2 * k + 2];
    for (unsigned long k = 0; k <= n / 2; k++)
        power[k] /= static_cast<float>(n) * static_cast<float>(n);

    // The two strongest bins.
    unsigned long first = 1, second = 1;
    for (unsigned long k = 1; k <= n / 2; k++) {
        if (power[k] > power[first]) {
            second = first;
            first = k;
        } else if (k != first && power[k] > power[second]) {
            second = k;
        }
    }
    std::printf("power spectrum of %lu samples at %.0f Hz (bins %.2f Hz apart)\n", n, rate,
                rate / n);
    std::printf("strongest peak: %.2f Hz, amplitude %.3f\n", first * rate / n,
                2.0 * std::sqrt(power[first]));
    std::printf("second peak:    %.2f Hz, amplitude %.3f\n", second * rate / n,
                2.0 * std::sqrt(power[second]));
    std::printf("F_10Hz = %.3f %+.3fi here; NumPy's rfft gives the conjugate, %.3f %+.3fi\n",
                data[2 * 20 + 1], data[2 * 20 + 2], data[2 * 20 + 1], -data[2 * 20 + 2]);

    if (argc > 1) {
        std::FILE *csv = std::fopen(argv[1], "w");
        if (csv == nullptr) {
            std::perror(argv[1]);
            return 1;
        }
        std::fprintf(csv, "frequency_hz,power\n");
        for (unsigned long k = 0; k <= n / 2; k++)
            std::fprintf(csv, "%.4f,%.6g\n", k * rate / n, power[k]);
        std::fclose(csv);
        std::printf("wrote %s\n", argv[1]);
    }

    free_vector(power, 0, n / 2);
    free_vector(data, 1, n);
    return 0;
}
