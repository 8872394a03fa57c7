#include "geometry/surface_wave.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "geometry/trig.h"

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

void SurfaceWave::Attach(Object3D& object) {
    // Moving a vector keeps its buffer where it is, so the object the wave
    // leaves still points at valid points.
    if (displacedPoints.capacity() > 0) retiredPoints.push_back(std::move(displacedPoints));
    target = &object;
    displacedPoints = std::move(sparePoints);
    sparePoints = std::vector<Vector3>();
    displacedPoints.assign(static_cast<size_t>(object.pointCount), Vector3{});
    basePoints = object.modelPoints;
}

void SurfaceWave::Reserve(const Object3D& later) {
    retiredPoints.reserve(retiredPoints.size() + 1);
    sparePoints.reserve(static_cast<size_t>(later.pointCount));
}

void SurfaceWave::Apply(double phase) {
    if (target == nullptr) return;
    const double k = 180 / (kPi * wavelength);
    // Always from the base points, so displacements never pile up.
    const size_t count = displacedPoints.size();
    for (size_t i = 0; i < count; ++i) {
        const Vector3 o = basePoints[i];
        displacedPoints[i] = Vector3{o.x, o.y, o.z + amplitude * Sine(k * o.x + phase)};
    }
    target->modelPoints = displacedPoints.data();
}
