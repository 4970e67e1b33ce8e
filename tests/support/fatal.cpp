#include "support/fatal.h"

#include <regex>

namespace {
int leak_check_off = 0;
}

// LeakSanitizer asks this hook at exit whether to run; a definition in the
// test program takes precedence over the runtime's weak default. Sanitizer
// hooks must stay visible to the runtime despite the hidden-by-default build.
extern "C" __attribute__((visibility("default"))) int __lsan_is_turned_off()
{
    return leak_check_off;
}

namespace tv_test {

void mark_dying_child()
{
    leak_check_off = 1;
}

std::string fatal_report(const std::string &message)
{
    return "Vestrin Calculary run-time error...\n" + message + "\n...now exiting to system...\n";
}

std::string without_sanitizer_notes(const std::string &stderr_text)
{
    static const std::regex note("==[0-9]+==WARNING: AddressSanitizer failed to allocate [^\n]*\n");
    return std::regex_replace(stderr_text, note, "");
}

} // namespace tv_test

// Tests ask for sizes no machine has, to check the allocation-failure exits;
// AddressSanitizer must then hand back a null pointer like malloc does instead
// of stopping the program itself.
extern "C" __attribute__((visibility("default"))) const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}
