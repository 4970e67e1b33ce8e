// The routine table of the Fourier transforms (fft.h): one row per exported routine, in the grammar
// of routine_table.h. Read through routines.h, which includes every table in order (hence no
// include guard).

TV_PROCEDURE(four1, (ARR, INOUT, float, data, 1, 2 * nn), (COUNT, unsigned long, nn),
             (VAL, int, isign))
TV_PROCEDURE(realft, (ARR, INOUT, float, data, 1, n), (COUNT, unsigned long, n), (VAL, int, isign))
TV_PROCEDURE(fourn, (ARR, INOUT, float, data, 1, 2 * tessivane::args::product_1(nn, ndim)),
             (ARR, IN, unsigned long, nn, 1, ndim), (COUNT, int, ndim), (VAL, int, isign))
TV_PROCEDURE(rlft3, (TENSOR, INOUT, float, data, 1, nn1, nn2, nn3),
             (MAT, INOUT, float, speq, 1, nn1, 2 * nn2), (COUNT, unsigned long, nn1),
             (COUNT, unsigned long, nn2), (COUNT, unsigned long, nn3), (VAL, int, isign))
