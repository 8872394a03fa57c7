#pragma once
// The scan converter shared by the three fills: corners sorted by row, the
// per-row steps of the three edges, the span direction, and the rows stepped
// from the top corner to the bottom one with the short-edge side restarting
// at the middle corner. Each row's span goes to the fill's span writer. One
// function, so that the set-up stays in registers: a set-up record handed
// from a set-up function to a row stepper cost small triangles a few per
// cent.
//
// What an edge position is and what travels down the left side is the
// `Edges` policy's:
//   AffineEdges<N>    modes 1 and 4: 16.16 positions in 64 bits, truncated
//                     per row; the channels, and u and v, in 16.16
//   PerspectiveEdges  mode 5: positions in doubles, rounded per row; 1/z,
//                     u/z and v/z in doubles next to the channels
// A policy provides the types
//   Corner    a rounded corner with int32_t x and y, and its values
//   Position  an edge's x position
//   EdgeStep  an edge's per-row steps, x step in `x`, before they are
//             narrowed into a Carried
//   Carried   the values carried down the left side; `+=` steps them
//   PerPixel  what the span writer steps along a row
// and the functions
//   EdgeStep Edge(a, b, rows)         the steps from corner a to b over
//                                     `rows` rows (undivided when 0)
//   PerPixel Slopes(e01, e02, w)      per-pixel steps, w = e02.x - e01.x
//   PerPixel FlatSlopes(e01, w)       flat top: w = x0 - x1 in pixels and
//                                     e01 undivided
//   Position At(x)                    a corner's column as an edge position
//   Carried Start(corner)             the values a side starts from
//   Carried Step(edge)                the per-row steps of a side
// and the type Sides, the left and right edge positions of a row stepped
// together: built from (left, right), with SetLeft, SetRight, `+=` and
// Columns(first, end), the row's first and end columns.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "raster/triangle.h"

namespace raster {

// Sorts the corners by row, sets up the edges and the span direction, and
// visits rows y0..y2, handing each row's span to `span`. Nothing is drawn
// when all corners lie on one row or w = 0. A corner within half a pixel of
// the bottom edge rounds to row `height`; that row does not exist and is not
// visited. Columns are kept to 0..width-1 in the same way.
template <typename Edges, typename Span>
void ScanTriangle(const Edges& edges, const typename Edges::Corner (&corner)[3], const TriangleRequest& request,
                  const Span& span) {
    using Position = typename Edges::Position;
    // Sorted through their indices, so the corners stay where they are.
    // Strict comparisons: corners on one row keep their order.
    int top = 0, middle = 1, bottom = 2;
    if (corner[middle].y < corner[top].y) std::swap(top, middle);
    if (corner[bottom].y < corner[middle].y) std::swap(middle, bottom);
    if (corner[middle].y < corner[top].y) std::swap(top, middle);
    const typename Edges::Corner& c0 = corner[top];
    const typename Edges::Corner& c1 = corner[middle];
    const typename Edges::Corner& c2 = corner[bottom];

    const int32_t dy01 = c1.y - c0.y;
    const int32_t dy12 = c2.y - c1.y;
    const int32_t dy02 = c2.y - c0.y;
    if (dy02 == 0) return;

    const auto e01 = edges.Edge(c0, c1, dy01);
    const auto e12 = edges.Edge(c1, c2, dy12);
    const auto e02 = edges.Edge(c0, c2, dy02);

    Position w;
    typename Edges::PerPixel perPixel;
    if (dy01 != 0) {
        w = e02.x - e01.x;
        if (w == 0) return;
        perPixel = edges.Slopes(e01, e02, w);
    } else {
        // Flat top: the span at the top row runs from corner 1 to corner 0,
        // and e01 holds the undivided differences.
        w = static_cast<Position>(c0.x - c1.x);  // both in 0..width: no overflow
        if (w == 0) return;
        perPixel = edges.FlatSlopes(e01, w);
    }
    // w > 0: the short edges are on the left.
    const bool middleLeft = w > 0;

    // The left side carries the values: along 0-1 then 1-2 when the middle
    // corner is on the left, along 0-2 otherwise.
    typename Edges::Carried carried = edges.Start(c0);
    typename Edges::Carried carriedStep = edges.Step(middleLeft ? e01 : e02);
    using Sides = typename Edges::Sides;
    Sides x(edges.At(c0.x), edges.At(c0.x));
    Sides xStep(middleLeft ? e01.x : e02.x, middleLeft ? e02.x : e01.x);

    const int64_t stride = static_cast<int64_t>(request.width) + request.rowPad;
    const int32_t last = std::min(c2.y, request.height - 1);
    int64_t offset = static_cast<int64_t>(c0.y) * stride;
    for (int32_t y = c0.y; y <= last; ++y) {
        if (y == c1.y) {
            // The middle row: the side on the short edges restarts there.
            if (middleLeft) {
                x.SetLeft(edges.At(c1.x));
                xStep.SetLeft(e12.x);
                carried = edges.Start(c1);
                carriedStep = edges.Step(e12);
            } else {
                x.SetRight(edges.At(c1.x));
                xStep.SetRight(e12.x);
            }
        }
        int64_t first, end;
        x.Columns(first, end);
        first = std::max<int64_t>(first, 0);
        end = std::min<int64_t>(end, request.width);
        if (first < end) {
            span(request.pixels + offset + first, static_cast<int32_t>(end - first), carried, perPixel);
        }
        x += xStep;
        carried += carriedStep;
        offset += stride;
    }
}

}  // namespace raster
