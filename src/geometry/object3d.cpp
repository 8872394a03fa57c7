#include "geometry/object3d.h"

#include <cmath>
#include <cstddef>

#include "geometry/trig.h"

namespace {

// Fixed rather than M_PI so that every picture comes out the same bit for bit.
constexpr double kPi = 3.141592653589793;

}  // namespace

void BuildMatrices(Object3D& object) {
    // Integer halves: 320 x 240 gives the centre 159, 119.
    const double cx = static_cast<double>(object.width / 2 - 1);
    const double cy = static_cast<double>(object.height / 2 - 1);

    const double a = object.angles.x / 180 * kPi;
    const double b = object.angles.y / 180 * kPi;
    const double c = object.angles.z / 180 * kPi;
    const double sa = Sine(a), ca = Cosine(a);
    const double sb = Sine(b), cb = Cosine(b);
    const double sc = Sine(c), cc = Cosine(c);

    double (&m)[4][3] = object.objectMatrix;
    m[0][0] = cc * cb;
    m[0][1] = sc * ca - sa * (cc * sb);
    m[0][2] = ca * (cc * sb) + sc * sa;
    m[1][0] = -sc * cb;
    m[1][1] = sb * (sc * sa) + ca * cc;
    m[1][2] = sa * cc - ca * (sb * sc);
    m[2][0] = -sb;
    m[2][1] = -cb * sa;
    m[2][2] = cb * ca;

    // The scale acts on the rotated axes.
    for (int row = 0; row < 3; ++row) {
        m[row][0] *= object.scale.x;
        m[row][1] *= object.scale.y;
        m[row][2] *= object.scale.z;
    }
    m[3][0] = object.position.x;
    m[3][1] = object.position.y;
    m[3][2] = object.position.z;

    // Column 2 of the projection is never used and is left alone.
    double (&p)[4][4] = object.projection;
    const double f = object.focalLength;
    p[0][0] = 1;
    p[0][1] = 0;
    p[0][3] = 0;
    p[1][0] = 0;
    p[1][1] = -1;
    p[1][3] = 0;
    p[2][0] = cx / f;
    p[2][1] = cy / f;
    p[2][3] = 1 / f;
    p[3][0] = 0;
    p[3][1] = 0;
    p[3][3] = 0;
}

void TransformPoints(Object3D& object) {
    const double (&m)[4][3] = object.objectMatrix;
    const Vector3* in = object.modelPoints;
    Vector3* out = object.cameraPoints.data();
    for (int32_t i = 0; i < object.pointCount; ++i) {
        const Vector3 p = in[i];
        out[i].x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
        out[i].y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
        out[i].z = p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2];
    }
}

namespace {

inline void Project(const double (&p)[4][4], double x, double y, double z, ScreenVertex& out) {
    const double w = x * p[0][3] + y * p[1][3] + z * p[2][3] + p[3][3];
    out.x = (x * p[0][0] + y * p[1][0] + z * p[2][0] + p[3][0]) / w;
    out.y = (x * p[0][1] + y * p[1][1] + z * p[2][1] + p[3][1]) / w;
    out.depth = z;
}

}  // namespace

void ProjectPoints(Object3D& object) {
    const Vector3* in = object.cameraPoints.data();
    ScreenVertex* out = object.screenPoints.data();
    for (int32_t i = 0; i < object.pointCount; ++i) {
        Project(object.projection, in[i].x, in[i].y, in[i].z, out[i]);
    }
}

void ProjectPoint(const Object3D& object, ScreenVertex& point) {
    // Both coordinates come from the values held on entry.
    const double x = point.x, y = point.y, z = point.depth;
    Project(object.projection, x, y, z, point);
}

namespace {

inline void NormalOf(const Vector3* points, const Face& f, Vector3& normal) {
    const Vector3& c0 = points[static_cast<size_t>(f.index[0])];
    const Vector3& c1 = points[static_cast<size_t>(f.index[1])];
    const Vector3& c2 = points[static_cast<size_t>(f.index[2])];
    const Vector3 e1{c1.x - c0.x, c1.y - c0.y, c1.z - c0.z};
    const Vector3 e2{c2.x - c0.x, c2.y - c0.y, c2.z - c0.z};
    normal.x = e1.y * e2.z - e2.y * e1.z;
    normal.y = e1.z * e2.x - e2.z * e1.x;
    normal.z = e1.x * e2.y - e2.x * e1.y;
}

}  // namespace

void FaceNormal(const Object3D& object, int32_t face, Vector3& normal) {
    NormalOf(object.cameraPoints.data(), object.faces[static_cast<size_t>(face)], normal);
}

void ComputeVertexNormals(Object3D& object) {
    Vector3* normals = object.normals.data();
    const Vector3* points = object.cameraPoints.data();
    for (int32_t i = 0; i < object.pointCount; ++i) normals[i] = Vector3{};
    for (int32_t f = 0; f < object.faceCount; ++f) {
        Vector3 n;
        NormalOf(points, object.faces[static_cast<size_t>(f)], n);
        for (int32_t corner : object.faces[static_cast<size_t>(f)].index) {
            Vector3& sum = normals[corner];
            sum.x += n.x;
            sum.y += n.y;
            sum.z += n.z;
        }
    }
}

void LightVertex(const Vector3& position, VertexIntensity& out, const Vector3& normal,
                 const PointLight& light) {
    const Vector3 d{light.position.x - position.x, light.position.y - position.y,
                    light.position.z - position.z};
    const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) *
                          std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    double k = 0;
    if (length != 0 && !std::isnan(length)) {
        k = (normal.x * d.x + normal.y * d.y + normal.z * d.z) / length;
    }
    // An undefined factor (infinite inputs) would reach the rasterizers'
    // integer conversion; it lights nothing instead.
    if (k < 0 || std::isnan(k)) k = 0;
    out.red = light.red * k;
    out.green = light.green * k;
    out.blue = light.blue * k;
}

bool IsBackFacing(const ScreenVertex* const corners[3]) {
    const ScreenVertex& p0 = *corners[0];
    const ScreenVertex& p1 = *corners[1];
    const ScreenVertex& p2 = *corners[2];
    const double a = p2.x - p0.x;
    const double b = p2.y - p0.y;
    const double c = p2.x - p1.x;
    const double d = p2.y - p1.y;
    const double s = (d - b) * a - (c - a) * b;
    // Only a clockwise turn on the screen is drawn; zero and NaN are not.
    return !(s > 0);
}
