// The three rasterizer modes over arbitrary requests: corners anywhere
// (not a number, infinite and huge included), any depths, light factors and
// texture coordinates, textures of any size and targets with a row pad. A
// mode must write only inside its target, read only inside its texture, and
// hand the corner records and the request back as they were.
#include <cstring>

#include "fuzz_support.h"
#include "raster/triangle.h"

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeIntegralInRange<int>(0, 2);
    // The show's target, or a smaller one of any shape; textures mostly
    // small, where coordinates leave them most easily, up to the globe's.
    const bool showTarget = in.ConsumeBool();
    const int32_t width = showTarget ? 320 : in.ConsumeIntegralInRange<int32_t>(1, 330);
    const int32_t height = showTarget ? 240 : in.ConsumeIntegralInRange<int32_t>(1, 250);
    const int32_t rowPad = in.ConsumeIntegralInRange<int32_t>(0, 70);
    const bool bigTexture = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    const int32_t textureWidth = in.ConsumeIntegralInRange<int32_t>(1, bigTexture ? 640 : 64);
    const int32_t textureHeight = in.ConsumeIntegralInRange<int32_t>(1, bigTexture ? 320 : 64);
    fuzz::GuardedTarget target(width, height, rowPad);
    static fuzz::Arena textures(640 * 320);
    const Image texture = fuzz::MakePicture(textureWidth, textureHeight, in.ConsumeIntegral<uint32_t>(), &textures);

    ScreenVertex corners[3];
    VertexIntensity shades[3];
    TexCoord uvs[3];
    for (int k = 0; k < 3; ++k) {
        corners[k].x = fuzz::Coordinate(in, width);
        corners[k].y = fuzz::Coordinate(in, height);
        // Depth: the renderers hand over only depths at or beyond the near
        // plane; anything else must still stay inside the target.
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: corners[k].depth = fuzz::Coordinate(in, 1000); break;
            default: corners[k].depth = in.ConsumeFloatingPointInRange<double>(0.5, 5000.0); break;
        }
        shades[k] = {fuzz::Factor(in), fuzz::Factor(in), fuzz::Factor(in)};
        uvs[k] = {fuzz::Coordinate(in, textureWidth), fuzz::Coordinate(in, textureHeight)};
    }
    TriangleRequest request;
    for (int k = 0; k < 3; ++k) {
        request.vertex[k] = &corners[k];
        request.shade[k] = &shades[k];
        request.uv[k] = &uvs[k];
    }
    request.colour = in.ConsumeIntegral<uint32_t>() & 0xFFFFFFu;
    request.texture = &texture;
    request.pixels = target.pixels();
    request.width = width;
    request.height = height;
    request.rowPad = rowPad;

    const TriangleRequest before = request;
    ScreenVertex cornersBefore[3];
    std::memcpy(cornersBefore, corners, sizeof corners);
    const char* name = mode == 0 ? "DrawTriangleMode1" : mode == 1 ? "DrawTriangleMode4" : "DrawTriangleMode5";
    switch (mode) {
        case 0: DrawTriangleMode1(request); break;
        case 1: DrawTriangleMode4(request); break;
        default: DrawTriangleMode5(request); break;
    }
    target.Check(name);
    for (int k = 0; k < 3; ++k) {
        if (!SameBits(corners[k].x, cornersBefore[k].x) || !SameBits(corners[k].y, cornersBefore[k].y) ||
            request.vertex[k] != before.vertex[k] || request.shade[k] != before.shade[k] ||
            request.uv[k] != before.uv[k]) {
            std::fprintf(stderr, "%s did not hand back corner %d as it was\n", name, k);
            std::abort();
        }
    }
    return 0;
}
