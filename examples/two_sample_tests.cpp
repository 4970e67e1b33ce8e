// Two samples compared three ways, each statistic with its two-sided p-value:
// Student's t (pooled variance), Welch's t (unequal variances) and the
// two-sample Kolmogorov-Smirnov D.
//
// The tests deliver the statistic only; their prob argument is left as passed.
// The p-values come from separate calls:
//   ttest  -> t_to_p(t, n1 + n2 - 2)
//   tutest -> t_to_p_real(t, welch_df(data1, n1, data2, n2))
//   kstwo  -> kstwo_prob_exact(d, n1, n2), or kstwo_prob(d, n1, n2) for large samples
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cmath>
#include <cstdio>

int main()
{
    // Reaction times (s): a control group and a treated group with a larger
    // spread and a later mean.
    const unsigned long n1 = 20, n2 = 14;
    float *control = vector(1, n1), *treated = vector(1, n2);
    long seed = -42;
    for (unsigned long i = 1; i <= n1; i++)
        control[i] = 0.50f + 0.05f * gasdev(&seed);
    for (unsigned long i = 1; i <= n2; i++)
        treated[i] = 0.56f + 0.12f * gasdev(&seed);

    float ave1, var1, ave2, var2;
    avevar(control, n1, &ave1, &var1);
    avevar(treated, n2, &ave2, &var2);
    std::printf("control: n = %lu, mean %.4f, sd %.4f\n", n1, ave1, std::sqrt(var1));
    std::printf("treated: n = %lu, mean %.4f, sd %.4f\n", n2, ave2, std::sqrt(var2));

    float t = 0.0f, unused = 0.0f;
    ttest(control, n1, treated, n2, &t, &unused);
    std::printf("Student's t = %.4f, df = %lu, p = %.4g\n", t, n1 + n2 - 2, t_to_p(t, n1 + n2 - 2));

    tutest(control, n1, treated, n2, &t, &unused);
    const float df = welch_df(control, n1, treated, n2);
    std::printf("Welch's t   = %.4f, df = %.2f, p = %.4g\n", t, df, t_to_p_real(t, df));

    // kstwo sorts both samples in place; they are not needed in order afterwards.
    float d = 0.0f;
    kstwo(control, n1, treated, n2, &d, &unused);
    std::printf("Kolmogorov-Smirnov D = %.4f, p = %.4g (exact), %.4g (asymptotic)\n", d,
                kstwo_prob_exact(d, n1, n2), kstwo_prob(d, n1, n2));

    free_vector(treated, 1, n2);
    free_vector(control, 1, n1);
    return 0;
}
