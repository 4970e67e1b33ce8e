// Host records for mesh time courses (MTC).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_MTC_HEADER_H
#define TESSIVANE_PLUGIN_MTC_HEADER_H

#include <cstddef>

// Header of a mesh time course (MTC). 808 bytes.
struct MTC_Header {
    int HeaderSize;                // 0
    int NrOfTimePoints;            // 4
    int NrOfVertices;              // 8
    int DataType;                  // 12
    int InMemory;                  // 16
    int TR;                        // 20
    char MTCFileName[261];         // 24
    char LinkedProtocolName[261];  // 285
    char CreatedFromVTC[261];      // 546
};

static_assert(sizeof(MTC_Header) == 808, "MTC_Header must be 808 bytes");

#endif  // TESSIVANE_PLUGIN_MTC_HEADER_H
