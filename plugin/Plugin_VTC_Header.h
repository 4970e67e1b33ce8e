// Host records for volume time courses (VTC).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_VTC_HEADER_H
#define TESSIVANE_PLUGIN_VTC_HEADER_H

#include <cstddef>

// Header of a volume time course (VTC). 848 bytes.
struct VTC_Header {
    int HeaderSize;                // 0
    int NrOfVolumes;               // 4
    int InMemory;                  // 8
    int ReferenceSpace;            // 12
    int TR;                        // 16
    int XStart;                    // 20
    int XEnd;                      // 24
    int YStart;                    // 28
    int YEnd;                      // 32
    int ZStart;                    // 36
    int ZEnd;                      // 40
    int Resolution;                // 44
    int DataType;                  // 48
    int RadiologicalConvention;    // 52
    char VTCFileName[261];         // 56
    int NrOfLinkedProtocols;       // 320
    char LinkedProtocolFile[261];  // 324
    char CreatedFromFMR[261];      // 585
};

static_assert(offsetof(VTC_Header, NrOfLinkedProtocols) == 320,
              "VTC_Header::NrOfLinkedProtocols must sit at byte 320");
static_assert(sizeof(VTC_Header) == 848, "VTC_Header must be 848 bytes");

#endif  // TESSIVANE_PLUGIN_VTC_HEADER_H
