// Byte layout of the 25 host records on 64-bit Linux: the offset, size and
// type of every field and the total size of every record, checked at run time
// against the layout the host is built with.
#include "Plugin_FMR_Header.h"
#include "Plugin_DMR_Header.h"
#include "Plugin_VMR_Header.h"
#include "Plugin_VTC_Header.h"
#include "Plugin_NR_VMP_Header.h"
#include "Plugin_AR_VMP_Header.h"
#include "Plugin_PRT_Header.h"
#include "Plugin_VOI_Header.h"
#include "Plugin_GLM_Header.h"
#include "Plugin_SRF_Header.h"
#include "Plugin_MTC_Header.h"
#include "Plugin_SMP_Header.h"
#include "Plugin_SSM_Header.h"
#include "Plugin_POI_Header.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

namespace {

struct FieldCheck {
    const char *name;
    std::size_t expected_offset;
    std::size_t expected_size;
    std::size_t offset;
    std::size_t size;
    bool type_matches;
};

// One row per field: its expected offset and type, next to what the compiler
// made of the declaration.
// clang-format off
#define TV_FIELD(record, field, offset, ...)                                                  \
    FieldCheck                                                                                 \
    {                                                                                          \
        #field, offset, sizeof(__VA_ARGS__), offsetof(record, field), sizeof(record::field),   \
            std::is_same<decltype(record::field), __VA_ARGS__>::value                          \
    }
// clang-format on

void expectLayout(const char *record, std::size_t size, std::size_t expected_size,
                  const std::vector<FieldCheck> &fields)
{
    EXPECT_EQ(size, expected_size) << record << " total size";
    std::size_t end = 0;
    for (const FieldCheck &f : fields) {
        EXPECT_EQ(f.offset, f.expected_offset) << record << "::" << f.name << " offset";
        EXPECT_EQ(f.size, f.expected_size) << record << "::" << f.name << " size";
        EXPECT_TRUE(f.type_matches) << record << "::" << f.name << " type";
        // Fields follow one another; only alignment padding lies between them.
        EXPECT_GE(f.offset, end) << record << "::" << f.name << " overlaps the field before";
        EXPECT_LT(f.offset - end, 8u) << record << "::" << f.name << " gap before it";
        end = f.offset + f.size;
    }
    EXPECT_LE(end, size) << record << " last field runs past the end";
    EXPECT_LT(size - end, 8u) << record << " tail padding";
}

}  // namespace

TEST(RecordLayout, FMR_Header)
{
    expectLayout("FMR_Header", sizeof(FMR_Header), 1160,
                 {
                     TV_FIELD(FMR_Header, FileName, 0, char[301]),
                     TV_FIELD(FMR_Header, NrOfVolumes, 304, int),
                     TV_FIELD(FMR_Header, DimX, 308, int),
                     TV_FIELD(FMR_Header, DimY, 312, int),
                     TV_FIELD(FMR_Header, DimZ, 316, int),
                     TV_FIELD(FMR_Header, VoxelResolutionX, 320, float),
                     TV_FIELD(FMR_Header, VoxelResolutionY, 324, float),
                     TV_FIELD(FMR_Header, VoxelResolutionZ, 328, float),
                     TV_FIELD(FMR_Header, SliceThickness, 332, float),
                     TV_FIELD(FMR_Header, GapThickness, 336, float),
                     TV_FIELD(FMR_Header, VoxelResolutionVerified, 340, int),
                     TV_FIELD(FMR_Header, TE, 344, int),
                     TV_FIELD(FMR_Header, TR, 348, int),
                     TV_FIELD(FMR_Header, InterSliceTime, 352, int),
                     TV_FIELD(FMR_Header, STCDataType, 356, int),
                     TV_FIELD(FMR_Header, STCStorageFormat, 360, int),
                     TV_FIELD(FMR_Header, STCInMemStorageFormat, 364, int),
                     TV_FIELD(FMR_Header, STCPrefix, 368, char[261]),
                     TV_FIELD(FMR_Header, NrOfLinkedProtocols, 632, int),
                     TV_FIELD(FMR_Header, LinkedProtocolFile, 636, char[261]),
                     TV_FIELD(FMR_Header, LinkedAMRFile, 897, char[261]),
                 });
}

TEST(RecordLayout, FMR_ScannerPosition_Header)
{
    expectLayout("FMR_ScannerPosition_Header", sizeof(FMR_ScannerPosition_Header), 80,
                 {
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetPosInfosVerified, 0, int),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetCoordinateSystem, 4, int),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSlice1CenterX, 8, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSlice1CenterY, 12, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSlice1CenterZ, 16, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSliceNCenterX, 20, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSliceNCenterY, 24, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSliceNCenterZ, 28, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetRowDirX, 32, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetRowDirY, 36, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetRowDirZ, 40, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetColDirX, 44, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetColDirY, 48, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetColDirZ, 52, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetNRows, 56, int),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetNCols, 60, int),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetFoVRows, 64, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetFoVCols, 68, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetSliceThickness, 72, float),
                     TV_FIELD(FMR_ScannerPosition_Header, MagnetGapThickness, 76, float),
                 });
}

TEST(RecordLayout, DMR_Header)
{
    expectLayout("DMR_Header", sizeof(DMR_Header), 1480,
                 {
                     TV_FIELD(DMR_Header, FileName, 0, char[301]),
                     TV_FIELD(DMR_Header, NrOfDirectionVolumes, 304, int),
                     TV_FIELD(DMR_Header, DimX, 308, int),
                     TV_FIELD(DMR_Header, DimY, 312, int),
                     TV_FIELD(DMR_Header, DimZ, 316, int),
                     TV_FIELD(DMR_Header, VoxelResolutionX, 320, float),
                     TV_FIELD(DMR_Header, VoxelResolutionY, 324, float),
                     TV_FIELD(DMR_Header, VoxelResolutionZ, 328, float),
                     TV_FIELD(DMR_Header, SliceThickness, 332, float),
                     TV_FIELD(DMR_Header, GapThickness, 336, float),
                     TV_FIELD(DMR_Header, VoxelResolutionVerified, 340, int),
                     TV_FIELD(DMR_Header, GradientDirections, 344, float **),
                     TV_FIELD(DMR_Header, GradientDirectionsVerified, 352, int),
                     TV_FIELD(DMR_Header, GradientDirectionsFile, 356, char[261]),
                     TV_FIELD(DMR_Header, GradientXDirInterpretation, 620, int),
                     TV_FIELD(DMR_Header, GradientYDirInterpretation, 624, int),
                     TV_FIELD(DMR_Header, GradientZDirInterpretation, 628, int),
                     TV_FIELD(DMR_Header, BValues, 632, float *),
                     TV_FIELD(DMR_Header, SmallDelta, 640, float *),
                     TV_FIELD(DMR_Header, LargeDelta, 648, float *),
                     TV_FIELD(DMR_Header, GradientAmplitude, 656, float *),
                     TV_FIELD(DMR_Header, TE, 664, int),
                     TV_FIELD(DMR_Header, TR, 668, int),
                     TV_FIELD(DMR_Header, InterSliceTime, 672, int),
                     TV_FIELD(DMR_Header, DWIDataType, 676, int),
                     TV_FIELD(DMR_Header, DWIStorageFormat, 680, int),
                     TV_FIELD(DMR_Header, DWIInMemStorageFormat, 684, int),
                     TV_FIELD(DMR_Header, DWIPrefix, 688, char[261]),
                     TV_FIELD(DMR_Header, NrOfLinkedProtocols, 952, int),
                     TV_FIELD(DMR_Header, LinkedProtocolFile, 956, char[261]),
                     TV_FIELD(DMR_Header, LinkedAMRFile, 1217, char[261]),
                 });
}

TEST(RecordLayout, VMR_Header)
{
    expectLayout("VMR_Header", sizeof(VMR_Header), 368,
                 {
                     TV_FIELD(VMR_Header, VMRFileName, 0, char[301]),
                     TV_FIELD(VMR_Header, DimX, 304, int),
                     TV_FIELD(VMR_Header, DimY, 308, int),
                     TV_FIELD(VMR_Header, DimZ, 312, int),
                     TV_FIELD(VMR_Header, OffsetX, 316, int),
                     TV_FIELD(VMR_Header, OffsetY, 320, int),
                     TV_FIELD(VMR_Header, OffsetZ, 324, int),
                     TV_FIELD(VMR_Header, FramingCubeDim, 328, int),
                     TV_FIELD(VMR_Header, VoxelResolutionX, 332, float),
                     TV_FIELD(VMR_Header, VoxelResolutionY, 336, float),
                     TV_FIELD(VMR_Header, VoxelResolutionZ, 340, float),
                     TV_FIELD(VMR_Header, VoxelResolutionVerified, 344, int),
                     TV_FIELD(VMR_Header, TalairachSpace, 348, int),
                     TV_FIELD(VMR_Header, LeftRightConvention, 352, int),
                     TV_FIELD(VMR_Header, OriginalV16MinValue, 356, int),
                     TV_FIELD(VMR_Header, OriginalV16MeanValue, 360, int),
                     TV_FIELD(VMR_Header, OriginalV16MaxValue, 364, int),
                 });
}

TEST(RecordLayout, VMR_ScannerPosition_Header)
{
    expectLayout("VMR_ScannerPosition_Header", sizeof(VMR_ScannerPosition_Header), 80,
                 {
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetPosInfosVerified, 0, int),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetCoordinateSystem, 4, int),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSlice1CenterX, 8, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSlice1CenterY, 12, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSlice1CenterZ, 16, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSliceNCenterX, 20, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSliceNCenterY, 24, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSliceNCenterZ, 28, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetRowDirX, 32, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetRowDirY, 36, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetRowDirZ, 40, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetColDirX, 44, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetColDirY, 48, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetColDirZ, 52, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetNRows, 56, int),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetNCols, 60, int),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetFoVRows, 64, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetFoVCols, 68, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetSliceThickness, 72, float),
                     TV_FIELD(VMR_ScannerPosition_Header, MagnetGapThickness, 76, float),
                 });
}

TEST(RecordLayout, VMR_PastTransformations_Header)
{
    expectLayout(
        "VMR_PastTransformations_Header", sizeof(VMR_PastTransformations_Header), 10108,
        {
            TV_FIELD(VMR_PastTransformations_Header, NrOfPastSpatialTransformations, 0, int),
            TV_FIELD(VMR_PastTransformations_Header, NameOfSpatialTransformation, 4, char[10][101]),
            TV_FIELD(VMR_PastTransformations_Header, TypeOfSpatialTransformation, 1016, int[10]),
            TV_FIELD(VMR_PastTransformations_Header, SourceFileOfSpatialTransformation, 1056,
                     char[10][501]),
            TV_FIELD(VMR_PastTransformations_Header, NrOfTransformationValues, 6068, int[10]),
            TV_FIELD(VMR_PastTransformations_Header, TransformationValues, 6108, float[10][100]),
        });
}

TEST(RecordLayout, VTC_Header)
{
    expectLayout("VTC_Header", sizeof(VTC_Header), 848,
                 {
                     TV_FIELD(VTC_Header, HeaderSize, 0, int),
                     TV_FIELD(VTC_Header, NrOfVolumes, 4, int),
                     TV_FIELD(VTC_Header, InMemory, 8, int),
                     TV_FIELD(VTC_Header, ReferenceSpace, 12, int),
                     TV_FIELD(VTC_Header, TR, 16, int),
                     TV_FIELD(VTC_Header, XStart, 20, int),
                     TV_FIELD(VTC_Header, XEnd, 24, int),
                     TV_FIELD(VTC_Header, YStart, 28, int),
                     TV_FIELD(VTC_Header, YEnd, 32, int),
                     TV_FIELD(VTC_Header, ZStart, 36, int),
                     TV_FIELD(VTC_Header, ZEnd, 40, int),
                     TV_FIELD(VTC_Header, Resolution, 44, int),
                     TV_FIELD(VTC_Header, DataType, 48, int),
                     TV_FIELD(VTC_Header, RadiologicalConvention, 52, int),
                     TV_FIELD(VTC_Header, VTCFileName, 56, char[261]),
                     TV_FIELD(VTC_Header, NrOfLinkedProtocols, 320, int),
                     TV_FIELD(VTC_Header, LinkedProtocolFile, 324, char[261]),
                     TV_FIELD(VTC_Header, CreatedFromFMR, 585, char[261]),
                 });
}

TEST(RecordLayout, NR_VMPs_Header)
{
    expectLayout("NR_VMPs_Header", sizeof(NR_VMPs_Header), 400,
                 {
                     TV_FIELD(NR_VMPs_Header, NrOfMaps, 0, int),
                     TV_FIELD(NR_VMPs_Header, FileName, 4, char[301]),
                     TV_FIELD(NR_VMPs_Header, NrOfTimePoints, 308, int),
                     TV_FIELD(NR_VMPs_Header, NrOfMapParams, 312, int),
                     TV_FIELD(NR_VMPs_Header, ShowParamsFrom, 316, int),
                     TV_FIELD(NR_VMPs_Header, ShowParamsTo, 320, int),
                     TV_FIELD(NR_VMPs_Header, UseForICFingerprintFrom, 324, int),
                     TV_FIELD(NR_VMPs_Header, UseForICFingerprintTo, 328, int),
                     TV_FIELD(NR_VMPs_Header, VTCFileName, 336, char *),
                     TV_FIELD(NR_VMPs_Header, ProtocolFileName, 344, char *),
                     TV_FIELD(NR_VMPs_Header, VOIFileName, 352, char *),
                     TV_FIELD(NR_VMPs_Header, XStart, 360, int),
                     TV_FIELD(NR_VMPs_Header, XEnd, 364, int),
                     TV_FIELD(NR_VMPs_Header, YStart, 368, int),
                     TV_FIELD(NR_VMPs_Header, YEnd, 372, int),
                     TV_FIELD(NR_VMPs_Header, ZStart, 376, int),
                     TV_FIELD(NR_VMPs_Header, ZEnd, 380, int),
                     TV_FIELD(NR_VMPs_Header, Resolution, 384, int),
                     TV_FIELD(NR_VMPs_Header, NamesOfComponentParameters, 392, char **),
                 });
}

TEST(RecordLayout, NR_VMP_Header)
{
    expectLayout("NR_VMP_Header", sizeof(NR_VMP_Header), 112,
                 {
                     TV_FIELD(NR_VMP_Header, NameOfMap, 0, char *),
                     TV_FIELD(NR_VMP_Header, MapType, 8, int),
                     TV_FIELD(NR_VMP_Header, ThreshMin, 12, float),
                     TV_FIELD(NR_VMP_Header, ThreshMax, 16, float),
                     TV_FIELD(NR_VMP_Header, IncludeValuesGreaterThreshMax, 20, int),
                     TV_FIELD(NR_VMP_Header, ClusterSize, 24, int),
                     TV_FIELD(NR_VMP_Header, UseClusterSize, 28, int),
                     TV_FIELD(NR_VMP_Header, df1, 32, int),
                     TV_FIELD(NR_VMP_Header, df2, 36, int),
                     TV_FIELD(NR_VMP_Header, NrOfStatVoxels, 40, int),
                     TV_FIELD(NR_VMP_Header, ShowPosOrNegOrBoth, 44, int),
                     TV_FIELD(NR_VMP_Header, NrOfCrossCorrLags, 48, int),
                     TV_FIELD(NR_VMP_Header, CrossCorrMinLag, 52, int),
                     TV_FIELD(NR_VMP_Header, CrossCorrMaxLag, 56, int),
                     TV_FIELD(NR_VMP_Header, ShowCorrelations, 60, int),
                     TV_FIELD(NR_VMP_Header, ColorPosMin, 64, int),
                     TV_FIELD(NR_VMP_Header, ColorPosMax, 68, int),
                     TV_FIELD(NR_VMP_Header, ColorNegMin, 72, int),
                     TV_FIELD(NR_VMP_Header, ColorNegMax, 76, int),
                     TV_FIELD(NR_VMP_Header, UseMapColor, 80, int),
                     TV_FIELD(NR_VMP_Header, TransparentColorFactor, 84, float),
                     TV_FIELD(NR_VMP_Header, TimeCourse, 88, float *),
                     TV_FIELD(NR_VMP_Header, ComponentParams, 96, float *),
                     TV_FIELD(NR_VMP_Header, OverlayMap, 104, int),
                 });
}

TEST(RecordLayout, AR_VMPs_Header)
{
    expectLayout("AR_VMPs_Header", sizeof(AR_VMPs_Header), 336,
                 {
                     TV_FIELD(AR_VMPs_Header, NrOfMaps, 0, int),
                     TV_FIELD(AR_VMPs_Header, FileName, 4, char[301]),
                     TV_FIELD(AR_VMPs_Header, XStart, 308, int),
                     TV_FIELD(AR_VMPs_Header, XEnd, 312, int),
                     TV_FIELD(AR_VMPs_Header, YStart, 316, int),
                     TV_FIELD(AR_VMPs_Header, YEnd, 320, int),
                     TV_FIELD(AR_VMPs_Header, ZStart, 324, int),
                     TV_FIELD(AR_VMPs_Header, ZEnd, 328, int),
                     TV_FIELD(AR_VMPs_Header, Resolution, 332, int),
                 });
}

TEST(RecordLayout, AR_VMP_Header)
{
    expectLayout("AR_VMP_Header", sizeof(AR_VMP_Header), 96,
                 {
                     TV_FIELD(AR_VMP_Header, NameOfMap, 0, char *),
                     TV_FIELD(AR_VMP_Header, MapType, 8, int),
                     TV_FIELD(AR_VMP_Header, ThreshMin, 12, float),
                     TV_FIELD(AR_VMP_Header, ThreshMax, 16, float),
                     TV_FIELD(AR_VMP_Header, IncludeValuesGreaterThreshMax, 20, int),
                     TV_FIELD(AR_VMP_Header, ClusterSize, 24, int),
                     TV_FIELD(AR_VMP_Header, UseClusterSize, 28, int),
                     TV_FIELD(AR_VMP_Header, df1, 32, int),
                     TV_FIELD(AR_VMP_Header, df2, 36, int),
                     TV_FIELD(AR_VMP_Header, ShowPosOrNegOrBoth, 40, int),
                     TV_FIELD(AR_VMP_Header, NrOfStatVoxels, 44, int),
                     TV_FIELD(AR_VMP_Header, NrOfCrossCorrLags, 48, int),
                     TV_FIELD(AR_VMP_Header, CrossCorrMinLag, 52, int),
                     TV_FIELD(AR_VMP_Header, CrossCorrMaxLag, 56, int),
                     TV_FIELD(AR_VMP_Header, ShowCorrelations, 60, int),
                     TV_FIELD(AR_VMP_Header, ColorPosMin, 64, int),
                     TV_FIELD(AR_VMP_Header, ColorPosMax, 68, int),
                     TV_FIELD(AR_VMP_Header, ColorNegMin, 72, int),
                     TV_FIELD(AR_VMP_Header, ColorNegMax, 76, int),
                     TV_FIELD(AR_VMP_Header, UseMapColor, 80, int),
                     TV_FIELD(AR_VMP_Header, TransparentColorFactor, 84, float),
                     TV_FIELD(AR_VMP_Header, OverlayMap, 88, int),
                 });
}

TEST(RecordLayout, Protocol_Header)
{
    expectLayout("Protocol_Header", sizeof(Protocol_Header), 596,
                 {
                     TV_FIELD(Protocol_Header, NrOfConditions, 0, int),
                     TV_FIELD(Protocol_Header, ProtocolFileName, 4, char[261]),
                     TV_FIELD(Protocol_Header, ExperimentName, 265, char[301]),
                     TV_FIELD(Protocol_Header, TimeResolution, 568, int),
                     TV_FIELD(Protocol_Header, PlotBackgroundColor, 572, int),
                     TV_FIELD(Protocol_Header, PlotTextColor, 576, int),
                     TV_FIELD(Protocol_Header, PlotTimeCourseColor, 580, int),
                     TV_FIELD(Protocol_Header, PlotTimeCoursePenThickness, 584, int),
                     TV_FIELD(Protocol_Header, PlotReferenceTimeCourseColor, 588, int),
                     TV_FIELD(Protocol_Header, PlotReferenceTimeCoursePenThickness, 592, int),
                 });
}

TEST(RecordLayout, ProtocolCondition_Header)
{
    expectLayout("ProtocolCondition_Header", sizeof(ProtocolCondition_Header), 288,
                 {
                     TV_FIELD(ProtocolCondition_Header, ConditionName, 0, char[256]),
                     TV_FIELD(ProtocolCondition_Header, NrOfIntervals, 256, int),
                     TV_FIELD(ProtocolCondition_Header, IntervalFrom, 264, int *),
                     TV_FIELD(ProtocolCondition_Header, IntervalTo, 272, int *),
                     TV_FIELD(ProtocolCondition_Header, Color, 280, int),
                 });
}

TEST(RecordLayout, VOIs_Header)
{
    expectLayout("VOIs_Header", sizeof(VOIs_Header), 312,
                 {
                     TV_FIELD(VOIs_Header, NrOfVOIs, 0, int),
                     TV_FIELD(VOIs_Header, NrOfVOIVTCs, 4, int),
                     TV_FIELD(VOIs_Header, VOIsFileName, 8, char[261]),
                     TV_FIELD(VOIs_Header, VOIsReferenceSpace, 272, int),
                     TV_FIELD(VOIs_Header, SubjectVOINamingConvention, 276, int),
                     TV_FIELD(VOIs_Header, OriginalVMRResolutionX, 280, float),
                     TV_FIELD(VOIs_Header, OriginalVMRResolutionY, 284, float),
                     TV_FIELD(VOIs_Header, OriginalVMRResolutionZ, 288, float),
                     TV_FIELD(VOIs_Header, OriginalVMROffsetX, 292, int),
                     TV_FIELD(VOIs_Header, OriginalVMROffsetY, 296, int),
                     TV_FIELD(VOIs_Header, OriginalVMROffsetZ, 300, int),
                     TV_FIELD(VOIs_Header, OriginalVMRFramingCubeDim, 304, int),
                     TV_FIELD(VOIs_Header, OriginalVMRLeftRightConvention, 308, int),
                 });
}

TEST(RecordLayout, VOI_Header)
{
    expectLayout("VOI_Header", sizeof(VOI_Header), 264,
                 {
                     TV_FIELD(VOI_Header, NrOfVoxels, 0, int),
                     TV_FIELD(VOI_Header, VOIName, 4, char[256]),
                     TV_FIELD(VOI_Header, DisplayColor, 260, int),
                 });
}

TEST(RecordLayout, GLM_Header)
{
    expectLayout("GLM_Header", sizeof(GLM_Header), 360,
                 {
                     TV_FIELD(GLM_Header, GLMDataType, 0, int),
                     TV_FIELD(GLM_Header, RFXGLM, 4, int),
                     TV_FIELD(GLM_Header, NrOfSubjectsRFXGLM, 8, int),
                     TV_FIELD(GLM_Header, NrOfSubjectPredictorsRFXGLM, 12, int),
                     TV_FIELD(GLM_Header, CorrectedForSerialCorrelations, 16, int),
                     TV_FIELD(GLM_Header, XStart, 20, int),
                     TV_FIELD(GLM_Header, XEnd, 24, int),
                     TV_FIELD(GLM_Header, YStart, 28, int),
                     TV_FIELD(GLM_Header, YEnd, 32, int),
                     TV_FIELD(GLM_Header, ZStart, 36, int),
                     TV_FIELD(GLM_Header, ZEnd, 40, int),
                     TV_FIELD(GLM_Header, Resolution, 44, int),
                     TV_FIELD(GLM_Header, NrOfTimePoints, 48, int),
                     TV_FIELD(GLM_Header, NrOfPredictors, 52, int),
                     TV_FIELD(GLM_Header, NrOfStudies, 56, int),
                     TV_FIELD(GLM_Header, SeparatePredictors, 60, int),
                     TV_FIELD(GLM_Header, PSCTransformation, 64, int),
                     TV_FIELD(GLM_Header, ZTransformation, 68, int),
                     TV_FIELD(GLM_Header, CortexBasedStatistics, 72, int),
                     TV_FIELD(GLM_Header, NrOfVoxelsForBonfCorrection, 76, int),
                     TV_FIELD(GLM_Header, CortexMaskFile, 80, char[260]),
                     TV_FIELD(GLM_Header, DesignMatrix, 344, float **),
                     TV_FIELD(GLM_Header, iXX, 352, float **),
                 });
}

TEST(RecordLayout, Triangle_Vertices)
{
    expectLayout("Triangle_Vertices", sizeof(Triangle_Vertices), 12,
                 {
                     TV_FIELD(Triangle_Vertices, v1, 0, int),
                     TV_FIELD(Triangle_Vertices, v2, 4, int),
                     TV_FIELD(Triangle_Vertices, v3, 8, int),
                 });
}

TEST(RecordLayout, SCENE_Header)
{
    expectLayout("SCENE_Header", sizeof(SCENE_Header), 8,
                 {
                     TV_FIELD(SCENE_Header, NrOfMeshes, 0, int),
                     TV_FIELD(SCENE_Header, CurrentMesh, 4, int),
                 });
}

TEST(RecordLayout, SRF_Header)
{
    expectLayout("SRF_Header", sizeof(SRF_Header), 168,
                 {
                     TV_FIELD(SRF_Header, NrOfVertices, 0, int),
                     TV_FIELD(SRF_Header, NrOfTriangles, 4, int),
                     TV_FIELD(SRF_Header, VertexX, 8, float *),
                     TV_FIELD(SRF_Header, VertexY, 16, float *),
                     TV_FIELD(SRF_Header, VertexZ, 24, float *),
                     TV_FIELD(SRF_Header, NormalX, 32, float *),
                     TV_FIELD(SRF_Header, NormalY, 40, float *),
                     TV_FIELD(SRF_Header, NormalZ, 48, float *),
                     TV_FIELD(SRF_Header, VertexColor, 56, int *),
                     TV_FIELD(SRF_Header, Visible, 64, int),
                     TV_FIELD(SRF_Header, RenderMode, 68, int),
                     TV_FIELD(SRF_Header, Base1ColorR, 72, float),
                     TV_FIELD(SRF_Header, Base1ColorG, 76, float),
                     TV_FIELD(SRF_Header, Base1ColorB, 80, float),
                     TV_FIELD(SRF_Header, Base2ColorR, 84, float),
                     TV_FIELD(SRF_Header, Base2ColorG, 88, float),
                     TV_FIELD(SRF_Header, Base2ColorB, 92, float),
                     TV_FIELD(SRF_Header, MeshCenterX, 96, float),
                     TV_FIELD(SRF_Header, MeshCenterY, 100, float),
                     TV_FIELD(SRF_Header, MeshCenterZ, 104, float),
                     TV_FIELD(SRF_Header, MeshRotX, 108, float),
                     TV_FIELD(SRF_Header, MeshRotY, 112, float),
                     TV_FIELD(SRF_Header, MeshRotZ, 116, float),
                     TV_FIELD(SRF_Header, Triangles, 120, Triangle_Vertices *),
                     TV_FIELD(SRF_Header, NrOfVertexNeighbors, 128, int *),
                     TV_FIELD(SRF_Header, VertexNeighborhood, 136, int **),
                     TV_FIELD(SRF_Header, UseTriangleStrip, 144, int),
                     TV_FIELD(SRF_Header, NrOfStripElements, 148, int),
                     TV_FIELD(SRF_Header, TriangleStrip, 152, int *),
                     TV_FIELD(SRF_Header, MeshFileName, 160, char *),
                 });
}

TEST(RecordLayout, MTC_Header)
{
    expectLayout("MTC_Header", sizeof(MTC_Header), 808,
                 {
                     TV_FIELD(MTC_Header, HeaderSize, 0, int),
                     TV_FIELD(MTC_Header, NrOfTimePoints, 4, int),
                     TV_FIELD(MTC_Header, NrOfVertices, 8, int),
                     TV_FIELD(MTC_Header, DataType, 12, int),
                     TV_FIELD(MTC_Header, InMemory, 16, int),
                     TV_FIELD(MTC_Header, TR, 20, int),
                     TV_FIELD(MTC_Header, MTCFileName, 24, char[261]),
                     TV_FIELD(MTC_Header, LinkedProtocolName, 285, char[261]),
                     TV_FIELD(MTC_Header, CreatedFromVTC, 546, char[261]),
                 });
}

TEST(RecordLayout, SMPs_Header)
{
    expectLayout("SMPs_Header", sizeof(SMPs_Header), 312,
                 {
                     TV_FIELD(SMPs_Header, NrOfSMPs, 0, int),
                     TV_FIELD(SMPs_Header, NrOfVertices, 4, int),
                     TV_FIELD(SMPs_Header, SMPFileName, 8, char[301]),
                 });
}

TEST(RecordLayout, SMP_Header)
{
    expectLayout("SMP_Header", sizeof(SMP_Header), 72,
                 {
                     TV_FIELD(SMP_Header, NameOfSMP, 0, char *),
                     TV_FIELD(SMP_Header, MapType, 8, int),
                     TV_FIELD(SMP_Header, ClusterSize, 12, int),
                     TV_FIELD(SMP_Header, UseClusterSize, 16, int),
                     TV_FIELD(SMP_Header, ThreshMin, 20, float),
                     TV_FIELD(SMP_Header, ThreshMax, 24, float),
                     TV_FIELD(SMP_Header, IncludeValuesGreaterThreshMax, 28, int),
                     TV_FIELD(SMP_Header, df1, 32, int),
                     TV_FIELD(SMP_Header, df2, 36, int),
                     TV_FIELD(SMP_Header, ColorPosMin, 40, int),
                     TV_FIELD(SMP_Header, ColorPosMax, 44, int),
                     TV_FIELD(SMP_Header, ColorNegMin, 48, int),
                     TV_FIELD(SMP_Header, ColorNegMax, 52, int),
                     TV_FIELD(SMP_Header, UseSMPColor, 56, int),
                     TV_FIELD(SMP_Header, TransparentColorFactor, 60, float),
                     TV_FIELD(SMP_Header, NrOfMaskVertices, 64, int),
                     TV_FIELD(SMP_Header, OverlayMap, 68, int),
                 });
}

TEST(RecordLayout, SSM_Header)
{
    expectLayout("SSM_Header", sizeof(SSM_Header), 16,
                 {
                     TV_FIELD(SSM_Header, NrOfSourceMeshVertices, 0, int),
                     TV_FIELD(SSM_Header, NrOfTargetMeshVertices, 4, int),
                     TV_FIELD(SSM_Header, SSMFileName, 8, char *),
                 });
}

TEST(RecordLayout, POIs_Header)
{
    expectLayout("POIs_Header", sizeof(POIs_Header), 272,
                 {
                     TV_FIELD(POIs_Header, NrOfPOIs, 0, int),
                     TV_FIELD(POIs_Header, NrOfPOIMTCs, 4, int),
                     TV_FIELD(POIs_Header, POIsFileName, 8, char[261]),
                 });
}

TEST(RecordLayout, POI_Header)
{
    expectLayout("POI_Header", sizeof(POI_Header), 532,
                 {
                     TV_FIELD(POI_Header, NrOfVertices, 0, int),
                     TV_FIELD(POI_Header, POIName, 4, char[256]),
                     TV_FIELD(POI_Header, DisplayColor, 260, int),
                     TV_FIELD(POI_Header, ReferenceVertex, 264, int),
                     TV_FIELD(POI_Header, InfoFileName, 268, char[261]),
                 });
}

// The records are plain data that the host copies byte for byte.
TEST(RecordKind, PlainData)
{
#define TV_PLAIN(record)                                                                           \
    EXPECT_TRUE(std::is_standard_layout<record>::value) << #record;                                \
    EXPECT_TRUE(std::is_trivially_copyable<record>::value) << #record;                             \
    EXPECT_TRUE(std::is_trivially_default_constructible<record>::value) << #record
    TV_PLAIN(FMR_Header);
    TV_PLAIN(FMR_ScannerPosition_Header);
    TV_PLAIN(DMR_Header);
    TV_PLAIN(VMR_Header);
    TV_PLAIN(VMR_ScannerPosition_Header);
    TV_PLAIN(VMR_PastTransformations_Header);
    TV_PLAIN(VTC_Header);
    TV_PLAIN(NR_VMPs_Header);
    TV_PLAIN(NR_VMP_Header);
    TV_PLAIN(AR_VMPs_Header);
    TV_PLAIN(AR_VMP_Header);
    TV_PLAIN(Protocol_Header);
    TV_PLAIN(ProtocolCondition_Header);
    TV_PLAIN(VOIs_Header);
    TV_PLAIN(VOI_Header);
    TV_PLAIN(GLM_Header);
    TV_PLAIN(Triangle_Vertices);
    TV_PLAIN(SCENE_Header);
    TV_PLAIN(SRF_Header);
    TV_PLAIN(MTC_Header);
    TV_PLAIN(SMPs_Header);
    TV_PLAIN(SMP_Header);
    TV_PLAIN(SSM_Header);
    TV_PLAIN(POIs_Header);
    TV_PLAIN(POI_Header);
#undef TV_PLAIN
}
