#pragma once
// The per-frame object renderers: transform, light, cut at the near plane,
// drop back faces and hand triangles to the rasterizers.
#include <cstdint>

#include "geometry/object3d.h"
#include "raster/triangle.h"

// Untextured faces in mode 1, textured ones in mode 5. An object without a
// texture entry for every face is drawn untextured.
void DrawObject(Object3D& object, const PointLight& light);
// Every face in mode 1 with its colour; textures are not read.
void DrawObjectUntextured(Object3D& object, const PointLight& light);

// Receives each triangle that survives the back-face test.
using TriangleHandOver = void (*)(TriangleRequest& request, void* context);

// The steps of one face: colour (and texture when `textured`), the count of
// corners behind nearZ, lighting, the near-plane cut and the back-face test,
// handing every surviving triangle to `handOver`. The object's camera points,
// screen points and normals must be current, and for `textured` its
// faceTextures present. The working records live in this call's frame.
void ClipFaceNear(Object3D& object, int32_t face, const PointLight& light, bool textured,
                  TriangleRequest& request, TriangleHandOver handOver, void* context);
