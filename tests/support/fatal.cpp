#include "support/fatal.h"

#include <sstream>

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
    // Notes look like "==1234==WARNING: AddressSanitizer failed to allocate ...".
    std::istringstream lines(stderr_text);
    std::string kept, line;
    while (std::getline(lines, line)) {
        const bool note =
            line.rfind("==", 0) == 0 &&
            line.find("==WARNING: AddressSanitizer failed to allocate ") != std::string::npos;
        if (!note)
            kept += line + '\n';
    }
    if (!stderr_text.empty() && stderr_text.back() != '\n' && !kept.empty())
        kept.pop_back();
    return kept;
}

}  // namespace tv_test

// Tests ask for sizes no machine has, to check the allocation-failure exits;
// AddressSanitizer must then hand back a null pointer like malloc does instead
// of stopping the program itself.
extern "C" __attribute__((visibility("default"))) const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}
