#ifndef TESSIVANE_ROUTINE_CHECKS_H
#define TESSIVANE_ROUTINE_CHECKS_H

// The checks of every routine-table row as functions of the row's C
// parameters (routine_table.h), for the front ends that hold C-style
// arguments (the batches, the Python extension):
//     const char *tessivane::routines::missing_X(...)      the first required pointer that is
//                                                          null, or nullptr
//     const char *tessivane::routines::broken_rule_X(...)  the message of the first REQUIRE rule
//                                                          that does not hold, or nullptr
// Rules read only counts, so a front end that has no arrays yet may pass null
// pointers to broken_rule_X. Header-only (C++).

#include "argcheck.h"
#include "routine_table.h"

namespace tessivane {
namespace routines {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

#define TV_ROUTINE_CHECKS(name, ...)                                                               \
    inline const char *missing_##name(TV_C_PARAMS(__VA_ARGS__))                                    \
    {                                                                                              \
        return args::missing_pointer({TV_POINTERS(__VA_ARGS__)});                                  \
    }                                                                                              \
    inline const char *broken_rule_##name(TV_C_PARAMS(__VA_ARGS__))                                \
    {                                                                                              \
        return args::broken_rule({TV_RULES(__VA_ARGS__)});                                         \
    }
#define TV_FUNCTION(name, rtype, ...) TV_ROUTINE_CHECKS(name, __VA_ARGS__)
#define TV_PROCEDURE(name, ...) TV_ROUTINE_CHECKS(name, __VA_ARGS__)
#define TV_RELEASE(name, ...) TV_ROUTINE_CHECKS(name, __VA_ARGS__)
#define TV_CALLBACK(name, ...) TV_ROUTINE_CHECKS(name, __VA_ARGS__)
#define TV_BATCH(name, routine, ...) TV_ROUTINE_CHECKS(name, __VA_ARGS__)
#include "routines.h"
#undef TV_ROUTINE_CHECKS

#pragma GCC diagnostic pop

}  // namespace routines
}  // namespace tessivane

#endif
