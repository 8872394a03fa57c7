#include "geometry/renderer.h"

#include <cstddef>
#include <cstdint>

namespace {

// The points lit so far in one call. A point shared by several faces gets
// the same factors each time, so it is lit once, when its first face that
// is not wholly behind the near plane comes up; points of no such face keep
// their old factors. Face indices read from files are 16-bit, so this covers
// every loaded object; a larger one is lit per face corner.
struct LitPoints {
    static constexpr int32_t kCapacity = 65536;
    uint64_t word[kCapacity / 64];  // only the first (limit + 63) / 64 are used
    size_t limit;

    explicit LitPoints(int32_t pointCount)
        : limit(pointCount > 0 && pointCount <= kCapacity ? static_cast<size_t>(pointCount) : 0) {
        for (size_t i = 0; i < (limit + 63) / 64; ++i) word[i] = 0;
    }

    // True the first time a point is asked for (always, beyond the limit).
    bool First(size_t point) {
        if (point >= limit) return true;
        uint64_t& w = word[point / 64];
        const uint64_t bit = uint64_t{1} << (point % 64);
        if (w & bit) return false;
        w |= bit;
        return true;
    }
};

// A point on a cut edge: camera x, y, the light factors and the texel.
struct CutPoint {
    double x, y;
    double red, green, blue;
    double u, v;
};

// The working copy of a face that the near plane cuts.
struct WorkingFace {
    ScreenVertex corner[3];  // camera x, y, z until projected in place
    VertexIntensity shade[3];
    TexCoord uv[3];
};

template <bool Textured>
CutPoint Cut(const WorkingFace& w, int k, int m, double nearZ) {
    const ScreenVertex& K = w.corner[k];
    const ScreenVertex& M = w.corner[m];
    const double d = nearZ - K.depth;
    const double dz = M.depth - K.depth;
    CutPoint c{};
    c.x = (M.x - K.x) / dz * d + K.x;
    c.y = (M.y - K.y) / dz * d + K.y;
    c.red = (w.shade[m].red - w.shade[k].red) / dz * d + w.shade[k].red;
    c.green = (w.shade[m].green - w.shade[k].green) / dz * d + w.shade[k].green;
    c.blue = (w.shade[m].blue - w.shade[k].blue) / dz * d + w.shade[k].blue;
    if constexpr (Textured) {
        c.u = (w.uv[m].u - w.uv[k].u) / dz * d + w.uv[k].u;
        c.v = (w.uv[m].v - w.uv[k].v) / dz * d + w.uv[k].v;
    }
    return c;
}

template <bool Textured>
void Place(WorkingFace& w, int slot, const CutPoint& c, double nearZ) {
    w.corner[slot] = ScreenVertex{c.x, c.y, nearZ};
    w.shade[slot] = VertexIntensity{c.red, c.green, c.blue};
    if constexpr (Textured) w.uv[slot] = TexCoord{c.u, c.v};
}

template <bool Textured>
void PointAt(TriangleRequest& request, int entry, WorkingFace& w, int slot) {
    request.vertex[entry] = &w.corner[slot];
    request.shade[entry] = &w.shade[slot];
    if constexpr (Textured) request.uv[entry] = &w.uv[slot];
}

template <bool Textured, typename HandOver>
void DrawFace(Object3D& object, int32_t i, const PointLight& light, TriangleRequest& request,
              HandOver& handOver, LitPoints* lit) {
    const Face& face = object.faces[static_cast<size_t>(i)];
    const int32_t* index = face.index;
    FaceTexture* faceTexture = nullptr;
    request.colour = face.colour;
    if constexpr (Textured) {
        faceTexture = &object.faceTextures[static_cast<size_t>(i)];
        request.texture = faceTexture->texture;
    }

    // A corner exactly at nearZ is in front; so is one whose depth is NaN,
    // which the back-face test then drops.
    const double nearZ = object.nearZ;
    int behind = 0;
    for (int j = 0; j < 3; ++j) {
        if (object.cameraPoints[static_cast<size_t>(index[j])].z < nearZ) ++behind;
    }
    if (behind == 3) return;

    for (int j = 0; j < 3; ++j) {
        const size_t p = static_cast<size_t>(index[j]);
        if (lit == nullptr || lit->First(p)) {
            LightVertex(object.cameraPoints[p], object.intensities[p], object.normals[p], light);
        }
    }

    auto submit = [&]() {
        if (!IsBackFacing(request.vertex)) handOver(request);
    };

    if (behind == 0) {
        for (int j = 0; j < 3; ++j) {
            const size_t p = static_cast<size_t>(index[j]);
            request.vertex[j] = &object.screenPoints[p];
            request.shade[j] = &object.intensities[p];
            if constexpr (Textured) request.uv[j] = &faceTexture->corner[j];
        }
        submit();
        return;
    }

    // The cut works on copies; the object's arrays stay as they are.
    WorkingFace w;
    for (int j = 0; j < 3; ++j) {
        const size_t p = static_cast<size_t>(index[j]);
        const Vector3& c = object.cameraPoints[p];
        w.corner[j] = ScreenVertex{c.x, c.y, c.z};
        w.shade[j] = object.intensities[p];
        if constexpr (Textured) w.uv[j] = faceTexture->corner[j];
    }

    if (behind == 1) {
        int b = 0;
        for (int j = 0; j < 3; ++j) {
            if (w.corner[j].depth < nearZ) b = j;
        }
        const int p = (b + 1) % 3;
        const int q = (b + 2) % 3;
        const CutPoint a = Cut<Textured>(w, b, p, nearZ);
        const CutPoint bCut = Cut<Textured>(w, b, q, nearZ);

        // First A in place of the corner behind, then B in place of corner
        // p with the first two entries swapped, keeping the face's winding.
        Place<Textured>(w, b, a, nearZ);
        for (int j = 0; j < 3; ++j) ProjectPoint(object, w.corner[j]);
        for (int j = 0; j < 3; ++j) PointAt<Textured>(request, j, w, j);
        submit();

        Place<Textured>(w, p, bCut, nearZ);
        ProjectPoint(object, w.corner[p]);
        PointAt<Textured>(request, 0, w, 1);
        PointAt<Textured>(request, 1, w, 0);
        submit();
        return;
    }

    int f = 0;
    for (int j = 0; j < 3; ++j) {
        if (!(w.corner[j].depth < nearZ)) f = j;
    }
    const int p = (f + 1) % 3;
    const int q = (f + 2) % 3;
    const CutPoint a = Cut<Textured>(w, f, p, nearZ);
    const CutPoint bCut = Cut<Textured>(w, f, q, nearZ);
    Place<Textured>(w, p, a, nearZ);
    Place<Textured>(w, q, bCut, nearZ);
    for (int j = 0; j < 3; ++j) ProjectPoint(object, w.corner[j]);
    for (int j = 0; j < 3; ++j) PointAt<Textured>(request, j, w, j);
    submit();
}

template <bool Textured>
void Draw(Object3D& object, const PointLight& light) {
    BuildMatrices(object);
    TransformPoints(object);
    ProjectPoints(object);
    ComputeVertexNormals(object);

    TriangleRequest request;
    request.pixels = object.pixels;
    request.width = object.width;
    request.height = object.height;
    request.rowPad = object.rowPad;

    auto handOver = [](TriangleRequest& r) {
        if constexpr (Textured) {
            if (r.texture != nullptr) {
                DrawTriangleMode5(r);
                return;
            }
        }
        DrawTriangleMode1(r);
    };
    LitPoints lit(object.pointCount);
    for (int32_t i = 0; i < object.faceCount; ++i) {
        DrawFace<Textured>(object, i, light, request, handOver, &lit);
    }
}

bool HasAllTextures(const Object3D& object) {
    return object.faceTextures.size() >= static_cast<size_t>(object.faceCount);
}

}  // namespace

void DrawObject(Object3D& object, const PointLight& light) {
    // Without an entry per face there is nothing to texture from; drawing
    // in colour beats reading past the array.
    if (HasAllTextures(object)) {
        Draw<true>(object, light);
    } else {
        Draw<false>(object, light);
    }
}

void DrawObjectUntextured(Object3D& object, const PointLight& light) {
    Draw<false>(object, light);
}

void ClipFaceNear(Object3D& object, int32_t face, const PointLight& light, bool textured,
                  TriangleRequest& request, TriangleHandOver handOver, void* context) {
    auto forward = [handOver, context](TriangleRequest& r) { handOver(r, context); };
    if (textured && HasAllTextures(object)) {
        DrawFace<true>(object, face, light, request, forward, nullptr);
    } else {
        DrawFace<false>(object, face, light, request, forward, nullptr);
    }
}
