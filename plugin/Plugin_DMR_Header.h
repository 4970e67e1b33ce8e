// Host records for diffusion-weighted projects (DMR).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_DMR_HEADER_H
#define TESSIVANE_PLUGIN_DMR_HEADER_H

#include <cstddef>

// Main header of a diffusion-weighted project (DMR): dimensions, gradient table and the
// DWI storage it refers to. 1480 bytes.
struct DMR_Header {
    char FileName[301];                // 0
    int NrOfDirectionVolumes;          // 304
    int DimX;                          // 308
    int DimY;                          // 312
    int DimZ;                          // 316
    float VoxelResolutionX;            // 320
    float VoxelResolutionY;            // 324
    float VoxelResolutionZ;            // 328
    float SliceThickness;              // 332
    float GapThickness;                // 336
    int VoxelResolutionVerified;       // 340
    float **GradientDirections;        // 344
    int GradientDirectionsVerified;    // 352
    char GradientDirectionsFile[261];  // 356
    int GradientXDirInterpretation;    // 620
    int GradientYDirInterpretation;    // 624
    int GradientZDirInterpretation;    // 628
    float *BValues;                    // 632
    float *SmallDelta;                 // 640
    float *LargeDelta;                 // 648
    float *GradientAmplitude;          // 656
    int TE;                            // 664
    int TR;                            // 668
    int InterSliceTime;                // 672
    int DWIDataType;                   // 676
    int DWIStorageFormat;              // 680
    int DWIInMemStorageFormat;         // 684
    char DWIPrefix[261];               // 688
    int NrOfLinkedProtocols;           // 952
    char LinkedProtocolFile[261];      // 956
    char LinkedAMRFile[261];           // 1217
};

static_assert(offsetof(DMR_Header, NrOfDirectionVolumes) == 304,
              "DMR_Header::NrOfDirectionVolumes must sit at byte 304");
static_assert(offsetof(DMR_Header, GradientXDirInterpretation) == 620,
              "DMR_Header::GradientXDirInterpretation must sit at byte 620");
static_assert(offsetof(DMR_Header, NrOfLinkedProtocols) == 952,
              "DMR_Header::NrOfLinkedProtocols must sit at byte 952");
static_assert(sizeof(DMR_Header) == 1480, "DMR_Header must be 1480 bytes");

#endif  // TESSIVANE_PLUGIN_DMR_HEADER_H
