// The routine table of the two-sample tests, correlation and p-values (stats.h): one row per
// exported routine, in the grammar of routine_table.h. Read through routines.h, which includes
// every table in order (hence no include guard).

TV_PROCEDURE(avevar, (ARR, IN, float, data, 1, n), (COUNT, unsigned long, n), (OUT, float, ave),
             (OUT, float, var))
TV_PROCEDURE(ttest, (ARR, IN, float, data1, 1, n1), (COUNT, unsigned long, n1),
             (ARR, IN, float, data2, 1, n2), (COUNT, unsigned long, n2), (OUT, float, t),
             (PROB, float, prob, t_to_p(*t, n1 + n2 - 2)),
             (REQUIRE, n1 >= 1 && n2 >= 1, "needs at least one value in each sample"),
             (REQUIRE, n1 + n2 >= 3, "needs at least three values in the two samples together"))
TV_PROCEDURE(tutest, (ARR, IN, float, data1, 1, n1), (COUNT, unsigned long, n1),
             (ARR, IN, float, data2, 1, n2), (COUNT, unsigned long, n2), (OUT, float, t),
             (PROB, float, prob, t_to_p_real(*t, welch_df(data1, n1, data2, n2))),
             (REQUIRE, n1 >= 2 && n2 >= 2, "needs at least two values in each sample"))
TV_PROCEDURE(kstwo, (ARR, INOUT, float, data1, 1, n1), (COUNT, unsigned long, n1),
             (ARR, INOUT, float, data2, 1, n2), (COUNT, unsigned long, n2), (OUT, float, d),
             (PROB, float, prob, kstwo_prob(*d, n1, n2)),
             (REQUIRE, n1 >= 1 && n2 >= 1, "needs at least one value in each sample"))
TV_PROCEDURE(pearsn, (ARR, IN, float, x, 1, n), (ARR, IN, float, y, 1, n),
             (COUNT, unsigned long, n), (OUT, float, r), (KEPT, float, prob), (KEPT, float, z))
TV_PROCEDURE(pearsn_prob, (ARR, IN, float, x, 1, n), (ARR, IN, float, y, 1, n),
             (COUNT, unsigned long, n), (OUT, float, r), (OUT, float, prob), (KEPT, float, z),
             (REQUIRE, n >= 3, "needs at least three pairs"))
TV_PROCEDURE(spear, (ARR, IN, float, data1, 1, n), (ARR, IN, float, data2, 1, n),
             (COUNT, unsigned long, n), (OUT, float, d), (OUT, float, zd), (OUT, float, probd),
             (OUT, float, rs), (OUT, float, probrs), (REQUIRE, n >= 2, "needs at least two pairs"))
TV_PROCEDURE(pearsn_inc, (VAL, float, x), (VAL, float, y), (REF, float, n), (REF, float, ax),
             (REF, float, ay), (REF, float, sxx), (REF, float, syy), (REF, float, sxy),
             (OUT, float, r))
TV_PROCEDURE(regr_inc, (VAL, float, x), (VAL, float, y), (REF, float, n), (REF, float, ax),
             (REF, float, ay), (REF, float, sxx), (REF, float, syy), (REF, float, sxy),
             (OUT, float, a), (OUT, float, b), (OUT, float, ym))
TV_FUNCTION(t_to_p, float, (VAL, float, t), (COUNT, unsigned long, df))
TV_FUNCTION(r_to_p, float, (VAL, float, r), (COUNT, unsigned long, n))
TV_FUNCTION(F_to_p, float, (VAL, float, F), (COUNT, unsigned long, df_1),
            (COUNT, unsigned long, df_2))
TV_FUNCTION(p_to_t, float, (VAL, float, p), (COUNT, unsigned long, df))
TV_FUNCTION(p_to_r, float, (VAL, float, p), (COUNT, unsigned long, df))
TV_FUNCTION(p_to_F, float, (VAL, float, p), (COUNT, unsigned long, df_1),
            (COUNT, unsigned long, df_2))
TV_FUNCTION(p_to_z, float, (VAL, float, pvalue))
TV_FUNCTION(welch_df, float, (ARR, IN, float, data1, 1, n1), (COUNT, unsigned long, n1),
            (ARR, IN, float, data2, 1, n2), (COUNT, unsigned long, n2))
TV_FUNCTION(t_to_p_real, float, (VAL, float, t), (VAL, float, df))
TV_FUNCTION(kstwo_prob, float, (VAL, float, d), (COUNT, unsigned long, n1),
            (COUNT, unsigned long, n2))
TV_FUNCTION(kstwo_prob_exact, float, (VAL, float, d), (COUNT, unsigned long, n1),
            (COUNT, unsigned long, n2))
