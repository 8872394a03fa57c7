// The object renderers: near-plane cut, back faces, hand-over to the
// rasterizers, face order and allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "geometry/renderer.h"

namespace {

int allocations = 0;
bool counting = false;

}  // namespace

// Counts heap allocations while `counting` is set.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

Face MakeFace(int32_t a, int32_t b, int32_t c, uint32_t colour = 0xFFFFFF) {
    Face face;
    face.index[0] = a;
    face.index[1] = b;
    face.index[2] = c;
    face.colour = colour;
    return face;
}

// An object whose model points are its camera points (no turn, no move),
// drawn into `target`.
void MakeObject(Object3D& object, const std::vector<Vector3>& points, const std::vector<Face>& faces,
                std::vector<uint32_t>* target = nullptr) {
    object.modelPointStore = points;
    object.modelPoints = object.modelPointStore.data();
    object.pointCount = static_cast<int32_t>(points.size());
    object.cameraPoints.assign(points.size(), {});
    object.screenPoints.assign(points.size(), {});
    object.normals.assign(points.size(), {});
    object.intensities.assign(points.size(), {});
    object.faces = faces;
    object.faceCount = static_cast<int32_t>(faces.size());
    object.scale = {1, 1, 1};
    object.width = kWidth;
    object.height = kHeight;
    object.rowPad = 0;
    object.focalLength = 128;
    object.nearZ = 0.5;
    if (target != nullptr) {
        target->assign(kWidth * kHeight, 0);
        object.pixels = target->data();
    }
}

// Transforms and projects as a renderer does before its faces.
void Prepare(Object3D& object) {
    BuildMatrices(object);
    TransformPoints(object);
    ProjectPoints(object);
    ComputeVertexNormals(object);
}

PointLight ViewerLight(double factor = 1) {
    PointLight light;
    light.red = light.green = light.blue = factor;
    return light;
}

struct Corner {
    ScreenVertex vertex;
    VertexIntensity shade;
    TexCoord uv;
    const ScreenVertex* address;
};

struct Handed {
    Corner corner[3];
    uint32_t colour;
    const Image* texture;
};

void Record(TriangleRequest& request, void* context) {
    Handed t{};
    for (int j = 0; j < 3; ++j) {
        t.corner[j].vertex = *request.vertex[j];
        t.corner[j].shade = *request.shade[j];
        if (request.uv[j] != nullptr) t.corner[j].uv = *request.uv[j];
        t.corner[j].address = request.vertex[j];
    }
    t.colour = request.colour;
    t.texture = request.texture;
    static_cast<std::vector<Handed>*>(context)->push_back(t);
}

std::vector<Handed> ClipAll(Object3D& object, const PointLight& light, bool textured) {
    std::vector<Handed> handed;
    TriangleRequest request;
    for (int32_t f = 0; f < object.faceCount; ++f) {
        ClipFaceNear(object, f, light, textured, request, Record, &handed);
    }
    return handed;
}

ScreenVertex Projected(double x, double y, double z) {
    return {159 + 128 * x / z, 119 - 128 * y / z, z};
}

void ExpectAt(const Corner& corner, const ScreenVertex& expected) {
    EXPECT_NEAR(corner.vertex.x, expected.x, 1e-9);
    EXPECT_NEAR(corner.vertex.y, expected.y, 1e-9);
    EXPECT_EQ(corner.vertex.depth, expected.depth);
}

double SignedArea(const Handed& t) {
    const ScreenVertex& a = t.corner[0].vertex;
    const ScreenVertex& b = t.corner[1].vertex;
    const ScreenVertex& c = t.corner[2].vertex;
    return ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2;
}

TEST(NearCut, TheWorkedExampleInterpolatesInCameraSpace) {
    // Corner 0 behind at (0, 0, 0.25); corner 2 at (3, 6, 1.0) lit 0.75.
    Object3D object;
    MakeObject(object, {{0, 0, 0.25}, {-3, 6, 1.0}, {3, 6, 1.0}}, {MakeFace(0, 1, 2, 0x123456)});
    object.faceTextures.resize(1);
    object.faceTextures[0].corner[0] = {8, 100};
    object.faceTextures[0].corner[1] = {20, 40};
    object.faceTextures[0].corner[2] = {32, 4};
    Image picture;
    object.faceTextures[0].texture = &picture;
    Prepare(object);
    object.normals[0] = {0, 0, 1};     // facing away: 0
    object.normals[1] = {0, 0, -1};    // 1 / sqrt(46) of the light
    object.normals[2] = {-3, -6, -1};  // straight at the light
    const std::vector<Handed> handed = ClipAll(object, ViewerLight(0.75), true);

    ASSERT_EQ(handed.size(), 2u);
    const double lit1 = 0.75 / std::sqrt(46.0);
    // First triangle: A (on edge 0-1, at (-1, 2, 0.5)), c1, c2.
    const Handed& first = handed[0];
    ExpectAt(first.corner[0], Projected(-1, 2, 0.5));
    EXPECT_NEAR(first.corner[0].shade.red, lit1 / 3, 1e-15);
    EXPECT_DOUBLE_EQ(first.corner[0].uv.u, 12);
    EXPECT_DOUBLE_EQ(first.corner[0].uv.v, 80);
    EXPECT_EQ(first.corner[1].vertex.x, object.screenPoints[1].x);
    EXPECT_EQ(first.corner[1].vertex.y, object.screenPoints[1].y);
    EXPECT_EQ(first.corner[2].vertex.x, object.screenPoints[2].x);
    EXPECT_EQ(first.colour, 0x123456u);
    EXPECT_EQ(first.texture, &picture);
    // Second: B (on edge 0-2, at (1, 2, 0.5)), A, c2.
    const Handed& second = handed[1];
    ExpectAt(second.corner[0], Projected(1, 2, 0.5));
    EXPECT_EQ(second.corner[0].vertex.x, 415.0);
    EXPECT_EQ(second.corner[0].shade.red, 0.25);
    EXPECT_EQ(second.corner[0].shade.blue, 0.25);
    EXPECT_DOUBLE_EQ(second.corner[0].uv.u, 16);
    EXPECT_DOUBLE_EQ(second.corner[0].uv.v, 68);
    ExpectAt(second.corner[1], Projected(-1, 2, 0.5));
    EXPECT_EQ(second.corner[2].vertex.x, object.screenPoints[2].x);
    EXPECT_EQ(second.corner[2].shade.green, 0.75);

    // Together they cover the part of the face in front of the plane, the
    // quadrilateral A, c1, c2, B, with the face's winding.
    const ScreenVertex a = Projected(-1, 2, 0.5), b = Projected(1, 2, 0.5);
    const ScreenVertex c1 = Projected(-3, 6, 1), c2 = Projected(3, 6, 1);
    const double quad = ((a.x * c1.y - c1.x * a.y) + (c1.x * c2.y - c2.x * c1.y) +
                         (c2.x * b.y - b.x * c2.y) + (b.x * a.y - a.x * b.y)) / 2;
    EXPECT_GT(SignedArea(first), 0);
    EXPECT_GT(SignedArea(second), 0);
    EXPECT_NEAR(SignedArea(first) + SignedArea(second), quad, 1e-6);

    // The object's own records are untouched by the cut.
    EXPECT_EQ(object.cameraPoints[0].z, 0.25);
    EXPECT_EQ(object.intensities[0].red, 0.0);
}

// The face (0, 0, 0.25), (-3, 6, 1), (3, 6, 1) from above, with its corners
// listed from `start` on; the same triangle, the same winding.
struct Rotated {
    std::vector<Vector3> points;
    int slotOf[3];  // slot in the face of original corner k
};

Rotated RotateFace(const std::vector<Vector3>& corners, int start) {
    Rotated r;
    for (int j = 0; j < 3; ++j) {
        const int k = (start + j) % 3;
        r.points.push_back(corners[k]);
        r.slotOf[k] = j;
    }
    return r;
}

TEST(NearCut, SlotOrderForEveryCornerBehind) {
    const std::vector<Vector3> shape{{0, 0, 0.25}, {-3, 6, 1.0}, {3, 6, 1.0}};
    const ScreenVertex onEdge01 = Projected(-1, 2, 0.5);  // behind -> next corner
    const ScreenVertex onEdge02 = Projected(1, 2, 0.5);   // behind -> corner after that
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        const Rotated r = RotateFace(shape, start);
        Object3D object;
        MakeObject(object, r.points, {MakeFace(0, 1, 2)});
        Prepare(object);
        const std::vector<Handed> handed = ClipAll(object, ViewerLight(), false);
        ASSERT_EQ(handed.size(), 2u);
        const int b = r.slotOf[0];
        const int p = (b + 1) % 3, q = (b + 2) % 3;
        const ScreenVertex& cp = object.screenPoints[p];
        const ScreenVertex& cq = object.screenPoints[q];
        // The slots keep the face's cyclic order, so slot p always holds the
        // original corner 1: A is the cut towards it, B towards corner 2.
        const ScreenVertex cutP = onEdge01;
        const ScreenVertex cutQ = onEdge02;
        ScreenVertex expectFirst[3], expectSecond[3];
        expectFirst[b] = cutP;
        expectFirst[p] = cp;
        expectFirst[q] = cq;
        // The second triangle: slot p holds B, entries 0 and 1 swapped.
        ScreenVertex slots[3];
        slots[b] = cutP;
        slots[p] = cutQ;
        slots[q] = cq;
        expectSecond[0] = slots[1];
        expectSecond[1] = slots[0];
        expectSecond[2] = slots[2];
        for (int j = 0; j < 3; ++j) {
            ExpectAt(handed[0].corner[j], expectFirst[j]);
            ExpectAt(handed[1].corner[j], expectSecond[j]);
        }
        EXPECT_GT(SignedArea(handed[0]), 0);
        EXPECT_GT(SignedArea(handed[1]), 0);
    }
}

TEST(NearCut, TwoCornersBehindLeaveOneSmallerTriangle) {
    // Corner 0 in front at (0, 0, 2); the others behind at z = 0.
    const std::vector<Vector3> shape{{0, 0, 2}, {-2, 4, 0}, {2, 4, 0}};
    const ScreenVertex towards1 = Projected(-1.5, 3, 0.5);
    const ScreenVertex towards2 = Projected(1.5, 3, 0.5);
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        const Rotated r = RotateFace(shape, start);
        Object3D object;
        MakeObject(object, r.points, {MakeFace(0, 1, 2)});
        Prepare(object);
        const std::vector<Handed> handed = ClipAll(object, ViewerLight(), false);
        ASSERT_EQ(handed.size(), 1u);
        const int f = r.slotOf[0];
        ExpectAt(handed[0].corner[f], Projected(0, 0, 2));
        ExpectAt(handed[0].corner[r.slotOf[1]], towards1);
        ExpectAt(handed[0].corner[r.slotOf[2]], towards2);
    }
}

TEST(NearCut, NearDepthCountsAsInFrontAndWhollyBehindIsSkipped) {
    Object3D object;
    MakeObject(object,
               {{0, 0, 0.5}, {-3, 6, 1.0}, {3, 6, 1.0}, {0, 0, 0.1}, {-3, 6, 0.4}, {3, 6, 0.49}},
               {MakeFace(0, 1, 2), MakeFace(3, 4, 5)});
    Prepare(object);
    for (VertexIntensity& i : object.intensities) i = {0.5, 0.5, 0.5};
    const std::vector<Handed> handed = ClipAll(object, ViewerLight(), false);
    ASSERT_EQ(handed.size(), 1u);
    // Drawn whole, straight from the object's records.
    for (int j = 0; j < 3; ++j) EXPECT_EQ(handed[0].corner[j].address, &object.screenPoints[j]);
    EXPECT_NE(object.intensities[0].red, 0.5);  // lit
    for (int j = 3; j < 6; ++j) EXPECT_EQ(object.intensities[j].red, 0.5);  // not lit
}

TEST(NearCut, EveryTriangleMeetsTheBackFaceTest) {
    // The face of the worked example with two corners exchanged.
    Object3D object;
    MakeObject(object,
               {{0, 0, 0.25}, {-3, 6, 1.0}, {3, 6, 1.0}, {-10, -10, 50}, {-10, 10, 50}, {10, 10, 50}},
               {MakeFace(0, 2, 1), MakeFace(3, 5, 4), MakeFace(3, 4, 5)});
    Prepare(object);
    const std::vector<Handed> handed = ClipAll(object, ViewerLight(), false);
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].corner[0].address, &object.screenPoints[3]);
    EXPECT_EQ(handed[0].corner[1].address, &object.screenPoints[4]);
}

uint32_t PixelAt(const std::vector<uint32_t>& target, int x, int y) {
    return target[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)];
}

int Covered(const std::vector<uint32_t>& target) {
    int count = 0;
    for (uint32_t p : target) count += p != 0;
    return count;
}

TEST(Renderer, HigherFaceIndexWinsWhereFacesOverlap) {
    // Two squares' worth of triangles at z = 100 facing the viewer; the second
    // covers the first's right half. Screen centre is (159, 119).
    const std::vector<Vector3> points{{-20, -20, 100}, {-20, 20, 100}, {20, 20, 100},
                                      {0, -20, 100},   {0, 20, 100},   {40, 20, 100}};
    for (int order = 0; order < 2; ++order) {
        Object3D object;
        std::vector<uint32_t> target;
        const Face red = MakeFace(0, 1, 2, 0xFF0000);
        const Face green = MakeFace(3, 4, 5, 0x00FF00);
        MakeObject(object, points, order == 0 ? std::vector<Face>{red, green} : std::vector<Face>{green, red},
                   &target);
        DrawObjectUntextured(object, ViewerLight());
        // Left of x = 0: only red; in the overlap: the later face.
        const uint32_t left = PixelAt(target, 159 - 15, 119 - 15);
        const uint32_t overlap = PixelAt(target, 159 + 8, 119 - 15);
        EXPECT_GT(left >> 16, 0xE0u);
        EXPECT_EQ(left & 0xFFFF, 0u);
        if (order == 0) {
            EXPECT_GT((overlap >> 8) & 0xFF, 0xE0u);
            EXPECT_EQ(overlap & 0xFF00FF, 0u);
        } else {
            EXPECT_GT(overlap >> 16, 0xE0u);
            EXPECT_EQ(overlap & 0xFFFF, 0u);
        }
    }
}

TEST(Renderer, NullTextureFacesUseTheColourAndOthersTheTexture) {
    std::vector<uint32_t> texels(16 * 16, 0x0000FF);
    Image picture;
    picture.pixels = texels.data();
    picture.width = 16;
    picture.height = 16;

    Object3D object;
    std::vector<uint32_t> target;
    MakeObject(object,
               {{-20, -20, 100}, {-20, 20, 100}, {20, 20, 100}, {20, -20, 100}},
               {MakeFace(0, 1, 2, 0xFF0000), MakeFace(0, 2, 3, 0xFFFFFF)}, &target);
    object.faceTextures.resize(2);
    for (FaceTexture& t : object.faceTextures) {
        t.corner[0] = {1, 1};
        t.corner[1] = {1, 14};
        t.corner[2] = {14, 14};
    }
    object.faceTextures[1].texture = &picture;
    DrawObject(object, ViewerLight());
    // Face 0 (upper left half on the screen) in its colour, face 1 textured
    // (its white colour scales the texels by the light only).
    const uint32_t coloured = PixelAt(target, 159 - 15, 119 - 10);
    const uint32_t textured = PixelAt(target, 159 + 15, 119 + 10);
    EXPECT_GT(coloured >> 16, 0xE0u);
    EXPECT_EQ(coloured & 0xFFFF, 0u);
    EXPECT_GT(textured & 0xFF, 0xE0u);
    EXPECT_EQ(textured & 0xFFFF00, 0u);

    // The untextured entry ignores the textures altogether: white, not blue.
    std::fill(target.begin(), target.end(), 0);
    DrawObjectUntextured(object, ViewerLight());
    EXPECT_GT(PixelAt(target, 159 + 15, 119 + 10) >> 16, 0xE0u);
    EXPECT_GT((PixelAt(target, 159 + 15, 119 + 10) >> 8) & 0xFF, 0xE0u);

    // Without a texture entry per face, everything is drawn in colour.
    object.faceTextures.resize(1);
    std::fill(target.begin(), target.end(), 0);
    DrawObject(object, ViewerLight());
    EXPECT_GT(PixelAt(target, 159 + 15, 119 + 10) >> 16, 0xE0u);
}

TEST(Renderer, CutFacesCoverOnlyTheFrontAndFacesBehindDrawNothing) {
    Object3D object;
    std::vector<uint32_t> target;
    // A green face whose corner 0 lies behind the plane z = 10, and a red
    // face wholly behind it that would fill the middle of the screen.
    MakeObject(object,
               {{0, 0, 5}, {-30, 20, 40}, {30, 20, 40}, {-20, -20, 5}, {-20, 20, 5}, {20, 20, 5}},
               {MakeFace(0, 1, 2, 0x00FF00), MakeFace(3, 4, 5, 0xFF0000)}, &target);
    object.nearZ = 10;
    for (VertexIntensity& i : object.intensities) i = {0.5, 0.5, 0.5};
    DrawObjectUntextured(object, ViewerLight());
    int lowest = -1;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t p = PixelAt(target, x, y);
            EXPECT_EQ(p >> 16, 0u) << x << "," << y;
            if (p != 0) lowest = y;
        }
    }
    for (int j = 3; j < 6; ++j) EXPECT_EQ(object.intensities[j].red, 0.5);
    // The cut points at depth 10 project to row 119 - 128 * (20 / 7) / 10,
    // about 82.4; uncut, the face would reach row 119.
    EXPECT_GE(lowest, 80);
    EXPECT_LE(lowest, 83);
    EXPECT_NE(PixelAt(target, 159, 70), 0u);
}

TEST(Renderer, EmptyObjectIsStillTransformed) {
    Object3D object;
    std::vector<uint32_t> target;
    MakeObject(object, {{100, 0, 0}}, {}, &target);
    object.position = {0, 0, 200};
    DrawObject(object, ViewerLight());
    EXPECT_EQ(object.cameraPoints[0].z, 200.0);
    EXPECT_EQ(object.screenPoints[0].x, 223.0);
    EXPECT_EQ(object.objectMatrix[3][2], 200.0);
    EXPECT_EQ(Covered(target), 0);
}

TEST(Renderer, NoAllocationPerCall) {
    std::vector<uint32_t> texels(16 * 16, 0x808080);
    Image picture;
    picture.pixels = texels.data();
    picture.width = 16;
    picture.height = 16;
    Object3D object;
    std::vector<uint32_t> target;
    // Whole, one-behind and two-behind faces, textured and not.
    MakeObject(object,
               {{-20, -20, 100}, {-20, 20, 100}, {20, 20, 100}, {0, 0, 0.25}, {-3, 6, 1.0}, {3, 6, 1.0},
                {0, 0, 2}, {-2, 4, 0}, {2, 4, 0}},
               {MakeFace(0, 1, 2), MakeFace(3, 4, 5), MakeFace(6, 7, 8)}, &target);
    object.faceTextures.resize(3);
    for (FaceTexture& t : object.faceTextures) {
        t.corner[1] = {0, 15};
        t.corner[2] = {15, 15};
        t.texture = &picture;
    }
    allocations = 0;
    counting = true;
    DrawObject(object, ViewerLight());
    DrawObjectUntextured(object, ViewerLight());
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(Covered(target), 0);
}

}  // namespace
