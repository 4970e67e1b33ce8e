// The routine table of the special functions (special.h): one row per exported routine, in the
// grammar of routine_table.h. Read through routines.h, which includes every table in order (hence
// no include guard).

TV_FUNCTION(gammln, double, (VAL, double, xx))
TV_FUNCTION(gammq, float, (VAL, float, a), (VAL, float, x))
TV_PROCEDURE(gser, (OUT, float, gamser), (VAL, float, a), (VAL, float, x), (OUT, float, gln))
TV_PROCEDURE(gcf, (OUT, float, gammcf), (VAL, float, a), (VAL, float, x), (OUT, float, gln))
TV_FUNCTION(betai, float, (VAL, float, a), (VAL, float, b), (VAL, float, x))
TV_FUNCTION(betacf, float, (VAL, double, a), (VAL, double, b), (VAL, double, x))
TV_FUNCTION(erfcc, float, (VAL, float, x))
TV_FUNCTION(probks, float, (VAL, float, alam))
