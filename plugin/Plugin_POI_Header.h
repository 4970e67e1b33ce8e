// Host records for patches of interest (POI).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_POI_HEADER_H
#define TESSIVANE_PLUGIN_POI_HEADER_H

#include <cstddef>

// Header of a set of patches of interest (POI). 272 bytes.
struct POIs_Header {
    int NrOfPOIs;            // 0
    int NrOfPOIMTCs;         // 4
    char POIsFileName[261];  // 8
};

// One patch of interest. 532 bytes.
struct POI_Header {
    int NrOfVertices;        // 0
    char POIName[256];       // 4
    int DisplayColor;        // 260
    int ReferenceVertex;     // 264
    char InfoFileName[261];  // 268
};

static_assert(sizeof(POIs_Header) == 272, "POIs_Header must be 272 bytes");
static_assert(sizeof(POI_Header) == 532, "POI_Header must be 532 bytes");

#endif  // TESSIVANE_PLUGIN_POI_HEADER_H
