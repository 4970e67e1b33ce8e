// Host records for scenes and surface meshes (SRF).
//
// The host fills and reads these records through the plugin API (see LMTKPluginInterface.h).
// Their layout must match the host byte for byte on 64-bit Linux: fields in this order at
// these offsets (noted beside each field), natural alignment, total size as asserted below.
// Pointer fields refer to storage the host owns; a plugin never allocates or frees it.
#ifndef TESSIVANE_PLUGIN_SRF_HEADER_H
#define TESSIVANE_PLUGIN_SRF_HEADER_H

#include <cstddef>

// The three vertex indices of one surface triangle. 12 bytes.
struct Triangle_Vertices {
    int v1;  // 0
    int v2;  // 4
    int v3;  // 8
};

// The meshes of the current scene. 8 bytes.
struct SCENE_Header {
    int NrOfMeshes;   // 0
    int CurrentMesh;  // 4
};

// A surface mesh (SRF): vertices, normals, colours, triangles and neighbourhoods. 168 bytes.
struct SRF_Header {
    int NrOfVertices;              // 0
    int NrOfTriangles;             // 4
    float *VertexX;                // 8
    float *VertexY;                // 16
    float *VertexZ;                // 24
    float *NormalX;                // 32
    float *NormalY;                // 40
    float *NormalZ;                // 48
    int *VertexColor;              // 56
    int Visible;                   // 64
    int RenderMode;                // 68
    float Base1ColorR;             // 72
    float Base1ColorG;             // 76
    float Base1ColorB;             // 80
    float Base2ColorR;             // 84
    float Base2ColorG;             // 88
    float Base2ColorB;             // 92
    float MeshCenterX;             // 96
    float MeshCenterY;             // 100
    float MeshCenterZ;             // 104
    float MeshRotX;                // 108
    float MeshRotY;                // 112
    float MeshRotZ;                // 116
    Triangle_Vertices *Triangles;  // 120
    int *NrOfVertexNeighbors;      // 128
    int **VertexNeighborhood;      // 136
    int UseTriangleStrip;          // 144
    int NrOfStripElements;         // 148
    int *TriangleStrip;            // 152
    char *MeshFileName;            // 160
};

static_assert(sizeof(Triangle_Vertices) == 12, "Triangle_Vertices must be 12 bytes");
static_assert(sizeof(SCENE_Header) == 8, "SCENE_Header must be 8 bytes");
static_assert(sizeof(SRF_Header) == 168, "SRF_Header must be 168 bytes");

#endif  // TESSIVANE_PLUGIN_SRF_HEADER_H
