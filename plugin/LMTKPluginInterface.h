// The plugin side of the Lumarin TK plugin API.
//
// A plugin reaches every service of its host through a table of 150 function
// pointers that it fills at initialisation by looking the host's exported
// functions up by name in the running host process; nothing is linked against
// the host. Each pointer bears the name of the host symbol it is resolved from
// (tkLogText) and has the type named after the function without the "tk" prefix
// and with "Prototype" appended (LogTextPrototype). The functions, their types
// and their order are listed once, in LMTKHostFunctions.h.
//
// The table has internal linkage: every translation unit that includes this
// header owns a table of its own, all null until InitTKAccess() fills it. A
// plugin includes this header in the one unit that talks to the host.
//
// A host, or a host simulator, that defines these functions itself includes the
// header with LMTK_HOST_IMPLEMENTATION defined. It then gets the function types,
// the records and the plugin interface, but no table, whose names would clash
// with its own functions.
//
// [host thread only: the table is written by InitTKAccess() and read afterwards,
// without locking]
#ifndef TESSIVANE_LMTK_PLUGIN_INTERFACE_H
#define TESSIVANE_LMTK_PLUGIN_INTERFACE_H

#include <dlfcn.h>

#include "Plugin_FMR_Header.h"
#include "Plugin_DMR_Header.h"
#include "Plugin_VMR_Header.h"
#include "Plugin_VTC_Header.h"
#include "Plugin_NR_VMP_Header.h"
#include "Plugin_AR_VMP_Header.h"
#include "Plugin_PRT_Header.h"
#include "Plugin_VOI_Header.h"
#include "Plugin_GLM_Header.h"
#include "Plugin_SRF_Header.h"
#include "Plugin_MTC_Header.h"
#include "Plugin_SMP_Header.h"
#include "Plugin_SSM_Header.h"
#include "Plugin_POI_Header.h"

// ---- Plugin interface ----

// The object a plugin hands to the host (see createPlugin). The order of the
// virtual operations is part of the binary interface with the host: destructor,
// execute, initPlugin.
class LMTKPluginInterface {
public:
    LMTKPluginInterface() {}
    virtual ~LMTKPluginInterface() {}
    // Serves one request of the plugin's GUI script. The host calls it only
    // after initPlugin() returned true.
    virtual bool execute() = 0;
    // Called once after creation. True means the plugin may run.
    virtual bool initPlugin() = 0;
};

// ---- Host function types ----

// For every host function tkName of LMTKHostFunctions.h, the pointer type
// NamePrototype: LogTextPrototype is void (*)(const char *).
#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    using Name##Prototype = Result(*) Parameters;
#include "LMTKHostFunctions.h"

// ---- Version comparison ----

// True when version A (MajorA.MinorA.SubMinorA) is at least version B, comparing
// the three numbers in turn as signed ints. Equal versions compare true.
static inline bool checkVersionGreaterEqualVersion(int MajorA, int MinorA, int SubMinorA,
                                                   int MajorB, int MinorB, int SubMinorB)
{
    if (MajorA != MajorB)
        return MajorA > MajorB;
    if (MinorA != MinorB)
        return MinorA > MinorB;
    return SubMinorA >= SubMinorB;
}

#ifndef LMTK_HOST_IMPLEMENTATION

// ---- Host API table, in the order of resolution ----
//
// One pointer per host function, named like the function (tkLogText). Callable
// once InitTKAccess() has returned true, and only where the entry is not null:
// a host that lacks a function leaves its entry null.
#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    static Name##Prototype tk##Name = nullptr;
#include "LMTKHostFunctions.h"

// Fills the table from the running host program.
//
// Opens the program itself (dlopen of no file, lazy binding) and looks up
// tkGetVersionOfLumarinTK. When the program cannot be opened, returns false and
// leaves the table untouched. When the version function is missing, returns
// false with only that entry written (null); the other entries are not looked
// up. Otherwise looks up entries 2 to 150 in table order, storing each as found
// (null where the host lacks the function), and returns true. A second call
// looks everything up again. The program handle is never closed: the host stays
// loaded for as long as the process runs.
static inline bool InitTKAccess()
{
    void *handle = dlopen(nullptr, RTLD_LAZY);
    if (handle == nullptr)
        return false;

#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    tk##Name = reinterpret_cast<Name##Prototype>(dlsym(handle, "tk" #Name));                       \
    if (position == 1 && tk##Name == nullptr)                                                      \
        return false;
#include "LMTKHostFunctions.h"
    return true;
}

#endif  // LMTK_HOST_IMPLEMENTATION

#endif  // TESSIVANE_LMTK_PLUGIN_INTERFACE_H
