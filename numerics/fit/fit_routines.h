// The routine table of the least-squares fits (fit.h): one row per exported routine, in the grammar
// of routine_table.h. Read through routines.h, which includes every table in order (hence no
// include guard).

TV_PROCEDURE(fit, (ARR, IN, float, x, 1, ndata), (ARR, IN, float, y, 1, ndata), (COUNT, int, ndata),
             (ARR, IN_OPT, float, sig, 1, ndata), (VAL, int, mwt), (OUT, float, a), (OUT, float, b),
             (OUT, float, siga), (OUT, float, sigb), (OUT, float, chi2), (OUT, float, q))
TV_PROCEDURE(svdfit, (ARR, IN, float, x, 1, ndata), (ARR, IN, float, y, 1, ndata),
             (ARR, IN, float, sig, 1, ndata), (COUNT, int, ndata), (ARR, OUT, float, a, 1, ma),
             (COUNT, int, ma), (MAT, OUT, float, u, 1, ndata, ma), (MAT, OUT, float, v, 1, ma, ma),
             (ARR, OUT, float, w, 1, ma), (OUT, float, chisq), (BASIS, funcs))
TV_PROCEDURE(mrqmin, (ARR, IN, float, x, 1, ndata), (ARR, IN, float, y, 1, ndata),
             (ARR, IN, float, sig, 1, ndata), (COUNT, int, ndata), (ARR, INOUT, float, a, 1, ma),
             (ARR, IN, int, ia, 1, ma), (COUNT, int, ma), (MAT, INOUT, float, covar, 1, ma, ma),
             (MAT, INOUT, float, alpha, 1, ma, ma), (INOUT, float, chisq), (MODEL, funcs),
             (INOUT, float, alamda))
TV_PROCEDURE(mrqcof, (ARR, IN, float, x, 1, ndata), (ARR, IN, float, y, 1, ndata),
             (ARR, IN, float, sig, 1, ndata), (COUNT, int, ndata), (ARR, IN, float, a, 1, ma),
             (ARR, IN, int, ia, 1, ma), (COUNT, int, ma), (MAT, OUT, float, alpha, 1, ma, ma),
             (ARR, OUT, float, beta, 1, ma), (OUT, float, chisq), (MODEL, funcs))
TV_PROCEDURE(gauss_start, (ARR, IN, float, x, 1, ndata), (ARR, IN, float, y, 1, ndata),
             (COUNT, int, ndata), (ARR, OUT, float, a, 1, ma), (COUNT, int, ma),
             (REQUIRE, ndata >= 1 && ma >= 0, "needs at least one point"))
TV_PROCEDURE(covsrt, (MAT, INOUT, float, covar, 1, ma, ma), (COUNT, int, ma),
             (ARR, IN, int, ia, 1, ma), (VAL, int, mfit))

// The shipped basis and model: their C forms are the callbacks themselves.
TV_CALLBACK(fpoly, (VAL, float, x), (ARR, OUT, float, p, 1, np), (COUNT, int, np))
TV_CALLBACK(fgauss, (VAL, float, x), (ARR, IN, float, a, 1, na), (OUT, float, y),
            (ARR, OUT, float, dyda, 1, na), (COUNT, int, na))
