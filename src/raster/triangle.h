#pragma once
// One triangle handed to a rasterizer, and the three rasterizer modes.
#include <cstdint>

#include "geometry/object3d.h"

struct Image;

struct TriangleRequest {
    ScreenVertex* vertex[3] = {nullptr, nullptr, nullptr};
    VertexIntensity* shade[3] = {nullptr, nullptr, nullptr};
    TexCoord* uv[3] = {nullptr, nullptr, nullptr};
    uint32_t colour = 0;
    const Image* texture = nullptr;
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowPad = 0;
};

// Gouraud-shaded face colour.
void DrawTriangleMode1(TriangleRequest& request);
// Affine shaded texture.
void DrawTriangleMode4(TriangleRequest& request);
// Perspective-correct shaded texture; never writes the caller's corners.
void DrawTriangleMode5(TriangleRequest& request);
