#pragma once
// The records of the 3D pipeline and the per-object geometric operations.
#include <cstdint>
#include <vector>

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
inline int32_t RoundToNearest(double value) {
    int32_t r;
    RoundToNearest(value, r);
    return r;
}
