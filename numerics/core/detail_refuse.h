#ifndef TESSIVANE_DETAIL_REFUSE_H
#define TESSIVANE_DETAIL_REFUSE_H

// Internal helpers for routines that refuse arguments which would make them
// index outside the caller's arrays. Not installed, not exported.

#include "nrutil.h"

#include <cstdarg>
#include <cstdio>

namespace tessivane {
namespace detail {

// True for 1, 2, 4, ... (and false for 0).
inline bool is_power_of_two(unsigned long n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

// Formats the message like printf and ends the process through nrerror().
[[noreturn]] inline void refuse(const char *format, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] inline void refuse(const char *format, ...)
{
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    nrerror(text);
}

}  // namespace detail
}  // namespace tessivane

#endif
