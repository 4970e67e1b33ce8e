// Host records for sphere-to-sphere mappings (SSM).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_SSM_HEADER_H
#define TESSIVANE_PLUGIN_SSM_HEADER_H

#include <cstddef>

// A sphere-to-sphere mapping (SSM) between two meshes. 16 bytes.
struct SSM_Header {
    int NrOfSourceMeshVertices;  // 0
    int NrOfTargetMeshVertices;  // 4
    char *SSMFileName;           // 8
};

static_assert(sizeof(SSM_Header) == 16, "SSM_Header must be 16 bytes");

#endif  // TESSIVANE_PLUGIN_SSM_HEADER_H
