#pragma once
// Painting helpers for the pictures: supersampled fills of whole canvases
// and antialiased shapes given by signed distance functions (negative inside,
// in pixels).
#include <algorithm>
#include <cmath>

#include "gen_util.h"

namespace gen {

// Sets every pixel to the mean of colourAt over an n x n grid of samples.
template <class F>
void PaintSupersampled(Canvas& canvas, int n, F colourAt) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            Rgb sum{};
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) sum = sum + colourAt(x + (sx + 0.5) / n, y + (sy + 0.5) / n);
            canvas.at(x, y) = sum * (1.0 / (n * n));
        }
}

// Blends colourAt over the pixels where sdf < 0, with a one-pixel soft edge,
// inside the box [x0, x1] x [y0, y1] (clipped to the canvas).
template <class Sdf, class Col>
void FillShape(Canvas& canvas, double x0, double y0, double x1, double y1, Sdf sdf, Col colourAt,
               double opacity = 1.0) {
    const int ix0 = std::max(0, int(std::floor(x0))), iy0 = std::max(0, int(std::floor(y0)));
    const int ix1 = std::min(canvas.width - 1, int(std::ceil(x1)));
    const int iy1 = std::min(canvas.height - 1, int(std::ceil(y1)));
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double a = Clamp(0.5 - sdf(px, py), 0, 1);
            if (a > 0) canvas.blend(x, y, colourAt(px, py), a * opacity);
        }
}

inline double SdCircle(double x, double y, double cx, double cy, double r) {
    return std::hypot(x - cx, y - cy) - r;
}

inline double SdBox(double x, double y, double cx, double cy, double hw, double hh) {
    const double dx = std::fabs(x - cx) - hw, dy = std::fabs(y - cy) - hh;
    const double ox = std::max(dx, 0.0), oy = std::max(dy, 0.0);
    return std::hypot(ox, oy) + std::min(std::max(dx, dy), 0.0);
}

// Regular hexagon of circumradius r; pointyTop puts a vertex at the top.
inline double SdHexagon(double x, double y, double cx, double cy, double r, bool pointyTop = true) {
    const double kx = -0.8660254037844386, ky = 0.5, kz = 0.5773502691896258;
    double px = std::fabs(x - cx), py = std::fabs(y - cy);
    if (pointyTop) std::swap(px, py);
    const double apothem = r * 0.8660254037844386;
    const double d = 2 * std::min(kx * px + ky * py, 0.0);
    px -= d * kx;
    py -= d * ky;
    px -= Clamp(px, -kz * apothem, kz * apothem);
    py -= apothem;
    return std::hypot(px, py) * (py < 0 ? -1 : 1);
}

inline double SdSegment(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double len = dx * dx + dy * dy;
    const double t = len > 0 ? Clamp(((x - ax) * dx + (y - ay) * dy) / len, 0, 1) : 0;
    return std::hypot(x - ax - t * dx, y - ay - t * dy);
}

// Scatters count small stars (with a soft glow on the brighter ones) over
// the rows y0..y1, fading toward y1.
void DrawStars(Canvas& canvas, Random& random, int count, double y0, double y1, Rgb tint);

}  // namespace gen
