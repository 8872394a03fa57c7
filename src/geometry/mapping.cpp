#include "geometry/mapping.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "assets/image.h"
#include "geometry/trig.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Rounding can push a ratio just past +-1, where the arcsine is undefined.
double ClampUnit(double value) {
    if (value > 1) return 1;
    if (value < -1) return -1;
    return value;
}

// Keeps a coordinate on the picture when rounding ends a hair past its edge.
double ClampTo(double value, double limit) {
    if (value > limit) value = limit;
    if (value < 0) value = 0;
    return value;
}

}  // namespace

void MapTextureSpherical(Object3D& object, const Image& picture, const Vector3& angles) {
    if (object.faceTextures.empty()) {
        object.faceTextures.assign(static_cast<size_t>(object.faceCount), FaceTexture{});
    }

    const Vector3 keptPosition = object.position;
    const Vector3 keptAngles = object.angles;
    object.angles = Vector3{-angles.x, -angles.y, -angles.z};
    object.position = Vector3{0, 0, 0};
    BuildMatrices(object);
    TransformPoints(object);
    object.position = keptPosition;
    object.angles = keptAngles;

    const double uSpan = static_cast<double>(picture.width - 1);
    const double vSpan = static_cast<double>(picture.height - 1);

    for (int32_t f = 0; f < object.faceCount; ++f) {
        const Face& face = object.faces[static_cast<size_t>(f)];
        FaceTexture& entry = object.faceTextures[static_cast<size_t>(f)];
        const double firstX = object.cameraPoints[static_cast<size_t>(face.index[0])].x;
        for (int k = 0; k < 3; ++k) {
            const Vector3& p = object.cameraPoints[static_cast<size_t>(face.index[k])];
            double r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            if (r == 0) r = 0.0001;
            double latitude = ArcSine(ClampUnit(p.y / r));
            if (Cosine(latitude) == 0) latitude = latitude / 1.0001;
            double longitude = ArcSine(ClampUnit(p.z / (Cosine(latitude) * r)));
            // Keep the corners of a face that straddles the seam at -z on
            // the side of corner 0.
            const bool flip = k == 0 ? p.x < 0 : (firstX < 0 || (p.x < 0 && p.z >= 0));
            if (flip) longitude = kPi - longitude;
            entry.corner[k].v = ClampTo((kPi / 2 - latitude) / kPi * vSpan, vSpan);
            entry.corner[k].u = ClampTo((longitude + kPi / 2) / (2 * kPi) * uSpan, uSpan);
        }
        entry.texture = &picture;
    }
}
