// Host records for anatomical volumes (VMR).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_VMR_HEADER_H
#define TESSIVANE_PLUGIN_VMR_HEADER_H

#include <cstddef>

// Main header of an anatomical volume (VMR). 368 bytes.
struct VMR_Header {
    char VMRFileName[301];        // 0
    int DimX;                     // 304
    int DimY;                     // 308
    int DimZ;                     // 312
    int OffsetX;                  // 316
    int OffsetY;                  // 320
    int OffsetZ;                  // 324
    int FramingCubeDim;           // 328
    float VoxelResolutionX;       // 332
    float VoxelResolutionY;       // 336
    float VoxelResolutionZ;       // 340
    int VoxelResolutionVerified;  // 344
    int TalairachSpace;           // 348
    int LeftRightConvention;      // 352
    int OriginalV16MinValue;      // 356
    int OriginalV16MeanValue;     // 360
    int OriginalV16MaxValue;      // 364
};

// Position of the anatomical volume in scanner coordinates. 80 bytes.
struct VMR_ScannerPosition_Header {
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

// Up to ten spatial transformations applied to the anatomical volume so far. 10108 bytes.
struct VMR_PastTransformations_Header {
    int NrOfPastSpatialTransformations;               // 0
    char NameOfSpatialTransformation[10][101];        // 4
    int TypeOfSpatialTransformation[10];              // 1016
    char SourceFileOfSpatialTransformation[10][501];  // 1056
    int NrOfTransformationValues[10];                 // 6068
    float TransformationValues[10][100];              // 6108
};

static_assert(offsetof(VMR_Header, DimX) == 304, "VMR_Header::DimX must sit at byte 304");
static_assert(sizeof(VMR_Header) == 368, "VMR_Header must be 368 bytes");
static_assert(sizeof(VMR_ScannerPosition_Header) == 80,
              "VMR_ScannerPosition_Header must be 80 bytes");
static_assert(offsetof(VMR_PastTransformations_Header, TypeOfSpatialTransformation) == 1016,
              "VMR_PastTransformations_Header::TypeOfSpatialTransformation must sit at byte 1016");
static_assert(offsetof(VMR_PastTransformations_Header, NrOfTransformationValues) == 6068,
              "VMR_PastTransformations_Header::NrOfTransformationValues must sit at byte 6068");
static_assert(sizeof(VMR_PastTransformations_Header) == 10108,
              "VMR_PastTransformations_Header must be 10108 bytes");

#endif  // TESSIVANE_PLUGIN_VMR_HEADER_H
