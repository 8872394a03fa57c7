// The object record's operations, rounding, the surface wave and the
// spherical mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "assets/image.h"
#include "geometry/mapping.h"
#include "geometry/object3d.h"
#include "geometry/surface_wave.h"

namespace {

constexpr double kPi = 3.141592653589793;

// An object as the loader would leave it, placed for the worked examples.
void MakeObject(Object3D& object, const std::vector<Vector3>& points, const std::vector<Face>& faces = {}) {
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
    object.width = 320;
    object.height = 240;
    object.focalLength = 128;
}

Face MakeFace(int32_t a, int32_t b, int32_t c) {
    Face face;
    face.index[0] = a;
    face.index[1] = b;
    face.index[2] = c;
    return face;
}

Vector3 Turned(const Vector3& angles, const Vector3& scale, const Vector3& point) {
    Object3D object;
    MakeObject(object, {point});
    object.angles = angles;
    object.scale = scale;
    BuildMatrices(object);
    TransformPoints(object);
    return object.cameraPoints[0];
}

void ExpectNear(const Vector3& actual, double x, double y, double z) {
    EXPECT_NEAR(actual.x, x, 1e-12);
    EXPECT_NEAR(actual.y, y, 1e-12);
    EXPECT_NEAR(actual.z, z, 1e-12);
}

TEST(Transform, ProjectsTheWorkedExamples) {
    Object3D object;
    MakeObject(object, {{100, 0, 0}, {0, 100, 0}, {-20, 30, 50}});
    object.position = {0, 0, 200};
    BuildMatrices(object);
    TransformPoints(object);
    ProjectPoints(object);
    EXPECT_EQ(object.screenPoints[0].x, 223.0);
    EXPECT_EQ(object.screenPoints[0].y, 119.0);
    EXPECT_EQ(object.screenPoints[0].depth, 200.0);
    EXPECT_EQ(object.screenPoints[1].x, 159.0);
    EXPECT_EQ(object.screenPoints[1].y, 55.0);
    EXPECT_NEAR(object.screenPoints[2].x, 159 + 128 * -20 / 250.0, 1e-12);
    EXPECT_NEAR(object.screenPoints[2].y, 119 - 128 * 30 / 250.0, 1e-12);

    // One record projected in place gives the same bits as the array pass.
    const Vector3& c = object.cameraPoints[2];
    ScreenVertex point{c.x, c.y, c.z};
    ProjectPoint(object, point);
    EXPECT_EQ(point.x, object.screenPoints[2].x);
    EXPECT_EQ(point.y, object.screenPoints[2].y);
    EXPECT_EQ(point.depth, c.z);
}

TEST(Transform, RotationsTurnTheAxesAndScaleActsAfterwards) {
    ExpectNear(Turned({0, 0, 90}, {1, 1, 1}, {1, 0, 0}), 0, 1, 0);
    ExpectNear(Turned({90, 0, 0}, {1, 1, 1}, {0, 1, 0}), 0, 0, 1);
    ExpectNear(Turned({0, 90, 0}, {1, 1, 1}, {1, 0, 0}), 0, 0, 1);
    ExpectNear(Turned({0, 0, 90}, {2, 1, 1}, {1, 0, 0}), 0, 1, 0);
    ExpectNear(Turned({0, 0, 90}, {2, 1, 1}, {0, 1, 0}), -2, 0, 0);

    // A general turn is z by c, then y by b, then x by a.
    const double a = 25 / 180.0 * kPi, b = -70 / 180.0 * kPi, c = 130 / 180.0 * kPi;
    Vector3 p{3, -4, 5};
    p = {p.x * std::cos(c) - p.y * std::sin(c), p.x * std::sin(c) + p.y * std::cos(c), p.z};
    p = {p.x * std::cos(b) - p.z * std::sin(b), p.y, p.x * std::sin(b) + p.z * std::cos(b)};
    p = {p.x, p.y * std::cos(a) - p.z * std::sin(a), p.y * std::sin(a) + p.z * std::cos(a)};
    const Vector3 turned = Turned({25, -70, 130}, {1, 1, 1}, {3, -4, 5});
    ExpectNear(turned, p.x, p.y, p.z);

    // Translation comes last, unscaled.
    Object3D object;
    MakeObject(object, {{1, 1, 1}});
    object.scale = {3, 3, 3};
    object.position = {10, 20, 30};
    BuildMatrices(object);
    TransformPoints(object);
    ExpectNear(object.cameraPoints[0], 13, 23, 33);
}

TEST(Normals, FaceNormalsAreUnnormalisedAndVertexNormalsAreSums) {
    Object3D object;
    // Two faces clockwise seen from -z (the viewer), sharing the edge 0-2.
    MakeObject(object, {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 1}, {9, 9, 9}},
               {MakeFace(0, 1, 2), MakeFace(0, 2, 3)});
    BuildMatrices(object);
    TransformPoints(object);
    Vector3 n;
    FaceNormal(object, 0, n);
    ExpectNear(n, 0, 0, -4);  // twice the area, pointing at the viewer
    FaceNormal(object, 1, n);
    ExpectNear(n, 2, -2, -4);

    object.normals[4] = {7, 7, 7};
    ComputeVertexNormals(object);
    ExpectNear(object.normals[0], 2, -2, -8);
    ExpectNear(object.normals[1], 0, 0, -4);
    ExpectNear(object.normals[2], 2, -2, -8);
    ExpectNear(object.normals[3], 2, -2, -4);
    ExpectNear(object.normals[4], 0, 0, 0);  // used by no face
}

TEST(Lighting, DiffuseFactorOfAPointLight) {
    PointLight light;
    light.red = light.green = light.blue = 1;
    const Vector3 vertex{0, 0, 100};
    VertexIntensity out;

    LightVertex(vertex, out, {0, 0, -5}, light);
    EXPECT_EQ(out.red, 1.0);
    EXPECT_EQ(out.blue, 1.0);
    LightVertex(vertex, out, {0, 0, 5}, light);
    EXPECT_EQ(out.red, 0.0);
    out = {9, 9, 9};
    LightVertex(vertex, out, {0, 0, 0}, light);
    EXPECT_EQ(out.green, 0.0);

    // 60 degrees off, with per-channel factors.
    light.red = 0.5;
    LightVertex(vertex, out, {0, std::sqrt(3.0), -1}, light);
    EXPECT_NEAR(out.red, 0.25, 1e-12);
    EXPECT_NEAR(out.blue, 0.5, 1e-12);

    // The light on the vertex, or infinite values, light nothing.
    light.position = vertex;
    LightVertex(vertex, out, {0, 0, -1}, light);
    EXPECT_EQ(out.blue, 0.0);
    light.position = {0, 0, 0};
    const double inf = std::numeric_limits<double>::infinity();
    LightVertex({0, 0, inf}, out, {0, 0, -1}, light);
    EXPECT_EQ(out.red, 0.0);
}

bool BackFacing(ScreenVertex a, ScreenVertex b, ScreenVertex c) {
    const ScreenVertex* corners[3] = {&a, &b, &c};
    return IsBackFacing(corners);
}

TEST(BackFace, OnlyClockwiseScreenTrianglesAreDrawn) {
    EXPECT_FALSE(BackFacing({0, 0, 1}, {10, 0, 1}, {0, 10, 1}));
    EXPECT_FALSE(BackFacing({10, 0, 1}, {0, 10, 1}, {0, 0, 1}));
    EXPECT_TRUE(BackFacing({0, 0, 1}, {0, 10, 1}, {10, 0, 1}));
    EXPECT_TRUE(BackFacing({0, 0, 1}, {5, 5, 1}, {10, 10, 1}));
    EXPECT_TRUE(BackFacing({3, 3, 1}, {3, 3, 1}, {3, 3, 1}));
    EXPECT_TRUE(BackFacing({std::nan(""), 0, 1}, {10, 0, 1}, {0, 10, 1}));
}

TEST(Rounding, NearestWithHalvesToEven) {
    EXPECT_EQ(RoundToNearest(0.5), 0);
    EXPECT_EQ(RoundToNearest(1.5), 2);
    EXPECT_EQ(RoundToNearest(-0.5), 0);
    EXPECT_EQ(RoundToNearest(2.5), 2);
    EXPECT_EQ(RoundToNearest(3.5), 4);
    EXPECT_EQ(RoundToNearest(-2.5), -2);
    EXPECT_EQ(RoundToNearest(2147483647.0), 2147483647);
    EXPECT_EQ(RoundToNearest(2147483647.5), INT32_MIN);
    EXPECT_EQ(RoundToNearest(-1e10), INT32_MIN);
    EXPECT_EQ(RoundToNearest(std::nan("")), INT32_MIN);
    EXPECT_EQ(RoundToNearest(std::numeric_limits<double>::infinity()), INT32_MIN);
    EXPECT_EQ(RoundToNearest(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

TEST(Wave, DisplacesAlongZFromTheBasePoints) {
    Object3D object;
    MakeObject(object, {{0, 5, 7}, {1.25, 0, 0}, {-3, 2, 1}});
    const Vector3* own = object.modelPoints;
    SurfaceWave wave;
    wave.amplitude = 10;
    wave.wavelength = 5;
    wave.Apply(1.0);  // not attached yet: nothing happens
    EXPECT_EQ(object.modelPoints, own);
    wave.Attach(object);
    EXPECT_EQ(object.modelPoints, own);
    EXPECT_EQ(wave.target, &object);
    EXPECT_EQ(wave.basePoints, own);

    wave.Apply(kPi / 2);
    ASSERT_NE(object.modelPoints, own);
    ExpectNear(object.modelPoints[0], 0, 5, 17);
    // k = 180 / (pi * 5): x = 1.25 is a quarter turn further on.
    ExpectNear(object.modelPoints[1], 1.25, 0, 10 * std::sin(180 / (kPi * 5) * 1.25 + kPi / 2));
    ExpectNear(own[0], 0, 5, 7);  // the base stays

    wave.Apply(0.3);
    wave.Apply(kPi / 2);
    const std::vector<Vector3> twice(object.modelPoints, object.modelPoints + 3);
    wave.Apply(kPi / 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(object.modelPoints[i].z, twice[i].z);
    }
    EXPECT_EQ(object.modelPoints[0].z, 17.0);

    wave.amplitude = 0;
    wave.Apply(2.0);
    ExpectNear(object.modelPoints[2], -3, 2, 1);
    EXPECT_NE(object.modelPoints, own);
}

TEST(Wave, AnObjectLeftBehindKeepsItsLastPoints) {
    Object3D first, second;
    MakeObject(first, {{0, 5, 7}, {1, 1, 1}});
    MakeObject(second, {{0, 0, 0}, {1, 2, 3}, {4, 5, 6}});
    SurfaceWave wave;
    wave.amplitude = 10;
    wave.wavelength = 5;
    wave.Attach(first);
    wave.Apply(kPi / 2);
    const Vector3* left = first.modelPoints;
    wave.Attach(second);
    wave.Apply(0);
    wave.Apply(kPi / 2);
    EXPECT_EQ(second.modelPoints, wave.displacedPoints.data());
    EXPECT_EQ(first.modelPoints, left);
    ExpectNear(first.modelPoints[0], 0, 5, 17);  // still readable, unchanged

    // Re-attaching to an object the wave already shaped starts from its
    // displaced points.
    wave.Attach(first);
    wave.Apply(kPi / 2);
    ExpectNear(first.modelPoints[0], 0, 5, 27);
    ExpectNear(second.modelPoints[0], 0, 0, 10);
}

struct Uv {
    double u, v;
};

// Maps a face whose corner 0 is `p` (corners 1 and 2 repeat it) on a 640 x 320 picture.
Uv MapPoint(const Vector3& p, const Vector3& angles = {0, 0, 0}) {
    Object3D object;
    MakeObject(object, {p}, {MakeFace(0, 0, 0)});
    Image picture;
    picture.width = 640;
    picture.height = 320;
    MapTextureSpherical(object, picture, angles);
    return {object.faceTextures[0].corner[0].u, object.faceTextures[0].corner[0].v};
}

TEST(SphericalMapping, AxisPointsOnA640By320Picture) {
    Uv c = MapPoint({1, 0, 0});
    EXPECT_DOUBLE_EQ(c.u, 159.75);
    EXPECT_DOUBLE_EQ(c.v, 159.5);
    EXPECT_DOUBLE_EQ(MapPoint({0, 0, 1}).u, 319.5);
    EXPECT_DOUBLE_EQ(MapPoint({-1, 0, 0}).u, 479.25);
    EXPECT_DOUBLE_EQ(MapPoint({0, 0, -1}).u, 0.0);
    EXPECT_NEAR(MapPoint({0, 7, 0}).v, 0.0, 1e-9);
    EXPECT_NEAR(MapPoint({0, -7, 0}).v, 319.0, 1e-9);
    // The origin maps like a point on +x.
    c = MapPoint({0, 0, 0});
    EXPECT_DOUBLE_EQ(c.u, 159.75);
    EXPECT_DOUBLE_EQ(c.v, 159.5);
    // The model is turned the opposite way first: -90 degrees about y takes
    // +x to -z.
    EXPECT_NEAR(MapPoint({1, 0, 0}, {0, 90, 0}).u, 0.0, 1e-9);
    EXPECT_NEAR(MapPoint({0, 0, 1}, {0, 90, 0}).u, 159.75, 1e-9);
}

TEST(SphericalMapping, FacesAcrossTheSeamStayOnOneSide) {
    Object3D object;
    MakeObject(object, {{-1, 0, -10}, {1, 0, -10}, {0, 1, -10}},
               {MakeFace(0, 1, 2), MakeFace(1, 0, 2)});
    object.position = {1, 2, 3};
    object.angles = {4, 5, 6};
    Image picture;
    picture.width = 640;
    picture.height = 320;
    object.faceTextures.resize(2);
    MapTextureSpherical(object, picture, {0, 0, 0});
    const FaceTexture& far = object.faceTextures[0];
    EXPECT_GT(far.corner[0].u, 600);
    EXPECT_GT(far.corner[1].u, 600);
    EXPECT_GT(far.corner[2].u, 600);
    const FaceTexture& near = object.faceTextures[1];
    EXPECT_LT(near.corner[0].u, 40);
    EXPECT_LT(near.corner[1].u, 40);
    EXPECT_LT(near.corner[2].u, 40);
    EXPECT_EQ(far.texture, &picture);
    EXPECT_EQ(near.texture, &picture);
    EXPECT_EQ(object.position.y, 2);
    EXPECT_EQ(object.angles.z, 6);
}

TEST(SphericalMapping, EveryCoordinateStaysOnThePicture) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-1, 1);
    std::vector<Vector3> points;
    for (int i = 0; i < 3000; ++i) {
        Vector3 p{coordinate(random), coordinate(random), coordinate(random)};
        // Many points near the poles and on the seam plane, where rounding
        // pushes the ratios to the edge of the arcsine.
        if (i % 3 == 0) p.x = p.z = 1e-17 * p.x;
        if (i % 3 == 1) p.x *= 1e-300;
        points.push_back(p);
    }
    std::vector<Face> faces;
    for (int32_t i = 0; i + 2 < static_cast<int32_t>(points.size()); ++i) {
        faces.push_back(MakeFace(i, i + 1, i + 2));
    }
    Object3D object;
    MakeObject(object, points, faces);
    Image picture;
    picture.width = 640;
    picture.height = 320;
    MapTextureSpherical(object, picture, {13, 30, -71});
    for (const FaceTexture& t : object.faceTextures) {
        ASSERT_EQ(t.texture, &picture);
        for (const TexCoord& c : t.corner) {
            ASSERT_GE(c.u, 0);
            ASSERT_LE(c.u, 639);
            ASSERT_GE(c.v, 0);
            ASSERT_LE(c.v, 319);
        }
    }
}

}  // namespace
