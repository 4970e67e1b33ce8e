// The routine table of the batches over many series (batch.h) that have a C form: one row per
// tv_ function, in the grammar of routine_table.h. Read through routines.h, which includes every
// table in order (hence no include guard).

TV_BATCH(realft_many, tessivane::batch::realft,
         (SERIES, INOUT, float, data, 1, count, n, series_stride, sample_stride),
         (DIM, size_t, count), (DIM, unsigned long, n), (DIM, ptrdiff_t, series_stride),
         (DIM, ptrdiff_t, sample_stride), (VAL, int, isign), (THREADS, threads))
TV_BATCH(four1_many, tessivane::batch::four1,
         (SERIES, INOUT, float, data, 2, count, nn, series_stride, sample_stride),
         (DIM, size_t, count), (DIM, unsigned long, nn), (DIM, ptrdiff_t, series_stride),
         (DIM, ptrdiff_t, sample_stride), (VAL, int, isign), (THREADS, threads))
