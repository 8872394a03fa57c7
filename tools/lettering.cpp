#include "lettering.h"

#include <algorithm>
#include <cmath>

namespace gen {

int GlyphAdvance(char c) {
    const int g = GlyphIndex(c);
    return kGlyphOffsets[g + 1] - kGlyphOffsets[g];
}

int TextWidth(const std::string& line) {
    int w = 0;
    for (char c : line) w += GlyphAdvance(c);
    return w;
}

bool HasGlyph(char c) { return GlyphIndex(c) != kBlankGlyph; }

namespace {

// Elliptical arc, angles in degrees; y grows downward, so -90 is the top.
Polyline Arc(double cx, double cy, double rx, double ry, double a0, double a1) {
    const int steps = std::max(6, int(std::fabs(a1 - a0) / 9.0));
    Polyline p;
    for (int i = 0; i <= steps; ++i) {
        const double t = (a0 + (a1 - a0) * i / steps) / 180.0 * kPi;
        p.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
    }
    return p;
}

Polyline Cat(Polyline a, const Polyline& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Polyline Dot(double x, double y) { return {{x, y - 0.05}, {x, y}}; }

Polyline CommaTail(double x, double y) { return {{x, y - 0.05}, {x, y}, {x - 0.5, y + 0.16}}; }

}  // namespace

std::vector<Polyline> GlyphStrokes(int glyph) {
    switch (glyph) {
        case 0:  // A
            return {{{0, 1}, {0.5, 0}, {1, 1}}, {{0.2, 0.64}, {0.8, 0.64}}};
        case 1:  // B
            return {{{0, 0}, {0, 1}},
                    Cat(Cat({{0, 0}}, Arc(0.62, 0.235, 0.33, 0.235, -90, 90)), {{0, 0.47}}),
                    Cat(Cat({{0, 0.47}}, Arc(0.64, 0.735, 0.36, 0.265, -90, 90)), {{0, 1}})};
        case 2:  // C
            return {Arc(0.5, 0.5, 0.5, 0.5, -42, -318)};
        case 3:  // D
            return {{{0, 0}, {0, 1}}, Cat(Cat({{0, 0}}, Arc(0.45, 0.5, 0.55, 0.5, -90, 90)), {{0, 1}})};
        case 4:  // E
            return {{{1, 0}, {0, 0}, {0, 1}, {1, 1}}, {{0, 0.5}, {0.75, 0.5}}};
        case 5:  // F
            return {{{1, 0}, {0, 0}, {0, 1}}, {{0, 0.5}, {0.75, 0.5}}};
        case 6:  // G
            return {Cat(Arc(0.5, 0.5, 0.5, 0.5, -42, -360), {{1, 0.5}, {0.56, 0.5}})};
        case 7:  // H
            return {{{0, 0}, {0, 1}}, {{1, 0}, {1, 1}}, {{0, 0.5}, {1, 0.5}}};
        case 8:  // I
            return {{{0.5, 0}, {0.5, 1}}};
        case 9:  // J
            return {Cat({{1, 0}, {1, 0.75}}, Arc(0.5, 0.75, 0.5, 0.25, 0, 160))};
        case 10:  // K
            return {{{0, 0}, {0, 1}}, {{1, 0}, {0.02, 0.62}}, {{0.38, 0.4}, {1, 1}}};
        case 11:  // L
            return {{{0, 0}, {0, 1}, {1, 1}}};
        case 12:  // M
            return {{{0, 1}, {0, 0}, {0.5, 0.62}, {1, 0}, {1, 1}}};
        case 13:  // N
            return {{{0, 1}, {0, 0}, {1, 1}, {1, 0}}};
        case 14:  // O
            return {Arc(0.5, 0.5, 0.5, 0.5, 0, 360)};
        case 15:  // P
            return {{{0, 1}, {0, 0}}, Cat(Cat({{0, 0}}, Arc(0.6, 0.26, 0.4, 0.26, -90, 90)), {{0, 0.52}})};
        case 16:  // Q
            return {Arc(0.5, 0.5, 0.5, 0.5, 0, 360), {{0.58, 0.68}, {1, 1.02}}};
        case 17:  // R
            return {{{0, 1}, {0, 0}},
                    Cat(Cat({{0, 0}}, Arc(0.6, 0.26, 0.4, 0.26, -90, 90)), {{0, 0.52}}),
                    {{0.45, 0.52}, {1, 1}}};
        case 18:  // S
            return {Cat(Arc(0.5, 0.25, 0.48, 0.25, -25, -270), Arc(0.5, 0.75, 0.5, 0.25, -90, 155))};
        case 19:  // T
            return {{{0, 0}, {1, 0}}, {{0.5, 0}, {0.5, 1}}};
        case 20:  // U
            return {Cat(Cat({{0, 0}}, Arc(0.5, 0.62, 0.5, 0.38, 180, 0)), {{1, 0}})};
        case 21:  // V
            return {{{0, 0}, {0.5, 1}, {1, 0}}};
        case 22:  // W
            return {{{0, 0}, {0.22, 1}, {0.5, 0.32}, {0.78, 1}, {1, 0}}};
        case 23:  // X
            return {{{0, 0}, {1, 1}}, {{1, 0}, {0, 1}}};
        case 24:  // Y
            return {{{0, 0}, {0.5, 0.5}, {1, 0}}, {{0.5, 0.5}, {0.5, 1}}};
        case 25:  // Z
            return {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
        case 26:  // .
            return {Dot(0.5, 1)};
        case 27:  // ,
            return {CommaTail(0.5, 0.95)};
        case 28:  // :
            return {Dot(0.5, 0.42), Dot(0.5, 1)};
        case 29:  // ;
            return {Dot(0.5, 0.42), CommaTail(0.5, 0.95)};
        case 30:  // -
            return {{{0, 0.55}, {1, 0.55}}};
        case 31:  // +
            return {{{0, 0.55}, {1, 0.55}}, {{0.5, 0.22}, {0.5, 0.88}}};
        case 32:  // 1
            return {{{0, 0.22}, {1, 0}, {1, 1}}};
        case 33:  // 2
            return {Cat(Arc(0.5, 0.27, 0.5, 0.27, -165, 25), {{0, 1}, {1, 1}})};
        case 34:  // 3
            return {Arc(0.5, 0.25, 0.46, 0.25, -155, 90),
                    Arc(0.5, 0.74, 0.5, 0.26, -90, 155),
                    {{0.3, 0.5}, {0.5, 0.5}}};
        case 35:  // 4
            return {{{0.72, 1}, {0.72, 0}, {0, 0.7}, {1, 0.7}}};
        case 36:  // 5
            return {
                Cat({{0.95, 0}, {0.08, 0}, {0.02, 0.45}, {0.45, 0.4}}, Arc(0.45, 0.7, 0.55, 0.3, -90, 150))};
        case 37:  // 6
            return {Arc(0.5, 0.5, 0.5, 0.5, -50, -195), Arc(0.5, 0.7, 0.5, 0.3, 0, 360)};
        case 38:  // 7
            return {{{0, 0}, {1, 0}, {0.35, 1}}};
        case 39:  // 8
            return {Arc(0.5, 0.245, 0.42, 0.245, 0, 360), Arc(0.5, 0.735, 0.5, 0.265, 0, 360)};
        case 40:  // 9
            return {Arc(0.5, 0.3, 0.5, 0.3, 0, 360), Arc(0.5, 0.5, 0.5, 0.5, -15, 130)};
        case 42:  // ?
            return {Cat(Arc(0.5, 0.27, 0.5, 0.27, -165, 40), {{0.5, 0.62}, {0.5, 0.72}}), Dot(0.5, 1)};
        default: return {};
    }
}

namespace {

// Share of the pen radius left free at a glyph's left edge; narrow glyphs
// with a foot or flag on the left use less so the shape stays readable.
double LeftPadFactor(int glyph) {
    if (glyph == 9) return 0.5;                  // J
    if (glyph == 32) return 0.6;                 // 1
    if (glyph == 27 || glyph == 29) return 0.3;  // , ;
    return 1.0;
}

// The J is drawn with a finer pen so its hook shows in six columns.
double PenScale(int glyph) { return glyph == 9 ? 0.72 : 1.0; }

struct Segment {
    double ax, ay, bx, by;
};

struct Nearest {
    double distance = 1e30;
    double nx = 0, ny = 0;
};

Nearest NearestStroke(const std::vector<Segment>& segments, double px, double py) {
    Nearest best;
    double bestSq = 1e60, qx = px, qy = py;
    for (const Segment& s : segments) {
        const double dx = s.bx - s.ax, dy = s.by - s.ay;
        const double len = dx * dx + dy * dy;
        double t = len > 0 ? ((px - s.ax) * dx + (py - s.ay) * dy) / len : 0;
        t = Clamp(t, 0, 1);
        const double cx = s.ax + t * dx, cy = s.ay + t * dy;
        const double d2 = (px - cx) * (px - cx) + (py - cy) * (py - cy);
        if (d2 < bestSq) {
            bestSq = d2;
            qx = cx;
            qy = cy;
        }
    }
    best.distance = std::sqrt(bestSq);
    if (best.distance > 1e-9) {
        best.nx = (px - qx) / best.distance;
        best.ny = (py - qy) / best.distance;
    }
    return best;
}

// Centre-line segments of one glyph placed in its cell, in pixels.
std::vector<Segment> PlaceGlyph(int glyph, double cellX, double top, double advance,
                                const LetterStyle& style) {
    const std::vector<Polyline> lines = GlyphStrokes(glyph);
    double xmin = 1e30, xmax = -1e30;
    for (const Polyline& l : lines)
        for (const Pt& p : l) {
            xmin = std::min(xmin, p.x);
            xmax = std::max(xmax, p.x);
        }
    const double pen = (style.radius + style.outline) * PenScale(glyph);
    const double gap = style.advanceScale;  // one font pixel of spacing on the right
    const double left = cellX + pen * LeftPadFactor(glyph);
    const double right = cellX + advance - gap - pen;
    std::vector<Segment> segments;
    auto mapX = [&](double x) {
        if (xmax - xmin < 1e-9 || right <= left) return cellX + (advance - gap) / 2;
        return left + (x - xmin) / (xmax - xmin) * (right - left);
    };
    for (const Polyline& l : lines) {
        for (size_t i = 0; i + 1 < l.size(); ++i) {
            segments.push_back({mapX(l[i].x), top + l[i].y * style.capHeight, mapX(l[i + 1].x),
                                top + l[i + 1].y * style.capHeight});
        }
    }
    return segments;
}

}  // namespace

StrokeFill TubeFill(Rgb top, Rgb bottom, double specular) {
    return [top, bottom, specular](const StrokeSample& s) {
        const double t = Clamp(s.distance / s.radius, 0, 1);
        const double h = std::sqrt(std::max(0.0, 1 - t * t));
        const double nx = s.nx * t, ny = s.ny * t, nz = h;
        const double lx = -0.45, ly = -0.6, lz = 0.66;
        const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
        const double highlight = std::pow(diffuse, 14) * specular;
        const Rgb base = Mix(top, bottom, Clamp(s.fy, 0, 1));
        return base * (0.35 + 0.8 * diffuse) + Rgb{255, 255, 255} * highlight;
    };
}

namespace {

double StyledAdvance(char c, const LetterStyle& style) {
    const int g = GlyphIndex(c);
    double advance = GlyphAdvance(c);
    if (g == kBlankGlyph) advance = style.spaceAdvance;
    if (g == 9) advance = style.jAdvance;
    return advance * style.advanceScale;
}

}  // namespace

double LetteringWidth(const std::string& text, const LetterStyle& style) {
    double w = 0;
    for (char c : text) w += StyledAdvance(c, style);
    return w;
}

void DrawLettering(Canvas& canvas, const std::string& text, double x, double y, const LetterStyle& style) {
    const double pen = style.radius + style.outline;
    const double top = y + pen;
    const double total = std::max(1.0, LetteringWidth(text, style));
    const int n = std::max(1, style.supersample);
    struct Placed {
        std::vector<Segment> segments;
        double x0, x1;
        double radius, pen;  // this glyph's pen
    };
    std::vector<Placed> glyphs;
    double cellX = x;
    for (char c : text) {
        const int g = GlyphIndex(c);
        const double advance = StyledAdvance(c, style);
        if (g != kBlankGlyph)
            glyphs.push_back({PlaceGlyph(g, cellX, top, advance, style), cellX, cellX + advance,
                              style.radius * PenScale(g), pen * PenScale(g)});
        cellX += advance;
    }
    const double y0 = y - 1, y1 = y + style.capHeight + 2 * pen + 1;

    // Halo or shadow first, so every letter sits on top of all of it.
    if (style.haloAlpha > 0) {
        const double reach = pen + style.haloSize;
        for (const Placed& g : glyphs) {
            const int ix0 = int(std::floor(g.x0 - reach + std::min(0.0, style.haloDx)));
            const int ix1 = int(std::ceil(g.x1 + reach + std::max(0.0, style.haloDx)));
            const int iy0 = int(std::floor(y0 - reach + std::min(0.0, style.haloDy)));
            const int iy1 = int(std::ceil(y1 + reach + std::max(0.0, style.haloDy)));
            for (int py = iy0; py <= iy1; ++py)
                for (int px = ix0; px <= ix1; ++px) {
                    if (!canvas.inside(px, py)) continue;
                    const double d =
                        NearestStroke(g.segments, px + 0.5 - style.haloDx, py + 0.5 - style.haloDy).distance;
                    const double a = style.haloAlpha * (1 - SmoothStep(pen * 0.6, reach, d));
                    canvas.blend(px, py, style.haloColour, a);
                }
        }
    }

    for (const Placed& g : glyphs) {
        const int ix0 = int(std::floor(g.x0 - pen)), ix1 = int(std::ceil(g.x1 + pen));
        for (int py = int(std::floor(y0)); py <= int(std::ceil(y1)); ++py)
            for (int px = ix0; px <= ix1; ++px) {
                if (!canvas.inside(px, py)) continue;
                Rgb sum{};
                int covered = 0;
                for (int sy = 0; sy < n; ++sy)
                    for (int sx = 0; sx < n; ++sx) {
                        const double qx = px + (sx + 0.5) / n, qy = py + (sy + 0.5) / n;
                        // Ink stays inside the glyph's own cell: the font is
                        // cut apart at the cell edges again when printed.
                        if (qx < g.x0 || qx >= g.x1) continue;
                        const Nearest near = NearestStroke(g.segments, qx, qy);
                        if (near.distance > g.pen) continue;
                        ++covered;
                        if (near.distance <= g.radius) {
                            StrokeSample s{
                                near.distance,   g.radius, near.nx, near.ny, (qy - top) / style.capHeight,
                                (qx - x) / total};
                            sum = sum + style.fill(s);
                        } else {
                            sum = sum + style.outlineColour;
                        }
                    }
                if (covered == 0) continue;
                const double coverage = double(covered) / (n * n);
                canvas.blend(px, py, sum * (1.0 / covered), coverage);
            }
    }
}

void DrawLetteringCentred(Canvas& canvas, const std::string& text, double cx, double y,
                          const LetterStyle& style) {
    DrawLettering(canvas, text, cx - LetteringWidth(text, style) / 2, y, style);
}

}  // namespace gen
