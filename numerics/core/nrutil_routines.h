// The routine table of the offset-indexed arrays (nrutil.h): one row per exported routine, in the
// grammar of routine_table.h. Read through routines.h, which includes every table in order (hence
// no include guard).

TV_FUNCTION(vector, float *, (VAL, long, nl), (VAL, long, nh))
TV_FUNCTION(ivector, int *, (VAL, long, nl), (VAL, long, nh))
TV_FUNCTION(cvector, unsigned char *, (VAL, long, nl), (VAL, long, nh))
TV_FUNCTION(lvector, unsigned long *, (VAL, long, nl), (VAL, long, nh))
TV_FUNCTION(dvector, double *, (VAL, long, nl), (VAL, long, nh))
TV_FUNCTION(matrix, float **, (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl),
            (VAL, long, nch))
TV_FUNCTION(dmatrix, double **, (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl),
            (VAL, long, nch))
TV_FUNCTION(imatrix, int **, (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_FUNCTION(submatrix, float **, (MAT, IN, float, a, oldrl, oldrh - oldrl + 1, oldch - oldcl + 1),
            (VAL, long, oldrl), (VAL, long, oldrh), (VAL, long, oldcl), (VAL, long, oldch),
            (VAL, long, newrl), (VAL, long, newcl))
TV_FUNCTION(convert_matrix, float **, (ARR, IN, float, a, 0, (nrh - nrl + 1) * (nch - ncl + 1)),
            (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_FUNCTION(f3tensor, float ***, (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl),
            (VAL, long, nch), (VAL, long, ndl), (VAL, long, ndh))
TV_FUNCTION(c3tensor, unsigned char ***, (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl),
            (VAL, long, nch), (VAL, long, ndl), (VAL, long, ndh))

TV_RELEASE(free_vector, (ARR, INOUT, float, v, nl, nh - nl + 1), (VAL, long, nl), (VAL, long, nh))
TV_RELEASE(free_ivector, (ARR, INOUT, int, v, nl, nh - nl + 1), (VAL, long, nl), (VAL, long, nh))
TV_RELEASE(free_cvector, (ARR, INOUT, unsigned char, v, nl, nh - nl + 1), (VAL, long, nl),
           (VAL, long, nh))
TV_RELEASE(free_lvector, (ARR, INOUT, unsigned long, v, nl, nh - nl + 1), (VAL, long, nl),
           (VAL, long, nh))
TV_RELEASE(free_dvector, (ARR, INOUT, double, v, nl, nh - nl + 1), (VAL, long, nl), (VAL, long, nh))
TV_RELEASE(free_matrix, (MAT, INOUT, float, m, nrl, nrh - nrl + 1, nch - ncl + 1), (VAL, long, nrl),
           (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_RELEASE(free_dmatrix, (MAT, INOUT, double, m, nrl, nrh - nrl + 1, nch - ncl + 1),
           (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_RELEASE(free_imatrix, (MAT, INOUT, int, m, nrl, nrh - nrl + 1, nch - ncl + 1), (VAL, long, nrl),
           (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_RELEASE(free_submatrix, (MAT, INOUT, float, b, nrl, nrh - nrl + 1, nch - ncl + 1),
           (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_RELEASE(free_convert_matrix, (MAT, INOUT, float, b, nrl, nrh - nrl + 1, nch - ncl + 1),
           (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch))
TV_RELEASE(free_f3tensor,
           (TENSOR, INOUT, float, t, nrl, nrh - nrl + 1, nch - ncl + 1, ndh - ndl + 1),
           (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch), (VAL, long, ndl),
           (VAL, long, ndh))
TV_RELEASE(free_c3tensor,
           (TENSOR, INOUT, unsigned char, t, nrl, nrh - nrl + 1, nch - ncl + 1, ndh - ndl + 1),
           (VAL, long, nrl), (VAL, long, nrh), (VAL, long, ncl), (VAL, long, nch), (VAL, long, ndl),
           (VAL, long, ndh))
