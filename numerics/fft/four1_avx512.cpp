// The AVX-512 path of four1: the kernels of detail_four1_kernels.h and
// detail_four1_stages.h with the
// twiddle products in 512-bit double lanes (eight values per conversion and
// product), the float butterflies still eight to a 256-bit register.

#define TV_FOUR1_TARGET TV_TARGET_AVX512
#define TV_FOUR1_WIDE 1
#define TV_FOUR1_ENTRY four1_avx512
#include "detail_four1_stages.h"
