// Host records for stimulation protocols.
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_PRT_HEADER_H
#define TESSIVANE_PLUGIN_PRT_HEADER_H

#include <cstddef>

// Header of a stimulation protocol. 596 bytes.
struct Protocol_Header {
    int NrOfConditions;                       // 0
    char ProtocolFileName[261];               // 4
    char ExperimentName[301];                 // 265
    int TimeResolution;                       // 568
    int PlotBackgroundColor;                  // 572
    int PlotTextColor;                        // 576
    int PlotTimeCourseColor;                  // 580
    int PlotTimeCoursePenThickness;           // 584
    int PlotReferenceTimeCourseColor;         // 588
    int PlotReferenceTimeCoursePenThickness;  // 592
};

// One condition of a stimulation protocol and its intervals. 288 bytes.
struct ProtocolCondition_Header {
    char ConditionName[256];  // 0
    int NrOfIntervals;        // 256
    int *IntervalFrom;        // 264
    int *IntervalTo;          // 272
    int Color;                // 280
};

static_assert(offsetof(Protocol_Header, TimeResolution) == 568,
              "Protocol_Header::TimeResolution must sit at byte 568");
static_assert(sizeof(Protocol_Header) == 596, "Protocol_Header must be 596 bytes");
static_assert(offsetof(ProtocolCondition_Header, IntervalFrom) == 264,
              "ProtocolCondition_Header::IntervalFrom must sit at byte 264");
static_assert(sizeof(ProtocolCondition_Header) == 288,
              "ProtocolCondition_Header must be 288 bytes");

#endif  // TESSIVANE_PLUGIN_PRT_HEADER_H
