// The run-time version of the library, from the same macros a program is
// compiled against.

#include "version.h"

namespace tessivane {

const char *version()
{
    return TESSIVANE_VERSION_STRING;
}

}  // namespace tessivane
