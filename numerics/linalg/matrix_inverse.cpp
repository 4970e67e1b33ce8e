// Inverse (or truncated pseudo-inverse) of a square 0-based matrix through its
// singular value decomposition: inv = V * diag(1/w) * U^T, with every singular
// value below 1e-6 times the largest one dropped.

#include "stat.h"

#include "detail_scratch.h"

bool getInverseMatrixUsingSVD(float **m, float **inv, int n)
{
    using tessivane::detail::scratch_matrix;
    using tessivane::detail::scratch_vector;
    scratch_matrix u(1, n, 1, n);
    scratch_matrix v(1, n, 1, n);
    scratch_vector<float> w(1, n);
    scratch_matrix u0(0, n - 1, 0, n - 1);
    scratch_matrix v0(0, n - 1, 0, n - 1);
    scratch_matrix tmpm(0, n - 1, 0, n - 1);
    float wmax = 0.0f;

    copy_matrix(m, u, n, n, 2);
    svdcmp(u, n, n, w, v);

    // A value left unconverged may be negative; its magnitude is the best
    // estimate there is.
    if (!tessivane::last_svd_converged()) {
        for (int j = 1; j <= n; j++)
            if (!(w[j] >= 0.0f))
                w[j] = -w[j];
    }

    for (int j = 1; j <= n; j++)
        if (w[j] > wmax)
            wmax = w[j];
    // The threshold is relative to the largest value, formed in double.
    float wmin = static_cast<float>(static_cast<double>(wmax) * 1.0e-6);
    for (int j = 1; j <= n; j++) {
        if (w[j] < wmin)
            w[j] = 0.0f;
        else
            w[j] = 1.0f / w[j];
    }

    copy_matrix(u, tmpm, n, n, 3);
    matrix_transpose(tmpm, u0, n, n);
    diagmatrix_matrix_mult(w + 1, u0, n, n);
    copy_matrix(v, tmpm, n, n, 3);
    copy_matrix(tmpm, v0, n, n, 0);
    matrix_matrix_mult(v0, u0, inv, n, n, n);

    // Released in this order, not in reverse order of allocation.
    u0.release();
    v0.release();
    tmpm.release();
    v.release();
    u.release();
    w.release();
    return true;
}
