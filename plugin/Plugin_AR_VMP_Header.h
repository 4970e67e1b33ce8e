// Host records for volume maps, AR family.
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_AR_VMP_HEADER_H
#define TESSIVANE_PLUGIN_AR_VMP_HEADER_H

#include <cstddef>

// Header of a set of volume maps (AR family). 336 bytes.
struct AR_VMPs_Header {
    int NrOfMaps;        // 0
    char FileName[301];  // 4
    int XStart;          // 308
    int XEnd;            // 312
    int YStart;          // 316
    int YEnd;            // 320
    int ZStart;          // 324
    int ZEnd;            // 328
    int Resolution;      // 332
};

// Display and statistics parameters of one volume map (AR family). 96 bytes.
struct AR_VMP_Header {
    char *NameOfMap;                    // 0
    int MapType;                        // 8
    float ThreshMin;                    // 12
    float ThreshMax;                    // 16
    int IncludeValuesGreaterThreshMax;  // 20
    int ClusterSize;                    // 24
    int UseClusterSize;                 // 28
    int df1;                            // 32
    int df2;                            // 36
    int ShowPosOrNegOrBoth;             // 40
    int NrOfStatVoxels;                 // 44
    int NrOfCrossCorrLags;              // 48
    int CrossCorrMinLag;                // 52
    int CrossCorrMaxLag;                // 56
    int ShowCorrelations;               // 60
    int ColorPosMin;                    // 64
    int ColorPosMax;                    // 68
    int ColorNegMin;                    // 72
    int ColorNegMax;                    // 76
    int UseMapColor;                    // 80
    float TransparentColorFactor;       // 84
    int OverlayMap;                     // 88
};

static_assert(offsetof(AR_VMPs_Header, XStart) == 308,
              "AR_VMPs_Header::XStart must sit at byte 308");
static_assert(sizeof(AR_VMPs_Header) == 336, "AR_VMPs_Header must be 336 bytes");
static_assert(sizeof(AR_VMP_Header) == 96, "AR_VMP_Header must be 96 bytes");

#endif  // TESSIVANE_PLUGIN_AR_VMP_HEADER_H
