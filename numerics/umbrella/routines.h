// Every routine table, family by family, in the order of stat.h. No include
// guard on purpose: a context (the C header, the C layer, a symbol list, a
// binding's checks) defines TV_FUNCTION, TV_PROCEDURE, TV_RELEASE and
// TV_CALLBACK with the helpers of routine_table.h, then includes this file,
// which undefines the four at its end. docs/routine-table.md says how.

#include "routine_table.h"

#include "nrutil_routines.h"
#include "special_routines.h"
#include "stats_routines.h"
#include "fft_routines.h"
#include "sort_routines.h"
#include "random_routines.h"
#include "linalg_routines.h"
#include "fit_routines.h"

#undef TV_FUNCTION
#undef TV_PROCEDURE
#undef TV_RELEASE
#undef TV_CALLBACK
