// Mode 5: perspective-correct shaded texture. 1/z, u/z and v/z are stepped
// linearly in doubles; the texture position is divided out exactly every
// eight pixels and stepped in 16.16 in between.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/clip_internal.h"
#include "raster/fixed_internal.h"
#include "raster/triangle.h"

namespace {

using raster::SaturateToInt32;
using raster::TextureView;

struct PerspectiveCorner {
    int32_t x = 0;
    int32_t y = 0;
    double w = 0;  // 1 / depth
    double u = 0;  // u / depth
    double v = 0;  // v / depth
    int32_t channel[3] = {};
};

// A double texture position as 16.16. NaN, infinities and positions beyond
// 32 bits become INT32_MIN, which reads far past any texture and so ends the
// row like any other position outside it.
inline uint32_t TexturePosition(double value) {
    int32_t position;
    if (!raster::TruncToInt32(value, position)) position = INT32_MIN;
    return static_cast<uint32_t>(position);
}

// (end - start) / 8 on the signed positions, truncating toward zero.
inline uint32_t SegmentStep(uint32_t start, uint32_t end) {
    const int64_t difference = static_cast<int64_t>(static_cast<int32_t>(end)) - static_cast<int32_t>(start);
    return static_cast<uint32_t>(difference / 8);
}

// Everything one row's span needs from the left side and the triangle.
struct SpanState {
    double w, u, v;
    uint32_t red, green, blue;
};

struct SpanSteps {
    double w, u, v;  // over eight pixels
    uint32_t red, green, blue;  // per pixel
};

void SpanMode5(uint32_t* out, int32_t count, SpanState s, const SpanSteps& step, const TextureView& texture) {
    const uint32_t* texels = texture.texels;
    const uint32_t width = static_cast<uint32_t>(texture.width);
    const uint32_t rows = static_cast<uint32_t>(texture.rows);
    const int64_t uLimit = static_cast<int64_t>(width) << 16;
    const int64_t vLimit = static_cast<int64_t>(rows) << 16;
    uint32_t uStart = TexturePosition(s.u / s.w * 65536.0);
    uint32_t vStart = TexturePosition(s.v / s.w * 65536.0);
    int32_t done = 0;
    for (;;) {
        // The end of this segment, eight pixels on, even when the span ends
        // sooner.
        s.w += step.w;
        s.u += step.u;
        s.v += step.v;
        const uint32_t uEnd = TexturePosition(s.u / s.w * 65536.0);
        const uint32_t vEnd = TexturePosition(s.v / s.w * 65536.0);
        const uint32_t du = SegmentStep(uStart, uEnd);
        const uint32_t dv = SegmentStep(vStart, vEnd);
        uint32_t tu = uStart + 32768u;
        uint32_t tv = vStart + 32768u;
        const int32_t n = std::min(count - done, 8);
        uint32_t* pixel = out + done;
        // The position moves linearly within a segment: with both ends inside
        // the texture, every pixel between is, and none needs its own test.
        const int64_t uLast = static_cast<int64_t>(tu) + static_cast<int64_t>(static_cast<int32_t>(du)) * (n - 1);
        const int64_t vLast = static_cast<int64_t>(tv) + static_cast<int64_t>(static_cast<int32_t>(dv)) * (n - 1);
        if (std::max<int64_t>(tu, uLast) < uLimit && uLast >= 0 && std::max<int64_t>(tv, vLast) < vLimit &&
            vLast >= 0) {
            auto fetch = [&]() {
                const uint32_t texel = texels[static_cast<size_t>(tv >> 16) * width + (tu >> 16)];
                tu += du;
                tv += dv;
                return texel;
            };
            raster::ShadeRun(pixel, n, fetch, s.red, s.green, s.blue, step.red, step.green, step.blue);
        } else {
            for (int32_t i = 0; i < n; ++i) {
                const uint32_t row = tv >> 16;
                const uint32_t column = tu >> 16;
                // Outside the texture (a negative position reads as a huge
                // unsigned one) the rest of the row is left as it was.
                if (row >= rows || column >= width) return;
                pixel[i] =
                    raster::ShadeTexel(texels[static_cast<size_t>(row) * width + column], s.red, s.green, s.blue);
                tu += du;
                tv += dv;
                s.red += step.red;
                s.green += step.green;
                s.blue += step.blue;
            }
        }
        done += n;
        if (done >= count) return;
        // Restart from the exact position so truncation in du and dv does
        // not pile up beyond one segment.
        uStart = uEnd;
        vStart = vEnd;
    }
}

void FillTriangleMode5(const TriangleRequest& request, const TextureView& texture) {
    PerspectiveCorner c[3];
    for (int k = 0; k < 3; ++k) {
        const ScreenVertex& vertex = *request.vertex[k];
        c[k].x = RoundToNearest(vertex.x);
        c[k].y = RoundToNearest(vertex.y);
        // Only a NaN the clipping could not test lands outside.
        if (c[k].x < 0 || c[k].x > request.width || c[k].y < 0 || c[k].y > request.height) return;
        // Depth must be positive; anything else has no perspective to
        // correct and is dropped, as are values too large to step.
        if (!(vertex.depth > 0.0)) return;
        const TexCoord& uv = *request.uv[k];
        c[k].w = 1.0 / vertex.depth;
        c[k].u = uv.u * c[k].w;
        c[k].v = uv.v * c[k].w;
        if (!(std::isfinite(c[k].w) && std::isfinite(c[k].u) && std::isfinite(c[k].v))) return;
        if (!raster::ChannelValues(*request.shade[k], request.colour, c[k].channel)) return;
    }

    if (c[1].y < c[0].y) std::swap(c[0], c[1]);
    if (c[2].y < c[1].y) std::swap(c[1], c[2]);
    if (c[1].y < c[0].y) std::swap(c[0], c[1]);

    const int32_t dy01 = c[1].y - c[0].y;
    const int32_t dy12 = c[2].y - c[1].y;
    const int32_t dy02 = c[2].y - c[0].y;
    if (dy02 == 0) return;

    struct EdgeSteps {
        double x, w, u, v;
        int64_t channel[3];
    };
    auto edge = [](const PerspectiveCorner& a, const PerspectiveCorner& b, int32_t rows) {
        EdgeSteps e;
        e.x = static_cast<double>(b.x - a.x);
        e.w = b.w - a.w;
        e.u = b.u - a.u;
        e.v = b.v - a.v;
        for (int i = 0; i < 3; ++i) e.channel[i] = static_cast<int64_t>(b.channel[i]) - a.channel[i];
        if (rows != 0) {
            e.x /= rows;
            e.w /= rows;
            e.u /= rows;
            e.v /= rows;
            for (int i = 0; i < 3; ++i) e.channel[i] /= rows;
        }
        return e;
    };
    const EdgeSteps e01 = edge(c[0], c[1], dy01);
    const EdgeSteps e12 = edge(c[1], c[2], dy12);
    const EdgeSteps e02 = edge(c[0], c[2], dy02);

    double w;
    SpanSteps span;
    if (dy01 != 0) {
        w = e02.x - e01.x;
        if (w == 0.0) return;
        span.w = (e02.w - e01.w) / w * 8;
        span.u = (e02.u - e01.u) / w * 8;
        span.v = (e02.v - e01.v) / w * 8;
        span.red = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(e02.channel[0] - e01.channel[0]) / w));
        span.green = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(e02.channel[1] - e01.channel[1]) / w));
        span.blue = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(e02.channel[2] - e01.channel[2]) / w));
    } else {
        // Flat top: e01 holds the undivided differences.
        w = static_cast<double>(c[0].x - c[1].x);
        if (w == 0.0) return;
        span.w = (-e01.w) / w * 8;
        span.u = (-e01.u) / w * 8;
        span.v = (-e01.v) / w * 8;
        span.red = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[0]) / w));
        span.green = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[1]) / w));
        span.blue = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[2]) / w));
    }
    const bool middleLeft = w > 0;

    // The left side carries W, U, V and the channels: along 0-1 then 1-2
    // when the middle corner is on the left, along 0-2 otherwise.
    auto startAt = [](const PerspectiveCorner& corner) {
        return SpanState{corner.w, corner.u, corner.v, static_cast<uint32_t>(corner.channel[0]),
                         static_cast<uint32_t>(corner.channel[1]), static_cast<uint32_t>(corner.channel[2])};
    };
    SpanState carried = startAt(c[0]);
    const EdgeSteps* carriedStep = middleLeft ? &e01 : &e02;
    double left = c[0].x;
    double right = c[0].x;
    double leftStep = middleLeft ? e01.x : e02.x;
    double rightStep = middleLeft ? e02.x : e01.x;

    const int64_t stride = static_cast<int64_t>(request.width) + request.rowPad;
    // A corner within half a pixel of the bottom edge rounds to row
    // `height`, which does not exist and is not visited.
    const int32_t last = std::min(c[2].y, request.height - 1);
    int64_t offset = static_cast<int64_t>(c[0].y) * stride;
    int32_t y = c[0].y;

    auto row = [&]() {
        const int64_t first = std::max<int64_t>(RoundToNearest(left), 0);
        const int64_t end = std::min<int64_t>(RoundToNearest(right), request.width);
        if (first < end) {
            SpanMode5(request.pixels + offset + first, static_cast<int32_t>(end - first), carried, span, texture);
        }
        left += leftStep;
        right += rightStep;
        carried.w += carriedStep->w;
        carried.u += carriedStep->u;
        carried.v += carriedStep->v;
        carried.red += static_cast<uint32_t>(carriedStep->channel[0]);
        carried.green += static_cast<uint32_t>(carriedStep->channel[1]);
        carried.blue += static_cast<uint32_t>(carriedStep->channel[2]);
        offset += stride;
    };

    for (; y < c[1].y && y <= last; ++y) row();
    if (middleLeft) {
        left = c[1].x;
        leftStep = e12.x;
        carried = startAt(c[1]);
        carriedStep = &e12;
    } else {
        right = c[1].x;
        rightStep = e12.x;
    }
    for (; y <= last; ++y) row();
}

}  // namespace

void DrawTriangleMode5(TriangleRequest& request) {
    TextureView texture;
    if (!raster::CanDraw(request, true) || !raster::MakeTextureView(request.texture, texture)) return;
    raster::ClipTriangle<raster::PerspectiveCut>(
        request, [&texture](const TriangleRequest& piece) { FillTriangleMode5(piece, texture); });
}
