// The AVX2 path of four1: the kernels of detail_four1_kernels.h and
// detail_four1_stages.h with the
// twiddle products in 256-bit double lanes.

#define TV_FOUR1_TARGET TV_TARGET_AVX2
#define TV_FOUR1_WIDE 0
#define TV_FOUR1_ENTRY four1_avx2
#include "detail_four1_stages.h"
