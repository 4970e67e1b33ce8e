// The routine table of the linear algebra (linalg.h): one row per exported routine, in the grammar
// of routine_table.h. Read through routines.h, which includes every table in order (hence no
// include guard).

TV_FUNCTION(pythag, float, (VAL, float, a), (VAL, float, b))
TV_PROCEDURE(svdcmp, (MAT, INOUT, float, a, 1, m, n), (COUNT, int, m), (COUNT, int, n),
             (ARR, OUT, float, w, 1, n), (MAT, OUT, float, v, 1, n, n))
TV_PROCEDURE(svbksb, (MAT, IN, float, u, 1, m, n), (ARR, IN, float, w, 1, n),
             (MAT, IN, float, v, 1, n, n), (COUNT, int, m), (COUNT, int, n),
             (ARR, IN, float, b, 1, m), (ARR, OUT, float, x, 1, n))
TV_PROCEDURE(svdvar, (MAT, IN, float, v, 1, ma, ma), (COUNT, int, ma), (ARR, IN, float, w, 1, ma),
             (MAT, OUT, float, cvm, 1, ma, ma))
TV_PROCEDURE(matrix_matrix_mult, (MAT, IN, float, a, 0, n, s), (MAT, IN, float, b, 0, s, m),
             (MAT, OUT, float, c, 0, n, m), (COUNT, int, n), (COUNT, int, s), (COUNT, int, m))
TV_PROCEDURE(transposematrix_matrix_mult, (MAT, IN, float, a, 0, n, s),
             (MAT, OUT, float, c, 0, n, n), (COUNT, int, n), (COUNT, int, s))
TV_PROCEDURE(matrix_vector_mult, (MAT, IN, float, a, 0, n, s), (ARR, IN, float, b, 0, s),
             (ARR, OUT, float, c, 0, n), (COUNT, int, n), (COUNT, int, s))
TV_FUNCTION(vector_vector_mult, float, (ARR, IN, float, a, 0, n), (ARR, IN, float, b, 0, n),
            (COUNT, int, n))
TV_PROCEDURE(matrix_transpose, (MAT, IN, float, m, 0, n, s), (MAT, OUT, float, t, 0, s, n),
             (COUNT, int, n), (COUNT, int, s))
TV_PROCEDURE(copy_matrix, (MAT, IN, float, im, copy_mode == 1 || copy_mode == 3, n, s),
             (MAT, OUT, float, om, copy_mode == 1 || copy_mode == 2, n, s), (COUNT, int, n),
             (COUNT, int, s), (VAL, int, copy_mode))
TV_PROCEDURE(diagmatrix_matrix_mult, (ARR, IN, float, w, 0, n), (MAT, INOUT, float, m, 0, n, s),
             (COUNT, int, n), (COUNT, int, s))
TV_PROCEDURE(fast_matrix_matrix_mult, (MAT, IN, float, a, 0, m, k),
             (MAT, IN_OPT, float, b, 0, 0, 0), (MAT, OUT, float, c, 0, m, m), (COUNT, int, m),
             (VAL, int, n), (COUNT, int, k), (FLAG, tA), (FLAG, tB))
TV_FUNCTION(getInverseMatrixUsingSVD, int, (MAT, IN, float, m, 0, n, n),
            (MAT, OUT, float, inv, 0, n, n), (COUNT, int, n))
TV_PROCEDURE(gaussj, (MAT, INOUT, float, a, 1, n, n), (COUNT, int, n),
             (MAT, INOUT, float, b, 1, n, m), (COUNT, int, m))
TV_PROCEDURE(jacobi, (MAT, INOUT, float, a, 1, n, n), (COUNT, int, n), (ARR, OUT, float, d, 1, n),
             (MAT, OUT, float, v, 1, n, n), (OUT, int, nrot))
TV_PROCEDURE(eigsrt, (ARR, INOUT, float, d, 1, n), (MAT, INOUT, float, v, 1, n, n), (COUNT, int, n))
