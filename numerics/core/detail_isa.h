#ifndef TESSIVANE_DETAIL_ISA_H
#define TESSIVANE_DETAIL_ISA_H

// The AVX2 paths exist in x86 builds only. Elsewhere (aarch64 and the like)
// the build leaves their sources out (CMakeLists.txt), the detail headers
// give their entry points as stubs that decline, and active_isa() is always
// portable.
#if defined(__x86_64__) || defined(__i386__)
#define TV_HAVE_AVX2_PATHS 1
// Compiles one function for AVX2 inside a library built for baseline x86-64.
// FMA stays off on purpose: a fused multiply-add rounds once where the
// straightforward code rounds twice, and every path must give the same bits.
#define TV_TARGET_AVX2 __attribute__((target("avx2")))
// The same for the AVX-512 paths (F, BW, DQ and VL, which isa::avx512
// requires), FMA again left out.
#define TV_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))
#else
#define TV_HAVE_AVX2_PATHS 0
#endif

#include "isa.h"

#endif
