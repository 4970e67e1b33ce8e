// Host records for volume maps, NR family.
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_NR_VMP_HEADER_H
#define TESSIVANE_PLUGIN_NR_VMP_HEADER_H

#include <cstddef>

// Header of a set of volume maps (NR family). 400 bytes.
struct NR_VMPs_Header {
    int NrOfMaps;                       // 0
    char FileName[301];                 // 4
    int NrOfTimePoints;                 // 308
    int NrOfMapParams;                  // 312
    int ShowParamsFrom;                 // 316
    int ShowParamsTo;                   // 320
    int UseForICFingerprintFrom;        // 324
    int UseForICFingerprintTo;          // 328
    char *VTCFileName;                  // 336
    char *ProtocolFileName;             // 344
    char *VOIFileName;                  // 352
    int XStart;                         // 360
    int XEnd;                           // 364
    int YStart;                         // 368
    int YEnd;                           // 372
    int ZStart;                         // 376
    int ZEnd;                           // 380
    int Resolution;                     // 384
    char **NamesOfComponentParameters;  // 392
};

// Display and statistics parameters of one volume map (NR family). 112 bytes.
struct NR_VMP_Header {
    char *NameOfMap;                    // 0
    int MapType;                        // 8
    float ThreshMin;                    // 12
    float ThreshMax;                    // 16
    int IncludeValuesGreaterThreshMax;  // 20
    int ClusterSize;                    // 24
    int UseClusterSize;                 // 28
    int df1;                            // 32
    int df2;                            // 36
    int NrOfStatVoxels;                 // 40
    int ShowPosOrNegOrBoth;             // 44
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
    float *TimeCourse;                  // 88
    float *ComponentParams;             // 96
    int OverlayMap;                     // 104
};

static_assert(offsetof(NR_VMPs_Header, NrOfTimePoints) == 308,
              "NR_VMPs_Header::NrOfTimePoints must sit at byte 308");
static_assert(offsetof(NR_VMPs_Header, VTCFileName) == 336,
              "NR_VMPs_Header::VTCFileName must sit at byte 336");
static_assert(offsetof(NR_VMPs_Header, NamesOfComponentParameters) == 392,
              "NR_VMPs_Header::NamesOfComponentParameters must sit at byte 392");
static_assert(sizeof(NR_VMPs_Header) == 400, "NR_VMPs_Header must be 400 bytes");
static_assert(sizeof(NR_VMP_Header) == 112, "NR_VMP_Header must be 112 bytes");

#endif  // TESSIVANE_PLUGIN_NR_VMP_HEADER_H
