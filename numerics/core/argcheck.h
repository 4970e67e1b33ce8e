#ifndef TESSIVANE_ARGCHECK_H
#define TESSIVANE_ARGCHECK_H

// The argument checks that every front end shares (the C interface, the
// batches, the Python extension): the pointers and rules of a routine-table
// row, sizes multiplied without overflow, the alignment of an element type,
// and the number of worker threads a batch may start. Header-only, so that a
// binding built against the installed library uses the same code; nothing
// here ends the process or throws: each check answers, and the front end
// refuses in its own way (a status, an exception, nrerror()).

// The grammar first, at file scope: a front end may read the tables inside a
// namespace of its own, and the callback types they use must stay global.
#include "routine_table.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace tessivane {
namespace args {

// A pointer argument of a table row (TV_POINTERS): its name, whether it is
// non-null, and whether the routine needs it.
struct pointer {
    const char *name;
    bool present;
    bool required;
};

// A REQUIRE rule of a table row (TV_RULES): whether it holds and its message.
struct rule {
    bool holds;
    const char *message;
};

// The name of the first required pointer that is null, or nullptr.
inline const char *missing_pointer(std::initializer_list<pointer> pointers)
{
    for (const pointer &p : pointers)
        if (p.required && !p.present)
            return p.name;
    return nullptr;
}

// The message of the first rule that does not hold, or nullptr.
inline const char *broken_rule(std::initializer_list<rule> rules)
{
    for (const rule &r : rules)
        if (!r.holds)
            return r.message;
    return nullptr;
}

// *product = a * b when it fits in std::size_t; false (and *product
// untouched) when it would overflow.
inline bool multiply(std::size_t a, std::size_t b, std::size_t *product)
{
    std::size_t p;
    if (__builtin_mul_overflow(a, b, &p))
        return false;
    *product = p;
    return true;
}

// The product of all factors when it fits in std::size_t and is at most
// `limit`; false otherwise. For the element count of an [n x m x ...] array
// before it is allocated or indexed.
inline bool size_product(std::initializer_list<std::size_t> factors, std::size_t *product,
                         std::size_t limit = SIZE_MAX)
{
    std::size_t p = 1;
    for (std::size_t f : factors)
        if (!multiply(p, f, &p))
            return false;
    if (p > limit)
        return false;
    *product = p;
    return true;
}

// n[1] * ... * n[count] (1-based, as fourn reads its extents), as long long; -1
// when twice it would overflow (fourn's data holds two floats per point), 0
// for a null n.
inline long long product_1(const unsigned long *n, int count)
{
    if (!n)
        return 0;
    std::size_t p = 1;
    for (int d = 1; d <= count; d++)
        if (!multiply(p, n[d], &p) || p > static_cast<std::size_t>(LLONG_MAX / 2))
            return -1;
    return static_cast<long long>(p);
}

// The largest parameter count ma for which an ma x ma float matrix (and its
// row pointers) can be indexed with the library's int indices and allocated:
// ma * ma stays below INT_MAX, so no size derived from it overflows an int.
constexpr int kMaxSquareSide = 46340;  // floor(sqrt(INT_MAX))

// True when p is a valid address for a T (aligned to alignof(T)); a null
// pointer counts as aligned.
template <class T>
bool aligned(const void *p)
{
    return reinterpret_cast<std::uintptr_t>(p) % alignof(T) == 0;
}

// Worker threads for a batch of `rows` rows when `requested` were asked for
// (0: `available`, the CPUs this process may run on): never more than the rows
// (a thread without a row only costs its start) and never more than
// kThreadsPerCpu times the CPUs (more threads than that only share the same
// cores and slow the batch down); at least 1.
constexpr unsigned kThreadsPerCpu = 4;

inline unsigned worker_threads(std::size_t rows, unsigned long long requested, unsigned available)
{
    const unsigned long long cpus = available > 0 ? available : 1;
    unsigned long long n = requested > 0 ? requested : cpus;
    if (n > cpus * kThreadsPerCpu)
        n = cpus * kThreadsPerCpu;
    if (n > rows)
        n = rows;
    return n > 0 ? static_cast<unsigned>(n) : 1u;
}

}  // namespace args
}  // namespace tessivane

#endif
