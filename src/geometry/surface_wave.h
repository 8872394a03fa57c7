#pragma once
// A sine ripple along z that re-shapes one object's model points every frame.
#include <vector>

#include "geometry/object3d.h"

struct SurfaceWave {
    double amplitude = 0;
    // Divisor in the angular frequency 180 / (pi * wavelength) per unit of x.
    double wavelength = 0;
    // Owned; the target's modelPoints refers to it after the first Apply.
    std::vector<Vector3> displacedPoints;
    // The target's own points when it was attached; not owned.
    const Vector3* basePoints = nullptr;
    Object3D* target = nullptr;
    // Arrays of earlier attachments. An object the wave has left keeps
    // referring to the last displaced array it received, so they stay alive.
    std::vector<std::vector<Vector3>> retiredPoints;
    // Storage set aside by Reserve for the next attachment.
    std::vector<Vector3> sparePoints;

    // Binds the wave to `object` without changing it.
    void Attach(Object3D& object);
    // Sets aside what a later Attach to `later` needs, so that attaching
    // while the show runs allocates nothing.
    void Reserve(const Object3D& later);
    // Displaces the base points by amplitude * sin(k * x + phase) along z and
    // points the target at the result. Does nothing while detached.
    void Apply(double phase);
};
