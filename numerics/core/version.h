#ifndef TESSIVANE_VERSION_H
#define TESSIVANE_VERSION_H

// The version of libtessivane this header belongs to. The numbers follow
// project(VERSION) in CMakeLists.txt (the configure step refuses a mismatch).
// A new minor version only adds to the interface; the SONAME
// (libtessivane.so.1) changes with the major version alone.
// This header is valid C and C++.

#define TESSIVANE_VERSION_MAJOR 1
#define TESSIVANE_VERSION_MINOR 3
#define TESSIVANE_VERSION_PATCH 0
#define TESSIVANE_VERSION_STRING "1.3.0"

#ifdef __cplusplus

#include "tessivane_export.h"

namespace tessivane {

// "MAJOR.MINOR.PATCH" of the library loaded at run time (static storage), to
// compare with TESSIVANE_VERSION_STRING, the version a program was compiled
// against. [thread-safe]
TV_API const char *version();

}  // namespace tessivane

#endif

#endif
