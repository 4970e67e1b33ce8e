#ifndef TESSIVANE_DETAIL_ISA_H
#define TESSIVANE_DETAIL_ISA_H

// Compiles one function for AVX2 inside a library built for baseline x86-64.
// FMA stays off on purpose: a fused multiply-add rounds once where the
// straightforward code rounds twice, and every path must give the same bits.
#define TV_TARGET_AVX2 __attribute__((target("avx2")))

#include "isa.h"

#endif
