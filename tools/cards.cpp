// The full-screen cards (title, credits, closing logo) and the caption bands
// blended over the 3D scenes. The bands are drawn on pure black, which the
// blend treats as transparent.
#include <algorithm>
#include <cmath>
#include <vector>

#include "generator.h"
#include "lettering.h"
#include "paint.h"

namespace gen {

namespace {

LetterStyle Style(double capHeight, double advanceScale, double radius, double outline, StrokeFill fill,
                  Rgb outlineColour = {20, 8, 36}) {
    LetterStyle s;
    s.capHeight = capHeight;
    s.advanceScale = advanceScale;
    s.radius = radius;
    s.outline = outline;
    s.fill = std::move(fill);
    s.outlineColour = outlineColour;
    s.supersample = 4;
    s.spaceAdvance = 9;
    s.jAdvance = 11;
    return s;
}

void Halo(LetterStyle& s, Rgb colour, double size, double alpha, double dx = 0, double dy = 0) {
    s.haloColour = colour;
    s.haloSize = size;
    s.haloAlpha = alpha;
    s.haloDx = dx;
    s.haloDy = dy;
}

// Small caption lettering, sized to fit the width.
void Caption(Canvas& c, const std::string& text, double y, double capHeight, double maxWidth, Rgb top,
             Rgb bottom, Rgb shadow) {
    LetterStyle s = Style(capHeight, 1, capHeight * 0.09 + 0.35, 0.9, TubeFill(top, bottom, 0.5));
    s.advanceScale = std::min(capHeight / 19 * 1.05, maxWidth / LetteringWidth(text, s));
    Halo(s, shadow, 2.5, 0.75, 1, 1);
    DrawLetteringCentred(c, text, c.width / 2.0, y, s);
}

// Mirror-chrome letters: a sky reflection above the middle, a warm ground
// reflection below it.
StrokeFill ChromeFill() {
    return [](const StrokeSample& s) {
        const double t = Clamp(s.distance / s.radius, 0, 1);
        const double h = std::sqrt(std::max(0.0, 1 - t * t));
        const double diffuse = std::max(0.0, s.nx * t * -0.45 + s.ny * t * -0.6 + h * 0.66);
        const double fy = s.fy + 0.08 * s.ny * t;
        Rgb c;
        if (fy < 0.52) c = Mix(Rgb{60, 110, 225}, Rgb{236, 246, 255}, SmoothStep(0, 0.52, fy));
        else if (fy < 0.75) c = Mix(Rgb{50, 12, 70}, Rgb{255, 128, 70}, SmoothStep(0.52, 0.75, fy));
        else c = Mix(Rgb{255, 128, 70}, Rgb{255, 236, 170}, SmoothStep(0.75, 1.0, fy));
        return c * (0.55 + 0.6 * diffuse) + Rgb{255, 255, 255} * (std::pow(diffuse, 16) * 0.8);
    };
}

Rgb Gradient(const Rgb* colours, const double* stops, int n, double t) {
    if (t <= stops[0]) return colours[0];
    for (int i = 1; i < n; ++i)
        if (t <= stops[i])
            return Mix(colours[i - 1], colours[i], (t - stops[i - 1]) / (stops[i] - stops[i - 1]));
    return colours[n - 1];
}

constexpr double kHorizon = 150, kSunX = 160, kRidgeSteps = 3;  // ridge heights per pixel

// Tops of the two mountain ridges, sampled every third of a pixel across the
// card; they dip in the middle to leave the sun in view.
struct Ridges {
    std::vector<double> far, near;
    Ridges() {
        for (int i = 0; i < 320 * kRidgeSteps; ++i) {
            const double x = (i + 0.5) / kRidgeSteps;
            const double dip = 0.3 + 0.7 * SmoothStep(40, 150, std::fabs(x - kSunX));
            far.push_back(kHorizon - 8 - 46 * std::pow(Fbm2(x / 60, 3.1, 5, 11), 1.6) * 1.7 * dip);
            near.push_back(kHorizon - 2 - 28 * std::pow(Fbm2(x / 38, 8.7, 5, 23), 1.8) * 1.8 * dip);
        }
    }
    size_t Index(double x) const { return size_t(Clamp(x * kRidgeSteps, 0, double(far.size() - 1))); }
};

// A retro sunset: striped sun, two mountain ridges and a glowing grid floor.
Rgb SunsetAt(const Ridges& ridges, double x, double y) {
    constexpr double horizon = kHorizon, sunX = kSunX, sunY = 128, sunR = 64;
    if (y < horizon) {
        static const Rgb sky[] = {{6, 5, 30}, {46, 16, 88}, {190, 56, 128}, {255, 150, 96}};
        static const double stops[] = {0, 0.45, 0.82, 1};
        Rgb c = Gradient(sky, stops, 4, y / horizon);
        const double d = std::hypot(x - sunX, y - sunY) - sunR;
        c = c + Rgb{255, 110, 150} * (0.45 * std::exp(-std::max(0.0, d) / 22));
        if (d < 0) {
            const double t = (y - (sunY - sunR)) / (2 * sunR);
            Rgb sun = Mix(Rgb{255, 240, 120}, Rgb{255, 110, 96}, SmoothStep(0.1, 0.6, t));
            sun = Mix(sun, Rgb{245, 48, 140}, SmoothStep(0.55, 0.95, t));
            // Slats cut through the lower half, widening toward the horizon.
            const double s = y - (sunY - 8);
            const bool cut = s > 0 && std::fmod(s, 9.0) < 1.0 + s / 14.0;
            if (!cut) c = sun;
        }
        const double far = ridges.far[ridges.Index(x)];
        if (y > far) {
            c = Mix(Rgb{84, 30, 110}, Rgb{40, 10, 70}, SmoothStep(far, horizon, y));
            if (y - far < 1.6) c = Mix(c, Rgb{255, 150, 190}, 0.6);
        }
        const double near = ridges.near[ridges.Index(x)];
        if (y > near) {
            c = Mix(Rgb{34, 8, 56}, Rgb{18, 4, 36}, SmoothStep(near, horizon, y));
            if (y - near < 1.2) c = Mix(c, Rgb{255, 110, 170}, 0.45);
        }
        return c;
    }
    const double dy = y - horizon;
    Rgb c = Mix(Rgb{44, 8, 66}, Rgb{14, 3, 28}, SmoothStep(0, 90, dy));
    // The sun's reflection on the floor.
    c = c + Rgb{255, 90, 150} * (0.5 * std::exp(-std::pow((x - sunX) / 46, 2)) * (1 - dy / 110));
    const double z = 300 / dy;
    const double dzdy = 300 / (dy * dy);
    const double lineZ = std::fabs(std::fmod(z, 1.0) - 0.5) / dzdy;  // pixels to the nearest row line
    const double worldX = (x - sunX) * 3 / dy;
    const double lineX = std::fabs(std::fmod(worldX + 100.5, 1.0) - 0.5) * dy / 3;
    const double d = std::min(0.5 / dzdy - lineZ, lineX);
    const double fog = SmoothStep(2, 45, dy);
    const double line = Clamp(1.2 - d, 0, 1) + 0.35 * std::exp(-d / 2.5);
    return c + Rgb{255, 70, 210} * (line * fog * 0.9);
}

}  // namespace

Bytes MakeTitleCard() {
    Canvas c(320, 240);
    const Ridges ridges;
    PaintSupersampled(c, 3, [&](double x, double y) { return SunsetAt(ridges, x, y); });
    Random random(0x5157u);
    DrawStars(c, random, 140, 0, 110, {200, 210, 255});

    LetterStyle title = Style(40, 2.55, 4.0, 1.8, ChromeFill(), {18, 6, 40});
    Halo(title, {255, 60, 200}, 7, 0.75);
    DrawLetteringCentred(c, "SIXSCENE", 160, 14, title);
    Caption(c, "A SHOW IN SIX SCENES", 78, 10, 230, {255, 255, 255}, {190, 230, 255}, {20, 0, 40});
    Caption(c, "EVERY PIXEL COMPUTED IN SOFTWARE", 212, 10, 290, {255, 250, 220}, {255, 190, 120},
            {10, 0, 20});
    return CanvasToRaw(c);
}

namespace {

constexpr double kPlanetX = 282, kPlanetY = 268, kPlanetR = 118;

Rgb NebulaAt(double x, double y) {
    const double n1 = Fbm2(x / 95, y / 95, 6, 301);
    const double n2 = Fbm2(x / 55 + 7, y / 55 + 2, 5, 302);
    const double n3 = Fbm2(x / 30, y / 30, 4, 303);
    Rgb c{4, 6, 22};
    c = c + Rgb{120, 34, 160} * std::pow(SmoothStep(0.33, 0.78, n1), 1.5);
    c = c + Rgb{20, 150, 175} * (0.85 * std::pow(SmoothStep(0.45, 0.82, n2), 2));
    c = c + Rgb{255, 120, 150} * (0.25 * std::pow(SmoothStep(0.55, 0.9, n1 * n2 * 1.6), 2));
    c = c * (0.55 + 0.45 * SmoothStep(0.28, 0.62, n3));
    // The planet's atmosphere glows out into space.
    const double outside = std::max(0.0, std::hypot(x - kPlanetX, y - kPlanetY) / kPlanetR - 1);
    return c + Rgb{90, 150, 255} * (0.55 * std::exp(-outside * 22));
}

// A banded giant low on the right, lit from the upper left.
Rgb PlanetAt(double x, double y) {
    const double dx = (x - kPlanetX) / kPlanetR, dy = (y - kPlanetY) / kPlanetR;
    const double nz = std::sqrt(std::max(0.0, 1 - dx * dx - dy * dy));
    const double light = std::max(0.0, -0.55 * dx - 0.62 * dy + 0.56 * nz);
    const double band = 0.5 + 0.5 * std::sin(dy * 22 + 3 * Fbm2(x / 40, y / 12, 4, 304));
    Rgb p = Mix(Rgb{170, 88, 60}, Rgb{240, 200, 150}, band);
    p = p * (0.08 + 0.95 * light);
    const double rim = std::pow(1 - nz, 3);
    return p + Rgb{110, 170, 255} * (0.8 * rim * light + 0.1 * rim);
}

}  // namespace

Bytes MakeCreditsCard() {
    Canvas c(320, 240);
    PaintSupersampled(c, 1, NebulaAt);
    Random random(0xC4ED17u);
    DrawStars(c, random, 220, 0, 240, {170, 200, 255});
    FillShape(
        c, kPlanetX - kPlanetR - 1, kPlanetY - kPlanetR - 1, kPlanetX + kPlanetR + 1, kPlanetY + kPlanetR + 1,
        [](double x, double y) { return SdCircle(x, y, kPlanetX, kPlanetY, kPlanetR); }, PlanetAt);

    // A smoked-glass panel for the greetings.
    const auto panel = [](double x, double y) { return SdBox(x, y, 160, 145, 142, 45) - 6; };
    FillShape(
        c, 0, 0, 319, 239, panel,
        [](double, double) {
            return Rgb{2, 4, 18};
        },
        0.55);
    FillShape(
        c, 0, 0, 319, 239, [&](double x, double y) { return std::fabs(panel(x, y)) - 0.6; },
        [](double x, double) {
            return Mix(Rgb{80, 220, 255}, Rgb{255, 90, 220}, x / 320);
        },
        0.9);

    Caption(c, "CODE, GRAPHICS, MUSIC:", 14, 11, 250, {230, 255, 255}, {120, 210, 255}, {0, 0, 20});
    LetterStyle team = Style(26, 1.55, 2.7, 1.4, TubeFill({255, 248, 200}, {240, 130, 30}, 0.9));
    Halo(team, {255, 120, 40}, 6, 0.55);
    DrawLetteringCentred(c, "SIXSCENE TEAM", 160, 38, team);

    const char* lines[] = {"GREETINGS TO ALL DEMO MAKERS,", "TRACKER MUSICIANS AND PIXEL",
                           "ARTISTS - KEEP THE SCENE", "ALIVE AND KEEP IT REAL TIME."};
    for (int i = 0; i < 4; ++i)
        Caption(c, lines[i], 103 + 21 * i, 10, 270, {255, 255, 255}, {200, 225, 255}, {0, 0, 10});
    Caption(c, "SIT BACK AND ENJOY THE SHOW", 211, 10, 250, {255, 220, 245}, {255, 120, 210}, {10, 0, 20});
    return CanvasToRaw(c);
}

Bytes MakeLogo() {
    constexpr double cx = 159.5, cy = 119.5;
    Canvas c(320, 240);
    // Bright rays: the fan multiplies every texel by pulsing shades, so the
    // picture is kept light with strong dark outlines.
    PaintSupersampled(c, 3, [&](double x, double y) {
        const double a = std::atan2(y - cy, x - cx);
        const double r = std::hypot(x - cx, y - cy);
        const double ray = SmoothStep(-0.15, 0.15, std::cos(a * 16));
        Rgb c0 = Mix(Rgb{255, 255, 255}, Rgb{255, 232, 150}, SmoothStep(40, 200, r));
        Rgb c1 = Mix(Rgb{235, 250, 255}, Rgb{140, 225, 255}, SmoothStep(40, 200, r));
        return Mix(c0, c1, ray);
    });
    const auto ring = [&](double x, double y) { return std::fabs(SdHexagon(x, y, cx, cy, 84)) - 8; };
    FillShape(
        c, 0, 0, 319, 239, [&](double x, double y) { return ring(x, y) - 2.5; },
        [](double, double) {
            return Rgb{12, 10, 40};
        });
    FillShape(c, 0, 0, 319, 239, ring, [](double, double y) {
        return Mix(Rgb{60, 200, 255}, Rgb{150, 60, 255}, (y - 20) / 200);
    });
    for (int k = 0; k < 6; ++k) {
        const double a = (k * 60 - 90) / 180.0 * kPi;
        const double vx = cx + 84 * std::cos(a), vy = cy + 84 * std::sin(a);
        FillShape(
            c, vx - 16, vy - 16, vx + 16, vy + 16,
            [&](double x, double y) { return SdCircle(x, y, vx, vy, 12.5); },
            [](double, double) {
                return Rgb{12, 10, 40};
            });
        FillShape(
            c, vx - 16, vy - 16, vx + 16, vy + 16,
            [&](double x, double y) { return SdCircle(x, y, vx, vy, 9.5); },
            [&](double x, double y) {
                const double l = Clamp(1 - std::hypot(x - vx + 3, y - vy + 3) / 12, 0, 1);
                return Mix(Rgb{230, 30, 140}, Rgb{255, 220, 245}, l * l);
            });
    }
    LetterStyle logo = Style(34, 2.3, 3.6, 2.6, TubeFill({255, 255, 255}, {255, 170, 30}, 1.0), {10, 8, 30});
    Halo(logo, {0, 0, 20}, 3, 0.55, 3, 4);
    DrawLetteringCentred(c, "SIXSCENE", cx, cy - 17 - 6.2, logo);
    Caption(c, "SEE YOU AT THE NEXT PARTY", 6, 10, 230, {40, 40, 90}, {10, 10, 50}, {255, 255, 255});
    Caption(c, "THANKS FOR WATCHING", 217, 11, 230, {40, 40, 90}, {10, 10, 50}, {255, 255, 255});
    return CanvasToRaw(c);
}

namespace {

// Thin glowing rule across a band, fading toward both ends.
void GlowRule(Canvas& c, double y, Rgb left, Rgb right) {
    for (int x = 0; x < c.width; ++x) {
        const double t = double(x) / (c.width - 1);
        const double fade = SmoothStep(0, 0.25, t) * SmoothStep(0, 0.25, 1 - t);
        const Rgb col = Mix(left, right, t);
        for (int dy = -3; dy <= 3; ++dy) {
            const double a = fade * (dy == 0 ? 1.0 : 0.45 * std::exp(-std::fabs(dy)));
            c.blend(x, int(y) + dy, col, a);
        }
    }
}

}  // namespace

Bytes MakeBandOne() {
    Canvas c(320, 80);
    GlowRule(c, 5, {60, 220, 255}, {255, 80, 220});
    GlowRule(c, 74, {255, 80, 220}, {60, 220, 255});
    LetterStyle s = Style(22, 1.24, 2.4, 1.2, TubeFill({240, 255, 255}, {70, 190, 255}, 0.9), {10, 24, 70});
    Halo(s, {40, 160, 255}, 7, 0.6);
    DrawLetteringCentred(c, "ONE BOX, SIX SIDES", 160, 40 - 11 - 3.6, s);
    return CanvasToRaw(c);
}

Bytes MakeBandTargets() {
    Canvas c(320, 80);
    const Rgb red{255, 70, 40};
    for (double tx : {34.0, 286.0}) {
        const double ty = 42;
        auto sight = [tx, ty](double x, double y) {
            double d = std::fabs(SdCircle(x, y, tx, ty, 21)) - 1.3;
            d = std::min(d, std::fabs(SdCircle(x, y, tx, ty, 9)) - 1.0);
            d = std::min(d, SdSegment(x, y, tx - 29, ty, tx - 13, ty) - 1.2);
            d = std::min(d, SdSegment(x, y, tx + 13, ty, tx + 29, ty) - 1.2);
            d = std::min(d, SdSegment(x, y, tx, ty - 29, tx, ty - 13) - 1.2);
            d = std::min(d, SdSegment(x, y, tx, ty + 13, tx, ty + 29) - 1.2);
            return std::min(d, SdCircle(x, y, tx, ty, 2.2));
        };
        FillShape(
            c, tx - 36, ty - 36, tx + 36, ty + 36, [&](double x, double y) { return sight(x, y) - 3; },
            [&](double, double) { return red * 0.45; }, 0.6);
        FillShape(c, tx - 36, ty - 36, tx + 36, ty + 36, sight, [&](double, double) {
            return Rgb{255, 150, 90};
        });
    }
    Caption(c, "NEXT TARGET:", 4, 10, 200, {255, 230, 160}, {255, 150, 60}, {60, 10, 0});
    LetterStyle s = Style(22, 1.0, 2.3, 1.2, TubeFill({255, 245, 210}, {255, 90, 40}, 0.9), {60, 10, 8});
    Halo(s, {255, 60, 20}, 6, 0.55);
    DrawLetteringCentred(c, "A WHOLE PLANET", 160, 30, s);
    return CanvasToRaw(c);
}

Bytes MakeStripWho() {
    Canvas c(64, 240);
    for (int y = 0; y < 240; ++y) {
        const Rgb col = Mix(Rgb{60, 230, 220}, Rgb{150, 80, 255}, y / 239.0);
        for (int x : {4, 59}) {
            c.blend(x, y, col, 0.9);
            c.blend(x - 1, y, col, 0.3);
            c.blend(x + 1, y, col, 0.3);
        }
    }
    for (int k = 0; k < 10; ++k)
        for (double x : {4.5, 59.5}) {
            const double y = 12 + k * 24;
            FillShape(
                c, x - 4, y - 4, x + 4, y + 4,
                [&](double px, double py) { return std::fabs(px - x) + std::fabs(py - y) - 3.2; },
                [](double, double) {
                    return Rgb{255, 255, 255};
                });
        }
    LetterStyle s = Style(15, 1.22, 1.9, 1.1, TubeFill({255, 255, 255}, {110, 220, 255}, 0.9), {10, 20, 60});
    Halo(s, {60, 140, 255}, 4, 0.55);
    const char* words[] = {"HELLO", "WORLD"};
    double y = 3;
    for (const char* word : words) {
        for (const char* p = word; *p; ++p) {
            DrawLetteringCentred(c, std::string(1, *p), 32 + 0.6, y, s);
            y += 22.5;
        }
        y += 7;
    }
    return CanvasToRaw(c);
}

}  // namespace gen
