// Every routine table, family by family, in the order of stat.h. No include
// guard on purpose: a context (the C header, the C layer, a symbol list, a
// binding's checks) defines TV_FUNCTION, TV_PROCEDURE, TV_RELEASE and
// TV_CALLBACK with the helpers of routine_table.h, then includes this file,
// which undefines the four at its end. docs/routine-table.md says how.
//
// A context that lists the routines by family (the spelled-out C prototypes of
// tessivane_c_routines.h) may also define TV_FAMILY(header, title): it is
// expanded before each family's rows with the family's header and a title.
// The batches over many series are TV_BATCH rows, which a context without a
// use for them (the Python extension's single calls) leaves undefined.

#include "routine_table.h"

#ifndef TV_FAMILY
#define TV_FAMILY(header, title)
#endif
#ifndef TV_BATCH
#define TV_BATCH(name, routine, ...)
#endif

TV_FAMILY(nrutil.h, "Offset-indexed arrays")
#include "nrutil_routines.h"
TV_FAMILY(special.h, "Special functions")
#include "special_routines.h"
TV_FAMILY(stats.h, "Two-sample tests, correlation and p-values")
#include "stats_routines.h"
TV_FAMILY(fft.h, "Fourier transforms")
#include "fft_routines.h"
TV_FAMILY(sort.h, "Sorting, ranking and selection")
#include "sort_routines.h"
TV_FAMILY(random.h, "Process-wide random deviates")
#include "random_routines.h"
TV_FAMILY(linalg.h, "Linear algebra")
#include "linalg_routines.h"
TV_FAMILY(fit.h, "Least-squares fits")
#include "fit_routines.h"
TV_FAMILY(batch.h, "Batches over many series")
#include "batch_routines.h"

#undef TV_FUNCTION
#undef TV_PROCEDURE
#undef TV_RELEASE
#undef TV_CALLBACK
#undef TV_BATCH
#undef TV_FAMILY
