/* The C interface from a C99 program (built with -std=c99 -pedantic -Werror): a fit whose basis
 * is a C callback, the shipped basis and model passed as callbacks without a cast, the voxel-wise
 * fit with its per-row outcomes and messages, and a failure
 * as a status and a message. Prints the first mismatch and exits
 * with status 1. */
#include "tessivane_c.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            printf("line %d: %s (last error: \"%s\")\n", __LINE__, #condition, tv_last_error());   \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)

static void quadratic(float x, float *p, int np)
{
    p[1] = 1.0f, p[2] = x, p[3] = x * x;
    (void)np;
}

int main(void)
{
    enum { n = 30 };
    float *x, *y, *sig, *a, *w, **u, **v, chisq, out = 2.5f;
    int i;

    CHECK(strcmp(tv_version(), TESSIVANE_VERSION_STRING) == 0);
    CHECK(tv_vector(1, n, &x) == TV_OK && tv_vector(1, n, &y) == TV_OK);
    CHECK(tv_vector(1, n, &sig) == TV_OK && tv_vector(1, 3, &a) == TV_OK);
    CHECK(tv_vector(1, 3, &w) == TV_OK && tv_matrix(1, n, 1, 3, &u) == TV_OK);
    CHECK(tv_matrix(1, 3, 1, 3, &v) == TV_OK);
    for (i = 1; i <= n; i++) {
        x[i] = 0.25f * (float)i;
        y[i] = 1.5f - 0.5f * x[i] + 0.25f * x[i] * x[i];
        sig[i] = 0.1f;
    }
    CHECK(tv_svdfit(x, y, sig, n, a, 3, u, v, w, &chisq, quadratic) == TV_OK);
    CHECK(fabsf(a[1] - 1.5f) < 1e-3f && fabsf(a[2] + 0.5f) < 1e-3f && fabsf(a[3] - 0.25f) < 1e-4f);
    CHECK(tv_svdfit(x, y, sig, n, a, 3, u, v, w, &chisq, tv_fpoly) == TV_OK);
    CHECK(fabsf(a[1] - 1.5f) < 1e-3f && fabsf(a[2] + 0.5f) < 1e-3f && fabsf(a[3] - 0.25f) < 1e-4f);
    {
        int ia[4] = {0, 1, 1, 1};
        float alamda = -1.0f;
        a[1] = 1.0f, a[2] = 2.0f, a[3] = 1.0f;
        CHECK(tv_mrqmin(x, y, sig, n, a, ia, 3, u, v, &chisq, tv_fgauss, &alamda) == TV_OK);
        alamda = 0.0f;
        CHECK(tv_mrqmin(x, y, sig, n, a, ia, 3, u, v, &chisq, tv_fgauss, &alamda) == TV_OK);
    }
    {
        /* Two Gaussian rows from their automatic starts, the second holding a NaN. */
        float rows[2][n], params[2][3], chi[2];
        tv_lm_row_outcome o[2];
        char messages[2][TV_LM_MESSAGE_SIZE];
        for (i = 0; i < n; i++)
            rows[0][i] = rows[1][i] = 2.0f * expf(-(x[i + 1] - 3.0f) * (x[i + 1] - 3.0f));
        rows[1][4] = NAN;
        CHECK(tv_lm_fit_many(x + 1, 0, &rows[0][0], NULL, 0, 2, n, NULL, TV_LM_START_AUTO, 3,
                             NULL, NULL, 0, 1, &params[0][0], NULL, chi, o,
                             &messages[0][0]) == TV_OK);
        CHECK(o[0].stop == TV_LM_CONVERGED && fabsf(params[0][1] - 3.0f) < 1e-3f);
        CHECK(o[1].stop == TV_LM_REFUSED && isnan(chi[1]));
        CHECK(strcmp(messages[1], "y is NaN at point 5 of 1..30") == 0);
    }
    CHECK(tv_ttest(x, 1, y, 1, &out, &out) == TV_ERROR_INVALID_ARGUMENT && out == 2.5f);

    CHECK(tv_gammq(-1.0f, 1.0f, &out) == TV_ERROR && out == 2.5f);
    CHECK(strcmp(tv_last_error(), "Invalid arguments in routine gammq") == 0);

    tv_free_matrix(v, 1, 3, 1, 3), tv_free_matrix(u, 1, n, 1, 3);
    tv_free_vector(w, 1, 3), tv_free_vector(a, 1, 3), tv_free_vector(sig, 1, n);
    tv_free_vector(y, 1, n), tv_free_vector(x, 1, n);
    printf("C interface: ok\n");
    return 0;
}
