// The routine table of the process-wide random deviates (random.h): one row per exported routine,
// in the grammar of routine_table.h. Read through routines.h, which includes every table in order
// (hence no include guard).

TV_FUNCTION(ran1, float, (INOUT, long, idum))
TV_FUNCTION(gasdev, float, (INOUT, long, idum))
