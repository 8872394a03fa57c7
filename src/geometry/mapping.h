#pragma once
// Wrapping a picture around an object by latitude and longitude.
#include "geometry/object3d.h"

struct Image;

// Gives every face of `object` texture coordinates on `picture` from the
// direction of its corners seen from the model's origin, after turning the
// model by -angles (degrees), and makes `picture` the texture of every face.
void MapTextureSpherical(Object3D& object, const Image& picture, const Vector3& angles);
