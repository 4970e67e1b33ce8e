// The plugin API as tkhost exports it: the 150 host functions of
// LMTKHostFunctions.h, declared with C linkage and default visibility, so that
// a plugin finds each with dlsym() on the running program. A definition whose
// type differs from the list does not compile.
#ifndef TKHOST_HOST_API_H
#define TKHOST_HOST_API_H

#define LMTK_HOST_IMPLEMENTATION
#include "LMTKPluginInterface.h"

#define TKHOST_API extern "C" __attribute__((visibility("default")))

#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    TKHOST_API Result tk##Name Parameters;
#include "LMTKHostFunctions.h"

namespace tkhost {

// Records a call of a host function that the simulation does not cover and
// writes "unexpected host call: <name>" to the host log.
void report_unexpected_call(const char *name);

}  // namespace tkhost

#endif  // TKHOST_HOST_API_H
