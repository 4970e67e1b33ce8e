// Host records for surface maps (SMP).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_SMP_HEADER_H
#define TESSIVANE_PLUGIN_SMP_HEADER_H

#include <cstddef>

// Header of a set of surface maps (SMP). 312 bytes.
struct SMPs_Header {
    int NrOfSMPs;           // 0
    int NrOfVertices;       // 4
    char SMPFileName[301];  // 8
};

// Display and statistics parameters of one surface map. 72 bytes.
struct SMP_Header {
    char *NameOfSMP;                    // 0
    int MapType;                        // 8
    int ClusterSize;                    // 12
    int UseClusterSize;                 // 16
    float ThreshMin;                    // 20
    float ThreshMax;                    // 24
    int IncludeValuesGreaterThreshMax;  // 28
    int df1;                            // 32
    int df2;                            // 36
    int ColorPosMin;                    // 40
    int ColorPosMax;                    // 44
    int ColorNegMin;                    // 48
    int ColorNegMax;                    // 52
    int UseSMPColor;                    // 56
    float TransparentColorFactor;       // 60
    int NrOfMaskVertices;               // 64
    int OverlayMap;                     // 68
};

static_assert(sizeof(SMPs_Header) == 312, "SMPs_Header must be 312 bytes");
static_assert(sizeof(SMP_Header) == 72, "SMP_Header must be 72 bytes");

#endif  // TESSIVANE_PLUGIN_SMP_HEADER_H
