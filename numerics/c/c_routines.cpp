// The tv_ function of every routine-table row (routines.h), made from the
// row: the pointers and rules checked, the C++ routine called in throw mode,
// C references and ints handed on as C++ references and bools, a returned
// value written through `result`, and the significances the row names written
// after the call; a batch row's series handed over as a series_view (in place)
// and its thread count as batch_options, the batch's report dropped.
#include "batch.h"
#include "detail_c.h"

#include "stat.h"

using tessivane::c_layer::checked;
using tessivane::c_layer::null_argument;

extern "C" {

#define TV_FUNCTION(name, rtype, ...)                                                              \
    tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__), rtype *result)                                   \
    {                                                                                              \
        if (!result)                                                                               \
            return null_argument("tv_" #name, "result");                                           \
        return checked("tv_" #name, {TV_POINTERS(__VA_ARGS__)}, {TV_RULES(__VA_ARGS__)},           \
                       [&] { *result = ::name(TV_CXX_ARGS(__VA_ARGS__)); });                       \
    }
#define TV_PROCEDURE(name, ...)                                                                    \
    tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__))                                                  \
    {                                                                                              \
        return checked("tv_" #name, {TV_POINTERS(__VA_ARGS__)}, {TV_RULES(__VA_ARGS__)}, [&] {     \
            ::name(TV_CXX_ARGS(__VA_ARGS__));                                                      \
            TV_SIGNIFICANCES(__VA_ARGS__);                                                         \
        });                                                                                        \
    }
#define TV_RELEASE(name, ...)                                                                      \
    void tv_##name(TV_C_PARAMS(__VA_ARGS__))                                                       \
    {                                                                                              \
        if (!tessivane::args::missing_pointer({TV_POINTERS(__VA_ARGS__)}))                         \
            ::name(TV_CXX_ARGS(__VA_ARGS__));                                                      \
    }
#define TV_CALLBACK(name, ...)                                                                     \
    void tv_##name(TV_C_PARAMS(__VA_ARGS__))                                                       \
    {                                                                                              \
        ::name(TV_CXX_ARGS(__VA_ARGS__));                                                          \
    }
#define TV_BATCH(name, routine, ...)                                                               \
    tv_status tv_##name(TV_C_PARAMS(__VA_ARGS__))                                                  \
    {                                                                                              \
        return checked("tv_" #name, {TV_POINTERS(__VA_ARGS__)}, {TV_RULES(__VA_ARGS__)},           \
                       [&] { routine(TV_CXX_ARGS(__VA_ARGS__)); });                                \
    }
#include "routines.h"

}  // extern "C"
