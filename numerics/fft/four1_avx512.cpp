// The AVX-512 path of four1: the kernels of detail_four1_kernels.h with the
// twiddle products in 512-bit double lanes (eight values per conversion and
// product), the float butterflies still eight to a 256-bit register.

#define TV_FOUR1_TARGET TV_TARGET_AVX512
#define TV_FOUR1_WIDE 1
#include "detail_four1_kernels.h"

namespace tessivane {
namespace detail {

bool four1_avx512(float data[], unsigned long nn, int isign)
{
    return four1_vector(data, nn, isign);
}

}  // namespace detail
}  // namespace tessivane
