/* Two samples compared from C through <tessivane/tessivane_c.h>: Student's t and
 * the exact two-sample Kolmogorov-Smirnov test, each with its two-sided p-value,
 * and what a failure looks like. Every tv_ function returns TV_OK or an error
 * code with the message in tv_last_error(); none ends the process.
 *
 * Build against an installed package:
 *   gcc -std=c99 ttest.c $(pkg-config --cflags --libs tessivane)
 */
#include <tessivane/tessivane_c.h>

#include <stdio.h>

/* Reports a failed call and leaves main with status 1. */
#define TRY(call)                                                                                  \
    do {                                                                                           \
        if ((call) != TV_OK) {                                                                     \
            fprintf(stderr, "%s failed: %s\n", #call, tv_last_error());                            \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

int main(void)
{
    /* Reaction times (s) of a control and a treated group. */
    const float control_data[] = {0.48f, 0.52f, 0.50f, 0.47f, 0.55f, 0.51f, 0.49f, 0.53f};
    const float treated_data[] = {0.58f, 0.61f, 0.54f, 0.66f, 0.57f, 0.63f, 0.59f};
    const unsigned long n1 = 8, n2 = 7;
    float *control, *treated, t, d, p, unused = 0.0f;
    unsigned long i;

    /* The routines take 1-based arrays: element 1 is the first value. */
    TRY(tv_vector(1, (long)n1, &control));
    TRY(tv_vector(1, (long)n2, &treated));
    for (i = 0; i < n1; i++)
        control[i + 1] = control_data[i];
    for (i = 0; i < n2; i++)
        treated[i + 1] = treated_data[i];

    TRY(tv_ttest(control, n1, treated, n2, &t, &unused));
    TRY(tv_t_to_p(t, n1 + n2 - 2, &p));
    printf("Student's t = %.4f, df = %lu, p = %.4g\n", t, n1 + n2 - 2, p);

    /* kstwo sorts both samples in place. */
    TRY(tv_kstwo(control, n1, treated, n2, &d, &unused));
    TRY(tv_kstwo_prob_exact(d, n1, n2, &p));
    printf("Kolmogorov-Smirnov D = %.4f, exact p = %.4g\n", d, p);

    /* A refused argument is a status and a message, and the program goes on. */
    if (tv_kstwo_prob_exact(d, n1, 0, &p) != TV_OK)
        printf("refused as expected: %s\n", tv_last_error());

    tv_free_vector(treated, 1, (long)n2);
    tv_free_vector(control, 1, (long)n1);
    printf("libtessivane %s\n", tv_version());
    return 0;
}
