// Host records for functional projects (FMR).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_FMR_HEADER_H
#define TESSIVANE_PLUGIN_FMR_HEADER_H

#include <cstddef>

// Main header of a functional project (FMR): dimensions, voxel size, timing and the
// slice time course (STC) storage it refers to. 1160 bytes.
struct FMR_Header {
    char FileName[301];            // 0
    int NrOfVolumes;               // 304
    int DimX;                      // 308
    int DimY;                      // 312
    int DimZ;                      // 316
    float VoxelResolutionX;        // 320
    float VoxelResolutionY;        // 324
    float VoxelResolutionZ;        // 328
    float SliceThickness;          // 332
    float GapThickness;            // 336
    int VoxelResolutionVerified;   // 340
    int TE;                        // 344
    int TR;                        // 348
    int InterSliceTime;            // 352
    int STCDataType;               // 356
    int STCStorageFormat;          // 360
    int STCInMemStorageFormat;     // 364
    char STCPrefix[261];           // 368
    int NrOfLinkedProtocols;       // 632
    char LinkedProtocolFile[261];  // 636
    char LinkedAMRFile[261];       // 897
};

// Position of the functional slices in scanner coordinates. 80 bytes.
struct FMR_ScannerPosition_Header {
    int MagnetPosInfosVerified;  // 0
    int MagnetCoordinateSystem;  // 4
    float MagnetSlice1CenterX;   // 8
    float MagnetSlice1CenterY;   // 12
    float MagnetSlice1CenterZ;   // 16
    float MagnetSliceNCenterX;   // 20
    float MagnetSliceNCenterY;   // 24
    float MagnetSliceNCenterZ;   // 28
    float MagnetRowDirX;         // 32
    float MagnetRowDirY;         // 36
    float MagnetRowDirZ;         // 40
    float MagnetColDirX;         // 44
    float MagnetColDirY;         // 48
    float MagnetColDirZ;         // 52
    int MagnetNRows;             // 56
    int MagnetNCols;             // 60
    float MagnetFoVRows;         // 64
    float MagnetFoVCols;         // 68
    float MagnetSliceThickness;  // 72
    float MagnetGapThickness;    // 76
};

static_assert(offsetof(FMR_Header, NrOfVolumes) == 304,
              "FMR_Header::NrOfVolumes must sit at byte 304");
static_assert(offsetof(FMR_Header, NrOfLinkedProtocols) == 632,
              "FMR_Header::NrOfLinkedProtocols must sit at byte 632");
static_assert(sizeof(FMR_Header) == 1160, "FMR_Header must be 1160 bytes");
static_assert(sizeof(FMR_ScannerPosition_Header) == 80,
              "FMR_ScannerPosition_Header must be 80 bytes");

#endif  // TESSIVANE_PLUGIN_FMR_HEADER_H
