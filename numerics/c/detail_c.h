// Internal to libtessivane (not installed): how a tv_ function runs its C++
// routine. Whatever leaves the routine becomes a status code and a
// thread-owned message, so that neither an exit nor an exception reaches a C
// caller.
#ifndef TESSIVANE_NUMERICS_DETAIL_C_H
#define TESSIVANE_NUMERICS_DETAIL_C_H

#include <exception>
#include <initializer_list>
#include <new>

#include "argcheck.h"
#include "errors.h"
#include "tessivane_c.h"

namespace tessivane {
struct lm_stopping_rule;

namespace c_layer {

// Records the calling thread's message for tv_last_error() and returns status.
tv_status record(tv_status status, const char *message);

// TV_ERROR_INVALID_ARGUMENT with "<function>: <argument> is NULL".
tv_status null_argument(const char *function, const char *argument);

// TV_ERROR_INVALID_ARGUMENT with "<function>: <message>".
tv_status refused(const char *function, const char *message);

// The C stopping rule as the C++ one (NULL: the defaults); retry is a separate
// flag because the C struct has no field for it. Fields the C rule does not
// carry keep their C++ defaults.
lm_stopping_rule stopping_rule(const tv_lm_stopping_rule *rule, bool retry);

// Runs body with the calling thread in throw mode; the thread's own mode is
// back in force whichever way body ends.
template <typename Body>
tv_status guarded(Body &&body) noexcept
{
    try {
        scoped_error_mode mode(error_mode::throw_exception);
        body();
        return record(TV_OK, "");
    } catch (const numerics_error &e) {
        return record(TV_ERROR, e.what());
    } catch (const std::bad_alloc &) {
        return record(TV_ERROR_NO_MEMORY, "out of memory");
    } catch (const std::exception &e) {
        return record(TV_ERROR_INTERNAL, e.what());
    } catch (...) {
        return record(TV_ERROR_INTERNAL, "unknown C++ exception");
    }
}

// A table row's call: its pointers and rules checked first, then body guarded.
template <typename Body>
tv_status checked(const char *function, std::initializer_list<args::pointer> pointers,
                  std::initializer_list<args::rule> rules, Body &&body) noexcept
{
    if (const char *missing = args::missing_pointer(pointers))
        return null_argument(function, missing);
    if (const char *broken = args::broken_rule(rules))
        return refused(function, broken);
    return guarded(body);
}

}  // namespace c_layer
}  // namespace tessivane

#endif
