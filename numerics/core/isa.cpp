// Choice of the instruction-set path: detected once, overridable by the
// TESSIVANE_ISA environment variable and by set_active_isa().

#include "isa.h"

#include "detail_isa.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace tessivane {
namespace {

isa detect_supported()
{
#if !TV_HAVE_AVX2_PATHS
    return isa::portable;
#else
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl"))
        return isa::avx512;
    if (__builtin_cpu_supports("avx2"))
        return isa::avx2;
    return isa::portable;
#endif
}

isa capped(isa requested)
{
    const isa best = supported_isa();
    return static_cast<int>(requested) < static_cast<int>(best) ? requested : best;
}

isa initial_choice()
{
    const char *env = std::getenv("TESSIVANE_ISA");
    if (env != nullptr) {
        for (isa path : {isa::portable, isa::avx2, isa::avx512})
            if (std::strcmp(env, isa_name(path)) == 0)
                return capped(path);
    }
    return supported_isa();
}

std::atomic<int> &active_path()
{
    static std::atomic<int> path{static_cast<int>(initial_choice())};
    return path;
}

}  // namespace

isa supported_isa()
{
    static const isa best = detect_supported();
    return best;
}

isa active_isa()
{
    return static_cast<isa>(active_path().load(std::memory_order_relaxed));
}

isa set_active_isa(isa requested)
{
    return static_cast<isa>(
        active_path().exchange(static_cast<int>(capped(requested)), std::memory_order_relaxed));
}

const char *isa_name(isa path)
{
    switch (path) {
    case isa::avx2:
        return "avx2";
    case isa::avx512:
        return "avx512";
    default:
        return "portable";
    }
}

}  // namespace tessivane
