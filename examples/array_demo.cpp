// A tour of the offset-indexed arrays: a 1-based matrix, a view into it, and a
// tensor walked linearly.
#include <tessivane/nrutil.h>

#include <cstdio>

int main()
{
    const long rows = 3, cols = 4;
    float **a = matrix(1, rows, 1, cols);
    for (long i = 1; i <= rows; i++)
        for (long j = 1; j <= cols; j++)
            a[i][j] = static_cast<float>(i) + static_cast<float>(j) / 10.0f;

    std::printf("matrix(1, %ld, 1, %ld):\n", rows, cols);
    for (long i = 1; i <= rows; i++) {
        for (long j = 1; j <= cols; j++)
            std::printf(" %5.1f", a[i][j]);
        std::printf("\n");
    }

    // Rows 2..3, columns 2..3 of a, addressed as view[1..2][1..2].
    float **view = submatrix(a, 2, 3, 2, 3, 1, 1);
    view[1][2] = -1.0f;
    std::printf("view[1][1] = a[2][2] = %.1f; writing view[1][2] set a[2][3] to %.1f\n", view[1][1],
                a[2][3]);
    free_submatrix(view, 1, 2, 1, 2);

    // One contiguous block: the whole tensor can be walked from its first element.
    float ***t = f3tensor(0, 1, 0, 2, -1, 1);
    float *first = &t[0][0][-1];
    for (long k = 0; k < 2 * 3 * 3; k++)
        first[k] = static_cast<float>(k);
    std::printf("f3tensor(0, 1, 0, 2, -1, 1): t[1][2][1] = %.0f (the last of 18)\n", t[1][2][1]);
    free_f3tensor(t, 0, 1, 0, 2, -1, 1);

    free_matrix(a, 1, rows, 1, cols);
    return 0;
}
