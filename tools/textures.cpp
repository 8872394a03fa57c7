// Textures of the 3D objects: the flag of the waving panel, the metal plate
// of the spinning box and the planet map wrapped around the globe.
#include <algorithm>
#include <cmath>

#include "generator.h"
#include "paint.h"

namespace gen {

namespace {

// Signed distance to the line through (ax, ay) and (bx, by); positive on the
// right-hand side when walking from a to b with y downward.
double SideOfLine(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    return ((x - ax) * dy - (y - ay) * dx) / std::hypot(dx, dy);
}

Rgb FlagAt(double x, double y) {
    constexpr double h = 256, apex = 212, mid = h / 2;
    const Rgb teal{0, 118, 138}, gold{250, 194, 42}, crimson{168, 22, 56}, white{246, 244, 236};
    const Rgb navy{18, 28, 80};
    Rgb c = y < h / 3 ? teal : (y < 2 * h / 3 ? gold : crimson);
    if (std::fabs(y - h / 3) < 3.2 || std::fabs(y - 2 * h / 3) < 3.2) c = white;
    // The chevron at the hoist, edged in white.
    const double fy = y < mid ? y : h - y;
    const double edge = SideOfLine(x, fy, 0, 0, apex, mid);
    if (edge < 9) c = white;
    if (edge < 0) c = navy;
    // Emblem: a ring of six discs around a gold centre.
    constexpr double ex = 70, ey = mid;
    const double r = std::hypot(x - ex, y - ey);
    if (std::fabs(r - 48) < 1.6) c = gold;
    for (int k = 0; k < 6; ++k) {
        const double a = (k * 60 - 90) / 180.0 * kPi;
        if (std::hypot(x - ex - 31 * std::cos(a), y - ey - 31 * std::sin(a)) < 10.5) c = white;
    }
    if (r < 13) c = gold;
    if (r < 6.5) c = crimson;
    // A faint weave.
    return c * (1 + 0.035 * std::sin(x * 1.9) * std::sin(y * 1.9));
}

}  // namespace

Bytes MakeFlag() {
    Canvas c(512, 256);
    PaintSupersampled(c, 2, FlagAt);
    // Some unevenness in the dye, smooth enough to need no supersampling.
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.at(x, y) = c.at(x, y) * (0.93 + 0.07 * Fbm2(x / 40.0, y / 40.0, 4, 77));
    return CanvasToRaw(c);
}

Bytes MakeMetalPlate() {
    constexpr int n = 256;
    // The box's mapping shows texels 11.1 to 243.9 of each side, so the
    // frame sits just inside that window.
    constexpr double lo = 11.5, hi = 243.5;
    std::vector<double> height(n * n), albedo(n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double e = std::min(std::min(px - lo, hi - px), std::min(py - lo, hi - py));
            double h = 0;
            if (e >= 0) {
                h = 3 * SmoothStep(0, 4, e) * (1 - SmoothStep(14, 18, e));
                // Rivets along the middle of the frame.
                for (int k = 0; k < 5; ++k) {
                    const double t = lo + 8.5 + k * (hi - lo - 17) / 4;
                    const double pts[4][2] = {{t, lo + 8.5}, {t, hi - 8.5}, {lo + 8.5, t}, {hi - 8.5, t}};
                    for (const auto& p : pts) {
                        const double r = std::hypot(px - p[0], py - p[1]) / 4.2;
                        if (r < 1) h = std::max(h, 3 + 2.2 * std::sqrt(1 - r * r));
                    }
                }
                const double hex = SdHexagon(px, py, 128, 128, 50);
                if (e > 18 && hex > 3) {
                    // Diamond tread: short ridges turned alternately by 45 degrees.
                    constexpr double cell = 17;
                    const double gx = std::floor((px - 128) / cell), gy = std::floor((py - 128) / cell);
                    const double cx = 128 + (gx + 0.5) * cell, cy = 128 + (gy + 0.5) * cell;
                    const double s = (int(gx + gy) & 1) ? 0.7071 : -0.7071;
                    const double u = ((px - cx) * 0.7071 + (py - cy) * s) / 5.8;
                    const double v = (-(px - cx) * s + (py - cy) * 0.7071) / 1.9;
                    const double q = u * u + v * v;
                    if (q < 1) h += 1.4 * std::sqrt(1 - q);
                }
                // Engraved hexagon with a raised boss inside.
                if (std::fabs(hex) < 2.6) h -= 1.4 * (1 - std::fabs(hex) / 2.6);
                if (hex < -2.6) h += 1.2 * SmoothStep(-2.6, -6, hex);
                if (hex < -2.6 && std::fabs(SdHexagon(px, py, 128, 128, 26)) < 2.2) h -= 1.0;
            }
            height[y * n + x] = h;
            const double brush = Fbm2(px / 70, py / 1.4, 3, 501);
            const double blotch = Fbm2(px / 45, py / 45, 4, 502);
            double a = 0.58 + 0.16 * brush + 0.06 * blotch;
            if (e < 0) a *= 0.55;
            albedo[y * n + x] = a;
        }
    Canvas c(n, n);
    const double lx = -0.5, ly = -0.6, lz = 0.62;
    const double hl = std::sqrt(lx * lx + ly * ly + (lz + 1) * (lz + 1));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            auto H = [&](int xx, int yy) {
                return height[std::clamp(yy, 0, n - 1) * n + std::clamp(xx, 0, n - 1)];
            };
            double nx = -(H(x + 1, y) - H(x - 1, y)) * 0.9, ny = -(H(x, y + 1) - H(x, y - 1)) * 0.9, nz = 1;
            const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
            nx /= len;
            ny /= len;
            nz /= len;
            const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
            const double highlight = std::pow(std::max(0.0, (nx * lx + ny * ly + nz * (lz + 1)) / hl), 40);
            const double a = albedo[y * n + x];
            const double dirt = SmoothStep(0.55, 0.78, Fbm2(x / 38.0, y / 38.0, 4, 503));
            Rgb col = Rgb{236, 242, 255} * (a * (0.3 + 0.8 * diffuse)) + Rgb{255, 250, 240} * (0.55 * highlight);
            col = Mix(col, col * Rgb{0.75, 0.6, 0.45}, 0.45 * dirt);
            c.at(x, y) = col;
        }
    return CanvasToRaw(c);
}

Bytes MakeWorldMap() {
    constexpr int w = 640, h = 320;
    std::vector<double> elevation(w * h), moisture(w * h), latitude(w * h), icy(w * h);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            const double phi = kPi / 2 - (v + 0.5) / h * kPi;
            const double lambda = (u + 0.5) / w * 2 * kPi;
            // Sample the noise on the sphere itself: no seam and no pinching at the poles.
            const double x = std::cos(phi) * std::cos(lambda), y = std::sin(phi),
                         z = std::cos(phi) * std::sin(lambda);
            const double warp = Fbm3(x * 2.3 + 5, y * 2.3, z * 2.3, 3, 2.0, 0.5, 601);
            const double e = Fbm3(x * 1.7 + warp * 0.9, y * 1.7 + warp * 0.6, z * 1.7, 7, 2.05, 0.52, 602);
            const size_t i = size_t(v) * w + u;
            elevation[i] = e;
            moisture[i] = Fbm3(x * 2.4 + 11, y * 2.4, z * 2.4, 5, 2.0, 0.5, 603);
            latitude[i] = std::fabs(phi) / kPi * 180;
            icy[i] = Fbm3(x * 4, y * 4, z * 4, 3, 2.0, 0.5, 604);
        }
    // Sea level where about 63 percent of the map is water.
    std::vector<double> sorted = elevation;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() * 63 / 100, sorted.end());
    const double sea = sorted[sorted.size() * 63 / 100];

    Canvas c(w, h);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            const size_t i = size_t(v) * w + u;
            const double e = elevation[i], lat = latitude[i], m = moisture[i];
            auto E = [&](int uu, int vv) {
                return elevation[size_t(std::clamp(vv, 0, h - 1)) * w + (uu + w) % w];
            };
            Rgb col;
            if (e < sea) {
                const double depth = sea - e;
                col = Mix(Rgb{44, 132, 178}, Rgb{16, 60, 132}, SmoothStep(0.0, 0.05, depth));
                col = Mix(col, Rgb{6, 22, 78}, SmoothStep(0.05, 0.16, depth));
                if (depth < 0.008) col = Mix(Rgb{80, 180, 190}, col, depth / 0.008);
            } else {
                const double height = e - sea;
                const double desert =
                    (1 - SmoothStep(0.38, 0.52, m)) * std::exp(-std::pow((lat - 24) / 13, 2));
                const double forest = SmoothStep(0.5, 0.62, m);
                col = Mix(Rgb{96, 146, 62}, Rgb{30, 96, 42}, forest);
                if (lat < 15) col = Mix(col, Rgb{20, 104, 36}, forest);
                col = Mix(col, Rgb{214, 184, 118}, SmoothStep(0.2, 0.6, desert));
                col = Mix(col, Rgb{136, 132, 100}, SmoothStep(50, 64, lat));
                col = Mix(col, Rgb{122, 100, 78}, SmoothStep(0.09, 0.15, height));
                col = Mix(col, Rgb{238, 240, 246}, SmoothStep(0.17, 0.21, height + (lat > 55 ? 0.08 : 0)));
                // Hill shading, lit from the north-west.
                const double slope = (E(u - 1, v - 1) - E(u + 1, v + 1)) * 14;
                col = col * Clamp(1 + slope, 0.6, 1.4);
            }
            // Ice caps over land and sea alike.
            const double ice = SmoothStep(0, 3, lat - 70 - 10 * (icy[i] - 0.5));
            col = Mix(col, Rgb{232, 240, 250} * (0.92 + 0.08 * icy[i]), ice);
            c.at(u, v) = col;
        }
    return CanvasToRaw(c);
}

}  // namespace gen
