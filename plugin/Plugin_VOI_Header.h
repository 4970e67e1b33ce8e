// Host records for volumes of interest (VOI).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_VOI_HEADER_H
#define TESSIVANE_PLUGIN_VOI_HEADER_H

#include <cstddef>

// Header of a set of volumes of interest (VOI). 312 bytes.
struct VOIs_Header {
    int NrOfVOIs;                        // 0
    int NrOfVOIVTCs;                     // 4
    char VOIsFileName[261];              // 8
    int VOIsReferenceSpace;              // 272
    int SubjectVOINamingConvention;      // 276
    float OriginalVMRResolutionX;        // 280
    float OriginalVMRResolutionY;        // 284
    float OriginalVMRResolutionZ;        // 288
    int OriginalVMROffsetX;              // 292
    int OriginalVMROffsetY;              // 296
    int OriginalVMROffsetZ;              // 300
    int OriginalVMRFramingCubeDim;       // 304
    int OriginalVMRLeftRightConvention;  // 308
};

// One volume of interest. 264 bytes.
struct VOI_Header {
    int NrOfVoxels;     // 0
    char VOIName[256];  // 4
    int DisplayColor;   // 260
};

static_assert(offsetof(VOIs_Header, VOIsReferenceSpace) == 272,
              "VOIs_Header::VOIsReferenceSpace must sit at byte 272");
static_assert(sizeof(VOIs_Header) == 312, "VOIs_Header must be 312 bytes");
static_assert(sizeof(VOI_Header) == 264, "VOI_Header must be 264 bytes");

#endif  // TESSIVANE_PLUGIN_VOI_HEADER_H
