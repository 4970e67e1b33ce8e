// The host functions outside the simulation.
//
// Every function of the plugin API gets a stub here that reports the call as
// unexpected and returns zero or null. The stubs are weak: the simulated
// functions of host.cpp take the place of theirs when the program is linked,
// so only the functions the simulation does not cover answer with a stub.
#include "host_api.h"

#include <cstddef>
#include <iterator>

namespace {

template <class Result>
Result unexpected(const char *name)
{
    tkhost::report_unexpected_call(name);
    return Result();
}

// The list numbers its functions 1 to 150, in the order of resolution.
constexpr int kListedPositions[] = {
#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters) position,
#include "LMTKHostFunctions.h"
};

constexpr bool numberedInOrder()
{
    for (std::size_t i = 0; i < std::size(kListedPositions); i++)
        if (kListedPositions[i] != static_cast<int>(i) + 1)
            return false;
    return true;
}

static_assert(std::size(kListedPositions) == 150, "the plugin API has 150 functions");
static_assert(numberedInOrder(), "positions run 1, 2, ... in list order");

}  // namespace

#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    extern "C" __attribute__((weak)) Result tk##Name Parameters                                    \
    {                                                                                              \
        return unexpected<Result>("tk" #Name);                                                     \
    }
#include "LMTKHostFunctions.h"
