// The library's routines as the extension calls them, made from the routine
// tables (routines.h): call_<name>(args, buffers, context, C arguments...)
// applies the row's rules (ValueError "<public function>: <message>"), checks
// that every buffer the binding hands over holds what the row says the routine
// reads or writes (so no shape check can let a routine run past an array), then runs the routine
// with the GIL released and in throw mode and writes the significances the row names. A buffer must
// hold exactly what the row spans, so the row's lengths are the length checks of the arguments
// whose names the public function shares. The C interface follows the same rows
// (numerics/c/c_routines.cpp).
#ifndef TESSIVANE_PY_TABLE_CALLS_H
#define TESSIVANE_PY_TABLE_CALLS_H

#include "args.h"

#include "argcheck.h"
#include "stat.h"

#include <initializer_list>

namespace tvpy {

// A buffer the binding hands to a routine: the row's argument name and the
// elements it holds from the row's base on.
struct held {
    const char *name;
    py::ssize_t elements;
};

// An array of a row (TV_EXTENTS): the elements it spans are n1 * n2 * n3.
struct extent {
    const char *kind, *dir, *name;
    long long base, n1, n2, n3;
};

// Refuses a call whose rules do not hold or whose buffers are too small.
void check_call(const arguments &args, std::initializer_list<tessivane::args::pointer> pointers,
                std::initializer_list<tessivane::args::rule> rules,
                std::initializer_list<extent> extents, std::initializer_list<held> buffers);

#define TV_FUNCTION(name, rtype, ...)                                                              \
    inline rtype call_##name(const arguments &args, std::initializer_list<held> buffers,           \
                             callback_context *context, TV_C_PARAMS(__VA_ARGS__))                  \
    {                                                                                              \
        check_call(args, {TV_POINTERS(__VA_ARGS__)}, {TV_RULES(__VA_ARGS__)},                      \
                   {TV_EXTENTS(__VA_ARGS__)}, buffers);                                            \
        return run_library([&] { return ::name(TV_CXX_ARGS(__VA_ARGS__)); }, context);             \
    }
#define TV_PROCEDURE(name, ...)                                                                    \
    inline void call_##name(const arguments &args, std::initializer_list<held> buffers,            \
                            callback_context *context, TV_C_PARAMS(__VA_ARGS__))                   \
    {                                                                                              \
        check_call(args, {TV_POINTERS(__VA_ARGS__)}, {TV_RULES(__VA_ARGS__)},                      \
                   {TV_EXTENTS(__VA_ARGS__)}, buffers);                                            \
        run_library(                                                                               \
            [&] {                                                                                  \
                ::name(TV_CXX_ARGS(__VA_ARGS__));                                                  \
                TV_SIGNIFICANCES(__VA_ARGS__);                                                     \
            },                                                                                     \
            context);                                                                              \
    }
#define TV_RELEASE(name, ...)
#define TV_CALLBACK(name, ...) TV_PROCEDURE(name, __VA_ARGS__)
#include "routines.h"

}  // namespace tvpy

#endif
