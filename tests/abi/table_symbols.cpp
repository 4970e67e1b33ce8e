// Prints the exported symbols the routine tables promise, as check_abi.sh
// compares them (demangled): each row's C++ routine with its parameter types,
// and its tv_ function.
#include <cstdio>
#include <string>

#include "routine_table.h"

namespace {

struct described {
    const char *kind, *dir, *type, *name, *base, *extent;
};

// A row's C++ routine `routine` and its tv_<name>. Arguments without a C++
// parameter (a REQUIRE, a DIM that a SERIES hands over) have no type.
void print_row(const char *routine, const char *name, std::initializer_list<described> args)
{
    std::string cxx = std::string(routine) + "(";
    const char *separator = "";
    for (const described &a : args) {
        if (*a.type == '\0')
            continue;
        cxx += separator;
        cxx += a.type;
        separator = ", ";
    }
    std::printf("%s)\ntv_%s\n", cxx.c_str(), name);
}

}  // namespace

int main()
{
#define TV_FUNCTION(name, rtype, ...) print_row(#name, #name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_PROCEDURE(name, ...) print_row(#name, #name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_RELEASE(name, ...) print_row(#name, #name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_CALLBACK(name, ...) print_row(#name, #name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_BATCH(name, routine, ...) print_row(#routine, #name, {TV_DESCRIBE(__VA_ARGS__)});
#include "routines.h"
}
