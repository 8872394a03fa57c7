#pragma once
// Cutting a triangle against the four edges of the target, shared by the
// three rasterizer modes. What a cut point carries, and how it takes a
// corner's place, is the `Cut` policy:
//   LinearCut<false>  mode 1: x, y and intensities, written into the corner
//   LinearCut<true>   mode 4: also u and v
//   PerspectiveCut    mode 5: its own corner record with a perspective-correct
//                     depth, u and v; the caller's corners are never written
#include <cstdint>

#include "geometry/object3d.h"
#include "raster/triangle.h"

namespace raster {

// A triangle needs at most one nested level per edge. A cut computed in
// doubles can land a hair beyond an edge that was already passed and cost a
// level more; a piece not settled this deep is dropped instead of recursing
// further.
inline constexpr int kMaxClipNesting = 12;

enum class Axis { kX, kY };

// The records a clipping activation keeps for one cut point.
struct CutPoint {
    ScreenVertex vertex;
    VertexIntensity shade;
    TexCoord uv;
};

inline double Along(const ScreenVertex& v, Axis axis) { return axis == Axis::kX ? v.x : v.y; }

// (b - a) / q * d + a, in this order: the cut of a value that is linear on
// the screen.
inline double CutLinear(double a, double b, double q, double d) { return (b - a) / q * d + a; }

template <bool kWithUv>
struct LinearCut {
    struct Saved {
        double x, y;
        VertexIntensity* shade;
        TexCoord* uv;
    };

    // The cut on the edge from anchor a to corner b at `axis` = c; the cut
    // corner stands at `stored` on that axis.
    static void Compute(const TriangleRequest& request, int a, int b, Axis axis, double c,
                        double stored, CutPoint& out) {
        const ScreenVertex& va = *request.vertex[a];
        const ScreenVertex& vb = *request.vertex[b];
        const double d = c - Along(va, axis);
        const double q = Along(vb, axis) - Along(va, axis);
        if (axis == Axis::kX) {
            out.vertex.y = CutLinear(va.y, vb.y, q, d);
            out.vertex.x = stored;
        } else {
            out.vertex.x = CutLinear(va.x, vb.x, q, d);
            out.vertex.y = stored;
        }
        const VertexIntensity& sa = *request.shade[a];
        const VertexIntensity& sb = *request.shade[b];
        out.shade.red = CutLinear(sa.red, sb.red, q, d);
        out.shade.green = CutLinear(sa.green, sb.green, q, d);
        out.shade.blue = CutLinear(sa.blue, sb.blue, q, d);
        if constexpr (kWithUv) {
            const TexCoord& ta = *request.uv[a];
            const TexCoord& tb = *request.uv[b];
            out.uv.u = CutLinear(ta.u, tb.u, q, d);
            out.uv.v = CutLinear(ta.v, tb.v, q, d);
        }
    }

    static Saved Replace(TriangleRequest& request, int k, CutPoint& cut) {
        ScreenVertex& v = *request.vertex[k];
        const Saved saved{v.x, v.y, request.shade[k], request.uv[k]};
        v.x = cut.vertex.x;
        v.y = cut.vertex.y;
        request.shade[k] = &cut.shade;
        if constexpr (kWithUv) request.uv[k] = &cut.uv;
        return saved;
    }

    static void Restore(TriangleRequest& request, int k, const Saved& saved) {
        ScreenVertex& v = *request.vertex[k];
        v.x = saved.x;
        v.y = saved.y;
        request.shade[k] = saved.shade;
        request.uv[k] = saved.uv;
    }
};

struct PerspectiveCut {
    struct Saved {
        ScreenVertex* vertex;
        VertexIntensity* shade;
        TexCoord* uv;
    };

    static void Compute(const TriangleRequest& request, int a, int b, Axis axis, double c,
                        double stored, CutPoint& out) {
        const ScreenVertex& va = *request.vertex[a];
        const ScreenVertex& vb = *request.vertex[b];
        const double d = c - Along(va, axis);
        const double q = Along(vb, axis) - Along(va, axis);
        if (axis == Axis::kX) {
            out.vertex.y = CutLinear(va.y, vb.y, q, d);
            out.vertex.x = stored;
        } else {
            out.vertex.x = CutLinear(va.x, vb.x, q, d);
            out.vertex.y = stored;
        }
        // 1/depth, u/depth and v/depth are linear on the screen.
        const double inverseA = 1.0 / va.depth;
        const double inverseB = 1.0 / vb.depth;
        const double depth = 1.0 / (inverseA + (inverseB - inverseA) / q * d);
        out.vertex.depth = depth;
        const TexCoord& ta = *request.uv[a];
        const TexCoord& tb = *request.uv[b];
        const double ua = ta.u / va.depth;
        const double wa = ta.v / va.depth;
        out.uv.u = (ua + (tb.u / vb.depth - ua) / q * d) * depth;
        out.uv.v = (wa + (tb.v / vb.depth - wa) / q * d) * depth;
        // Intensities stay linear on the screen.
        const VertexIntensity& sa = *request.shade[a];
        const VertexIntensity& sb = *request.shade[b];
        out.shade.red = CutLinear(sa.red, sb.red, q, d);
        out.shade.green = CutLinear(sa.green, sb.green, q, d);
        out.shade.blue = CutLinear(sa.blue, sb.blue, q, d);
    }

    static Saved Replace(TriangleRequest& request, int k, CutPoint& cut) {
        const Saved saved{request.vertex[k], request.shade[k], request.uv[k]};
        request.vertex[k] = &cut.vertex;
        request.shade[k] = &cut.shade;
        request.uv[k] = &cut.uv;
        return saved;
    }

    static void Restore(TriangleRequest& request, int k, const Saved& saved) {
        request.vertex[k] = saved.vertex;
        request.shade[k] = saved.shade;
        request.uv[k] = saved.uv;
    }
};

// Whether a request describes a target and corners a fill can use at all.
// Modes 4 and 5 also need texture coordinates.
inline bool CanDraw(const TriangleRequest& request, bool withUv) {
    // A negative row pad would make rows overlap or run backwards from
    // `pixels`; such a target is not drawn into.
    if (request.pixels == nullptr || request.width <= 0 || request.height <= 0 ||
        request.rowPad < 0) {
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        if (request.vertex[k] == nullptr || request.shade[k] == nullptr) return false;
        if (withUv && request.uv[k] == nullptr) return false;
    }
    return true;
}

// Cuts the request against the left, right, top and bottom edges, in that
// order, and hands every piece inside all four to `fill`. On return the
// request and the corner records hold their entry values bit for bit.
// Restores run in the reverse order of the replacements, so that holds even
// when two corners share one record.
template <typename Cut, typename Fill>
void ClipTriangle(TriangleRequest& request, const Fill& fill, int nesting = 0) {
    if (nesting > kMaxClipNesting) return;
    const double width = request.width;
    const double height = request.height;
    {
        // Most triangles lie wholly inside: all four edges would pass. (A NaN
        // fails these tests and takes the long way, where it counts as
        // inside.)
        const ScreenVertex& a = *request.vertex[0];
        const ScreenVertex& b = *request.vertex[1];
        const ScreenVertex& c = *request.vertex[2];
        if (a.x >= 0.0 && b.x >= 0.0 && c.x >= 0.0 && a.x < width && b.x < width && c.x < width && a.y >= 0.0 &&
            b.y >= 0.0 && c.y >= 0.0 && a.y < height && b.y < height && c.y < height) {
            fill(static_cast<const TriangleRequest&>(request));
            return;
        }
    }
    for (int edge = 0; edge < 4; ++edge) {
        const Axis axis = edge < 2 ? Axis::kX : Axis::kY;
        const bool low = (edge % 2) == 0;
        const double limit = axis == Axis::kX ? width : height;
        int outside = 0;
        int lastOutside = 0;
        int lastInside = 0;
        for (int k = 0; k < 3; ++k) {
            const double value = Along(*request.vertex[k], axis);
            // NaN compares false both ways and counts as inside; the fill
            // drops it.
            if (low ? value < 0.0 : value >= limit) {
                ++outside;
                lastOutside = k;
            } else {
                lastInside = k;
            }
        }
        if (outside == 0) continue;
        if (outside == 3) return;
        const double c = low ? 0.0 : limit;
        const double stored = low ? 0.0 : limit - 1.0;
        CutPoint first;
        CutPoint second;
        if (outside == 1) {
            const int o = lastOutside;
            const int p = (o + 1) % 3;
            const int q = (o + 2) % 3;
            Cut::Compute(request, o, p, axis, c, stored, first);
            Cut::Compute(request, o, q, axis, c, stored, second);
            const auto savedO = Cut::Replace(request, o, first);
            ClipTriangle<Cut>(request, fill, nesting + 1);
            const auto savedP = Cut::Replace(request, p, second);
            ClipTriangle<Cut>(request, fill, nesting + 1);
            Cut::Restore(request, p, savedP);
            Cut::Restore(request, o, savedO);
        } else {
            const int i = lastInside;
            const int p = (i + 1) % 3;
            const int q = (i + 2) % 3;
            Cut::Compute(request, i, p, axis, c, stored, first);
            Cut::Compute(request, i, q, axis, c, stored, second);
            const auto savedP = Cut::Replace(request, p, first);
            const auto savedQ = Cut::Replace(request, q, second);
            ClipTriangle<Cut>(request, fill, nesting + 1);
            Cut::Restore(request, q, savedQ);
            Cut::Restore(request, p, savedP);
        }
        return;
    }
    fill(static_cast<const TriangleRequest&>(request));
}

}  // namespace raster
