// The routine table of sorting, ranking and selection (sort.h): one row per exported routine, in
// the grammar of routine_table.h. Read through routines.h, which includes every table in order
// (hence no include guard).

TV_PROCEDURE(sort, (COUNT, unsigned long, n), (ARR, INOUT, float, arr, 1, n))
TV_PROCEDURE(sort2, (COUNT, unsigned long, n), (ARR, INOUT, float, arr, 1, n),
             (ARR, INOUT, float, brr, 1, n))
TV_PROCEDURE(hpsort, (COUNT, unsigned long, n), (ARR, INOUT, float, ra, 1, n))
TV_PROCEDURE(crank, (COUNT, unsigned long, n), (ARR, INOUT, float, w, 1, n), (OUT, float, s))
TV_FUNCTION(select, float, (VAL, unsigned long, k), (COUNT, unsigned long, n),
            (ARR, INOUT, float, arr, 1, n))
TV_FUNCTION(select_ushort, unsigned short, (VAL, unsigned long, k), (COUNT, unsigned long, n),
            (ARR, INOUT, unsigned short, arr, 1, n))
