// The batched Fourier transforms for C: tv_realft_many and tv_four1_many run
// the C++ batches (batch.h) in place and answer like every tv_ function.
#include "batch.h"
#include "detail_c.h"

using tessivane::c_layer::guarded;
using tessivane::c_layer::null_argument;

namespace {

namespace tb = tessivane::batch;

using transform = tb::batch_report (*)(const tb::series_view &, float *, int,
                                       const tb::batch_options &);

tv_status transform_many(const char *function, transform batch, float *data, size_t count,
                         unsigned long length, ptrdiff_t series_stride, ptrdiff_t sample_stride,
                         int isign, unsigned threads)
{
    if (!data && count > 0)
        return null_argument(function, "data");
    return guarded([&] {
        tb::batch_options options;
        options.threads = threads;
        batch({data, count, length, series_stride, sample_stride}, data, isign, options);
    });
}

}  // namespace

extern "C" {

tv_status tv_realft_many(float *data, size_t count, unsigned long n, ptrdiff_t series_stride,
                         ptrdiff_t sample_stride, int isign, unsigned threads)
{
    return transform_many("tv_realft_many", &tb::realft, data, count, n, series_stride,
                          sample_stride, isign, threads);
}

tv_status tv_four1_many(float *data, size_t count, unsigned long nn, ptrdiff_t series_stride,
                        ptrdiff_t sample_stride, int isign, unsigned threads)
{
    return transform_many("tv_four1_many", &tb::four1, data, count, nn, series_stride,
                          sample_stride, isign, threads);
}

}  // extern "C"
