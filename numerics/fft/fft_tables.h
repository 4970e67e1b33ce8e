#ifndef TESSIVANE_FFT_TABLES_H
#define TESSIVANE_FFT_TABLES_H

// The fast paths of four1, realft, fourn and rlft3 keep the twiddle factors
// of each transform length they have seen in a process-wide cache (at most
// 64 MiB; tables beyond that are built for the call and dropped after it).
// The tables hold exactly the values the recurrence gives, so the cache never
// changes a result; it only saves the recurrence on later calls.

#include "tessivane_export.h"

#include <cstddef>

namespace tessivane {

// Drops every cached twiddle table. Calls running on other threads keep the
// tables they hold until they return. [thread-safe]
TV_API void release_fft_tables();

// Bytes held by the cache now. [thread-safe]
TV_API std::size_t fft_table_bytes();

}  // namespace tessivane

#endif
