#pragma once
// The records of the 3D pipeline and the per-object geometric operations.
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct Image;

struct Vector3 {
    double x = 0, y = 0, z = 0;
};

// A projected point: screen column and row (not rounded) and camera depth.
struct ScreenVertex {
    double x = 0, y = 0, depth = 0;
};

struct Face {
    int32_t index[3] = {0, 0, 0};
    uint32_t colour = 0xFFFFFF;
};

struct TexCoord {
    double u = 0, v = 0;
};

struct FaceTexture {
    TexCoord corner[3];
    const Image* texture = nullptr;
};

struct VertexIntensity {
    double red = 0, green = 0, blue = 0;
};

struct PointLight {
    Vector3 position;
    double red = 0, green = 0, blue = 0;
};

struct Object3D {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowPad = 0;
    double focalLength = 0;
    Vector3 position;
    Vector3 angles;
    Vector3 scale;
    Vector3 size;
    double nearZ = 0;
    int32_t pointCount = 0;
    int32_t faceCount = 0;
    // Points at modelPointStore after loading; a SurfaceWave may point it at
    // an array of its own.
    Vector3* modelPoints = nullptr;
    std::vector<Vector3> cameraPoints;
    std::vector<ScreenVertex> screenPoints;
    std::vector<Vector3> normals;
    std::vector<VertexIntensity> intensities;
    std::vector<Face> faces;
    std::vector<FaceTexture> faceTextures;  // empty = absent
    double objectMatrix[4][3] = {};
    double projection[4][4] = {};
    std::vector<Vector3> modelPointStore;  // the loaded model points
};

void BuildMatrices(Object3D& object);
void TransformPoints(Object3D& object);
void ProjectPoints(Object3D& object);
// `point` holds camera x, y in x, y and camera z in depth; x and y become
// screen coordinates, depth stays.
void ProjectPoint(const Object3D& object, ScreenVertex& point);
void FaceNormal(const Object3D& object, int32_t face, Vector3& normal);
void ComputeVertexNormals(Object3D& object);
void LightVertex(const Vector3& position, VertexIntensity& out, const Vector3& normal,
                 const PointLight& light);
bool IsBackFacing(const ScreenVertex* const corners[3]);
// Nearest integer, halves to even; out of range or NaN gives INT32_MIN.
void RoundToNearest(double value, int32_t& out);
// The same, inline: the rasterizers round every corner and, in mode 5, both
// ends of every row.
inline int32_t RoundToNearest(double value) {
#if defined(__SSE2__)
    // One conversion. It rounds in the current mode, as nearbyint does (to
    // nearest, halves to even), and its answer for NaN and for anything that
    // rounds outside 32 bits is INT32_MIN itself.
    return _mm_cvtsd_si32(_mm_set_sd(value));
#else
    // The comparison is false for NaN as well; halves round to even, so
    // -2147483648.5 still lands on INT32_MIN and 2147483647.5 overflows.
    if (!(value >= -2147483648.5 && value < 2147483647.5)) return INT32_MIN;
    return static_cast<int32_t>(std::nearbyint(value));
#endif
}
