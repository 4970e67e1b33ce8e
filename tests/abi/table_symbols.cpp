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

void print_row(const char *name, std::initializer_list<described> args)
{
    std::string cxx = std::string(name) + "(";
    const char *separator = "";
    for (const described &a : args) {
        if (std::string(a.kind) == "REQUIRE")
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
#define TV_FUNCTION(name, rtype, ...) print_row(#name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_PROCEDURE(name, ...) print_row(#name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_RELEASE(name, ...) print_row(#name, {TV_DESCRIBE(__VA_ARGS__)});
#define TV_CALLBACK(name, ...) print_row(#name, {TV_DESCRIBE(__VA_ARGS__)});
#include "routines.h"
}
