// The instruction-set path: set_active_isa() caps at what the CPU runs and
// hands back the previous choice; TESSIVANE_ISA picks the path at start
// (run by CTest as isa.environment with TESSIVANE_ISA=portable).

#include "isa.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using tessivane::isa;

TEST(Isa, SetCapsAtSupportedAndReturnsPrevious)
{
    const isa start = tessivane::active_isa();
    for (isa want : {isa::portable, isa::avx2, isa::avx512}) {
        const isa before = tessivane::active_isa();
        EXPECT_EQ(tessivane::set_active_isa(want), before);
        const isa got = tessivane::active_isa();
        EXPECT_LE(static_cast<int>(got), static_cast<int>(tessivane::supported_isa()));
        EXPECT_EQ(got, static_cast<int>(want) <= static_cast<int>(tessivane::supported_isa())
                           ? want
                           : tessivane::supported_isa());
    }
    tessivane::set_active_isa(start);
}

// Unset, the widest path the CPU runs.
TEST(Isa, EnvironmentChoosesThePath)
{
    const char *env = std::getenv("TESSIVANE_ISA");
    if (env == nullptr)
        EXPECT_EQ(tessivane::active_isa(), tessivane::supported_isa());
    else
        EXPECT_STREQ(tessivane::isa_name(tessivane::active_isa()), env);
}
