// Dense single-precision matrix products, transposition, row scaling and
// copies between 0-based and 1-based storage. All matrices here are 0-based
// row-pointer matrices; copy_matrix is the bridge to the 1-based routines.
//
// Every sum is a float running sum from 0 with the summation index ascending,
// each product rounded to float before it is added.

#include "detail_linalg.h"
#include "stat.h"

void matrix_matrix_mult(float **a, float **b, float **c, int n, int s, int m)
{
    if (tessivane::detail::use_avx2() &&
        tessivane::detail::matrix_matrix_mult_avx2(a, b, c, n, s, m))
        return;
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++) {
            float sum = 0.0f;
            for (int k = 0; k < s; k++)
                sum += a[i][k] * b[k][j];
            c[i][j] = sum;
        }
    }
}

void transposematrix_matrix_mult(float **a, float **c, int n, int s)
{
    if (tessivane::detail::use_avx2() &&
        tessivane::detail::transposematrix_matrix_mult_avx2(a, c, n, s))
        return;
    for (int i = 0; i < n; i++) {
        const float *ai = a[i];
        for (int j = 0; j <= i; j++) {
            const float *aj = a[j];
            float sum = 0.0f;
            for (int k = 0; k < s; k++)
                sum += aj[k] * ai[k];
            c[i][j] = sum;
        }
    }
    // Mirroring rather than recomputing keeps the result exactly symmetric.
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++)
            c[j][i] = c[i][j];
}

void matrix_vector_mult(float **a, float *b, float *c, int n, int s)
{
    for (int i = 0; i < n; i++) {
        c[i] = 0.0f;
        for (int k = 0; k < s; k++)
            c[i] += a[i][k] * b[k];
    }
}

float vector_vector_mult(float *a, float *b, int n)
{
    float out = 0.0f;
    for (int i = 0; i < n; i++)
        out += a[i] * b[i];
    return out;
}

void matrix_transpose(float **m, float **t, int n, int s)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < s; j++)
            t[j][i] = m[i][j];
}

void copy_matrix(float **im, float **om, int n, int s, int copy_mode)
{
    int in_off, out_off;
    switch (copy_mode) {
    case 0:
        in_off = 0;
        out_off = 0;
        break;
    case 1:
        in_off = 1;
        out_off = 1;
        break;
    case 2:
        in_off = 0;
        out_off = 1;
        break;
    case 3:
        in_off = 1;
        out_off = 0;
        break;
    default:
        return;
    }
    for (int i = 0; i < n; i++)
        for (int j = 0; j < s; j++)
            om[i + out_off][j + out_off] = im[i + in_off][j + in_off];
}

void diagmatrix_matrix_mult(float *w, float **m, int n, int s)
{
    if (tessivane::detail::use_avx2() && tessivane::detail::diagmatrix_matrix_mult_avx2(w, m, n, s))
        return;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < s; j++)
            m[i][j] = w[i] * m[i][j];
}

void fast_matrix_matrix_mult(float **a, float ** /*b*/, float **c, int m, int /*n*/, int k,
                             bool /*tA*/, bool /*tB*/)
{
    transposematrix_matrix_mult(a, c, m, k);
}
