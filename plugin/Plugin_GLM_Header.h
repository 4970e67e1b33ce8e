// Host records for general linear models (GLM).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_GLM_HEADER_H
#define TESSIVANE_PLUGIN_GLM_HEADER_H

#include <cstddef>

// Header of a general linear model (GLM) of the current volume. 360 bytes.
struct GLM_Header {
    int GLMDataType;                     // 0
    int RFXGLM;                          // 4
    int NrOfSubjectsRFXGLM;              // 8
    int NrOfSubjectPredictorsRFXGLM;     // 12
    int CorrectedForSerialCorrelations;  // 16
    int XStart;                          // 20
    int XEnd;                            // 24
    int YStart;                          // 28
    int YEnd;                            // 32
    int ZStart;                          // 36
    int ZEnd;                            // 40
    int Resolution;                      // 44
    int NrOfTimePoints;                  // 48
    int NrOfPredictors;                  // 52
    int NrOfStudies;                     // 56
    int SeparatePredictors;              // 60
    int PSCTransformation;               // 64
    int ZTransformation;                 // 68
    int CortexBasedStatistics;           // 72
    int NrOfVoxelsForBonfCorrection;     // 76
    char CortexMaskFile[260];            // 80
    float **DesignMatrix;                // 344
    float **iXX;                         // 352
};

static_assert(offsetof(GLM_Header, DesignMatrix) == 344,
              "GLM_Header::DesignMatrix must sit at byte 344");
static_assert(sizeof(GLM_Header) == 360, "GLM_Header must be 360 bytes");

#endif  // TESSIVANE_PLUGIN_GLM_HEADER_H
