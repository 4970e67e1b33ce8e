// The host API table of the including translation unit, as (name, address)
// pairs in the order of resolution, for tests that check what InitTKAccess()
// stored. Include after LMTKPluginInterface.h; the table read is the
// includer's own (it has internal linkage).
#ifndef TESSIVANE_TESTS_TABLE_ENTRIES_H
#define TESSIVANE_TESTS_TABLE_ENTRIES_H

#include <string>
#include <vector>

struct TableEntry {
    std::string name;
    void *address;
};

static inline std::vector<TableEntry> tableEntries()
{
    return {
#define LMTK_HOST_FUNCTION(position, Result, Name, Parameters)                                     \
    TableEntry{"tk" #Name, reinterpret_cast<void *>(tk##Name)},
#include "LMTKHostFunctions.h"
    };
}

#endif
