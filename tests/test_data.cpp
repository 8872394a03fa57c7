// The show's generated data: pictures, font, objects, scroll text and music,
// checked against the way the program reads and uses them.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/objects.h"
#include "effects/text_writer.h"
#include "geometry/object3d.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

const std::string kBuild = SIXSCENE_BUILD_DIR;
constexpr uint32_t kKey = 0xFF0000;

const char* const kDataFiles[] = {
    "bitmap/font.Raw",  "bitmap/zastava.Raw", "bitmap/meta.Raw",    "bitmap/moldivane.Raw",
    "bitmap/kesto.Raw", "bitmap/one.Raw",     "bitmap/targets.Raw", "bitmap/zemlja.Raw",
    "bitmap/who.Raw",   "bitmap/logo.Raw",    "obj/nrect.lwo",      "obj/nball.lwo",
    "obj/nballx.lwo",   "obj/nbox.lwo",       "snd/pelerind.xm",    "dat/text.dat"};

// --- Pictures -----------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

int Red(uint32_t p) { return int(p >> 16 & 255); }
int Green(uint32_t p) { return int(p >> 8 & 255); }
int Blue(uint32_t p) { return int(p & 255); }
double Luma(uint32_t p) { return 0.299 * Red(p) + 0.587 * Green(p) + 0.114 * Blue(p); }

Picture LoadPicture(const std::string& name, int width, int height) {
    const std::string bytes = ReadFile(kBuild + "/bitmap/" + name);
    Picture p;
    EXPECT_EQ(bytes.size(), size_t(width) * height * 3) << name;
    if (bytes.size() != size_t(width) * height * 3) return p;
    p.width = width;
    p.height = height;
    for (size_t i = 0; i < bytes.size(); i += 3)
        p.pixels.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                           uint8_t(bytes[i + 2]));
    return p;
}

TEST(DataPictures, EveryPictureHasItsSize) {
    const struct {
        const char* name;
        int width, height;
    } sizes[] = {{"font.Raw", 704, 26},       {"zastava.Raw", 512, 256}, {"meta.Raw", 256, 256},
                 {"moldivane.Raw", 320, 240}, {"kesto.Raw", 320, 240},   {"one.Raw", 320, 80},
                 {"targets.Raw", 320, 80},    {"zemlja.Raw", 640, 320},  {"who.Raw", 64, 240},
                 {"logo.Raw", 320, 240}};
    for (const auto& s : sizes)
        EXPECT_EQ(ReadFile(kBuild + "/bitmap/" + s.name).size(), size_t(s.width) * s.height * 3) << s.name;
}

TEST(DataFont, GlyphsStartAtTheirOffsetsOnTheKeyColour) {
    ASSERT_EQ(glyphOffsets[43], 563);
    const Picture font = LoadPicture("font.Raw", 704, 26);
    ASSERT_FALSE(font.pixels.empty());
    auto columnHasInk = [&](int x) {
        for (int y = 0; y < 26; ++y)
            if (font.at(x, y) != kKey) return true;
        return false;
    };
    for (int x = 563; x < 704; ++x) EXPECT_FALSE(columnHasInk(x)) << "unused column " << x;
    for (int g = 0; g < 43; ++g) {
        const int first = glyphOffsets[g], end = glyphOffsets[g + 1];
        if (g == kBlankGlyph) {
            for (int x = first; x < end; ++x) EXPECT_FALSE(columnHasInk(x)) << "blank glyph column " << x;
            continue;
        }
        // Ink begins at the glyph's own first column and leaves its last
        // column free, so printed glyphs never run together.
        EXPECT_TRUE(columnHasInk(first)) << "glyph " << g;
        EXPECT_FALSE(columnHasInk(end - 1)) << "glyph " << g;
    }
}

TEST(DataFont, LettersFillTheLineAreShadedAndAllDiffer) {
    const Picture font = LoadPicture("font.Raw", 704, 26);
    ASSERT_FALSE(font.pixels.empty());
    std::set<std::vector<bool>> shapes;
    std::set<uint32_t> inkColours;
    for (int g = 0; g < 43; ++g) {
        if (g == kBlankGlyph) continue;
        std::vector<bool> mask;
        int top = 26, bottom = -1;
        for (int y = 0; y < 26; ++y)
            for (int x = glyphOffsets[g]; x < glyphOffsets[g + 1]; ++x) {
                const bool ink = font.at(x, y) != kKey;
                mask.push_back(ink);
                if (!ink) continue;
                inkColours.insert(font.at(x, y));
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        shapes.insert(mask);
        const bool capitalHeight = g < 26 || (g >= 32 && g <= 40) || g == 42;
        if (capitalHeight) {
            EXPECT_LE(top, 2) << "glyph " << g;
            EXPECT_GE(bottom, 23) << "glyph " << g;
        }
    }
    EXPECT_EQ(shapes.size(), 42u) << "two glyphs share one shape";
    EXPECT_GT(inkColours.size(), 30u) << "glyphs are not shaded";
}

TEST(DataPictures, BandsAreDrawnOnTransparentBlack) {
    const struct {
        const char* name;
        int width, height;
    } bands[] = {{"one.Raw", 320, 80}, {"targets.Raw", 320, 80}, {"who.Raw", 64, 240}};
    for (const auto& b : bands) {
        const Picture p = LoadPicture(b.name, b.width, b.height);
        ASSERT_FALSE(p.pixels.empty());
        size_t black = 0, bright = 0;
        for (uint32_t px : p.pixels) {
            black += px == 0;
            bright += std::max({Red(px), Green(px), Blue(px)}) > 120;
        }
        EXPECT_GT(black, p.pixels.size() / 4) << b.name << ": too little transparent background";
        EXPECT_GT(bright, p.pixels.size() / 30) << b.name << ": nearly empty";
    }
}

TEST(DataPictures, CardsAreRichAndTheLogoIsBright) {
    for (const char* name : {"moldivane.Raw", "kesto.Raw"}) {
        const Picture p = LoadPicture(name, 320, 240);
        ASSERT_FALSE(p.pixels.empty());
        const std::set<uint32_t> colours(p.pixels.begin(), p.pixels.end());
        size_t dark = 0;
        for (uint32_t px : p.pixels) dark += Luma(px) < 6;
        EXPECT_GT(colours.size(), 5000u) << name;
        EXPECT_LT(dark, p.pixels.size() / 10) << name;
    }
    // The closing logo is multiplied by pulsing shades: it must be light.
    const Picture logo = LoadPicture("logo.Raw", 320, 240);
    ASSERT_FALSE(logo.pixels.empty());
    double sum = 0;
    size_t dark = 0;
    for (uint32_t px : logo.pixels) {
        sum += Luma(px);
        dark += Luma(px) < 60;
    }
    EXPECT_GT(sum / logo.pixels.size(), 170);
    EXPECT_GT(dark, logo.pixels.size() / 100) << "no dark outlines for contrast";
}

TEST(DataPictures, PlanetMapWrapsAroundWithSeaLandAndIce) {
    const Picture map = LoadPicture("zemlja.Raw", 640, 320);
    ASSERT_FALSE(map.pixels.empty());
    // The left and right edges meet on the globe.
    double seam = 0;
    for (int y = 0; y < 320; ++y) seam += std::fabs(Luma(map.at(0, y)) - Luma(map.at(639, y)));
    EXPECT_LT(seam / 320, 12);
    double poles = 0;
    for (int x = 0; x < 640; ++x) poles += Luma(map.at(x, 0)) + Luma(map.at(x, 319));
    EXPECT_GT(poles / 1280, 200) << "no ice caps";
    size_t sea = 0, green = 0, sand = 0;
    for (int y = 40; y < 280; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = map.at(x, y);
            sea += Blue(p) > Red(p) + 30 && Blue(p) > Green(p);
            green += Green(p) > Red(p) && Green(p) > Blue(p);
            sand += Red(p) > 180 && Green(p) > 150 && Blue(p) < 150;
        }
    const double total = 240.0 * 640;
    EXPECT_GT(sea / total, 0.4);
    EXPECT_LT(sea / total, 0.85);
    EXPECT_GT(green / total, 0.05);
    EXPECT_GT(sand, 0u);
}

// --- Objects ------------------------------------------------------------

struct Lwob {
    std::vector<std::string> chunkOrder;
    std::map<std::string, size_t> chunkAt;  // offset of each chunk's name
    std::vector<std::array<float, 3>> points;
    std::vector<std::vector<int>> polygons;
    std::vector<int> surfaces;
    bool wellFormed = false;
};

uint32_t BigU32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}
uint16_t BigU16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) << 8 | uint8_t(b[at + 1]));
}

Lwob ParseLwob(const std::string& b) {
    Lwob o;
    if (b.size() < 12 || b.compare(0, 4, "FORM") != 0 || b.compare(8, 4, "LWOB") != 0) return o;
    if (BigU32(b, 4) != b.size() - 8) return o;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const size_t size = BigU32(b, at + 4), data = at + 8;
        if (data + size > b.size()) return o;
        o.chunkOrder.push_back(id);
        o.chunkAt[id] = at;
        if (id == "PNTS") {
            for (size_t p = data; p + 12 <= data + size; p += 12) {
                std::array<float, 3> v;
                for (int k = 0; k < 3; ++k) {
                    const uint32_t bits = BigU32(b, p + 4 * k);
                    std::memcpy(&v[k], &bits, 4);
                }
                o.points.push_back(v);
            }
        } else if (id == "POLS") {
            size_t p = data;
            while (p + 2 <= data + size) {
                const int count = BigU16(b, p);
                std::vector<int> poly;
                for (int k = 0; k < count; ++k) poly.push_back(BigU16(b, p + 2 + 2 * k));
                o.polygons.push_back(poly);
                o.surfaces.push_back(int16_t(BigU16(b, p + 2 + 2 * count)));
                p += 4 + 2 * size_t(count);
            }
            if (p != data + size) return o;
        }
        at = data + size + (size & 1);
    }
    o.wellFormed = at == b.size();
    return o;
}

const char* const kObjects[] = {"nrect", "nball", "nballx", "nbox"};

Lwob LoadLwob(const std::string& name) { return ParseLwob(ReadFile(kBuild + "/obj/" + name + ".lwo")); }

TEST(DataObjects, ChunksComeInReadingOrderAndTheirNamesNeverEarlier) {
    for (const char* name : kObjects) {
        const std::string bytes = ReadFile(kBuild + "/obj/" + name + ".lwo");
        const Lwob o = ParseLwob(bytes);
        ASSERT_TRUE(o.wellFormed) << name;
        EXPECT_EQ(o.chunkOrder, (std::vector<std::string>{"SRFS", "PNTS", "POLS", "SURF"})) << name;
        // The reader searches the bytes for each name in turn.
        for (const auto& [id, offset] : o.chunkAt) EXPECT_EQ(bytes.find(id), offset) << name << " " << id;
    }
}

TEST(DataObjects, TrianglesOnlyWithIndicesInRange) {
    for (const char* name : kObjects) {
        const Lwob o = LoadLwob(name);
        ASSERT_TRUE(o.wellFormed) << name;
        EXPECT_LE(o.points.size(), 32768u) << name;
        for (size_t i = 0; i < o.polygons.size(); ++i) {
            ASSERT_EQ(o.polygons[i].size(), 3u) << name << " polygon " << i;
            EXPECT_EQ(o.surfaces[i], 1) << name;
            for (int index : o.polygons[i]) ASSERT_LT(size_t(index), o.points.size()) << name;
        }
    }
}

std::array<double, 3> Normal(const Lwob& o, const std::vector<int>& t) {
    const auto &a = o.points[t[0]], &b = o.points[t[1]], &c = o.points[t[2]];
    const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    return {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
}

TEST(DataObjects, ClosedObjectsAreWatertightAndWoundOneWay) {
    // Keyed by position, so the box's separate side points still meet.
    for (const char* name : {"nball", "nballx", "nbox"}) {
        const Lwob o = LoadLwob(name);
        ASSERT_TRUE(o.wellFormed) << name;
        auto key = [&](int i) {
            return std::array<long, 3>{std::lround(o.points[i][0] * 1e4), std::lround(o.points[i][1] * 1e4),
                                       std::lround(o.points[i][2] * 1e4)};
        };
        std::map<std::pair<std::array<long, 3>, std::array<long, 3>>, int> edges;
        for (const auto& t : o.polygons)
            for (int k = 0; k < 3; ++k) ++edges[{key(t[k]), key(t[(k + 1) % 3])}];
        for (const auto& [edge, count] : edges) {
            EXPECT_EQ(count, 1) << name << ": an edge is used twice in one direction";
            const auto reverse = edges.find({edge.second, edge.first});
            EXPECT_TRUE(reverse != edges.end() && reverse->second == 1)
                << name << ": an open or flipped edge";
        }
    }
}

TEST(DataObjects, ShapesAndSizes) {
    for (const char* name : {"nball", "nballx"}) {
        const Lwob o = LoadLwob(name);
        for (const auto& p : o.points) EXPECT_NEAR(std::hypot(p[0], p[1], p[2]), 1.0, 1e-5) << name;
    }
    // The ball passes close enough to fill the screen: a coarse mesh shows
    // its corners there (see DataShow for the outline itself).
    EXPECT_GE(LoadLwob("nball").polygons.size(), 3000u);
    EXPECT_GE(LoadLwob("nballx").polygons.size(), 1500u);
    EXPECT_LE(LoadLwob("nballx").polygons.size(), 2600u);

    // The box: points on the surface of [-1, 1]^3, faces square to an axis,
    // the same number on every side.
    const Lwob box = LoadLwob("nbox");
    for (const auto& p : box.points)
        EXPECT_NEAR(std::max({std::fabs(p[0]), std::fabs(p[1]), std::fabs(p[2])}), 1.0, 1e-6);
    std::map<int, int> sides;
    for (const auto& t : box.polygons) {
        const auto n = Normal(box, t);
        int axis = -1;
        for (int k = 0; k < 3; ++k)
            if (std::fabs(n[k]) > 1e-9) {
                EXPECT_EQ(axis, -1) << "box face not square to an axis";
                axis = k * 2 + (n[k] > 0);
            }
        ++sides[axis];
    }
    ASSERT_EQ(sides.size(), 6u);
    for (const auto& [axis, count] : sides) EXPECT_EQ(count, sides.begin()->second);
    EXPECT_GE(sides.begin()->second, 8);
}

TEST(DataObjects, PanelIsAFlatTwoByOneGridWhoseColumnsAliasTheWave) {
    const Lwob o = LoadLwob("nrect");
    ASSERT_TRUE(o.wellFormed);
    std::set<float> xs, ys;
    for (const auto& p : o.points) {
        EXPECT_EQ(p[2], 0.0f);
        xs.insert(p[0]);
        ys.insert(p[1]);
    }
    const double width = *xs.rbegin() - *xs.begin(), height = *ys.rbegin() - *ys.begin();
    EXPECT_NEAR(width / height, 2.0, 0.02);
    // Wide enough to rise into view early in its scene (see DataShow).
    EXPECT_NEAR(width, 4.76, 0.1);
    EXPECT_GE(xs.size(), 90u);
    EXPECT_GE(o.polygons.size(), 4000u);
    EXPECT_LE(o.polygons.size(), 8000u);
    // The wave turns k = 180 / (pi * 5) radians per loaded unit (file x 100).
    // Sampled at the columns it must advance about 1/16 turn per column.
    const double k = 180 / (std::numbers::pi * 5);
    const std::vector<float> cols(xs.begin(), xs.end());
    for (size_t i = 1; i < cols.size(); ++i) {
        const double step = std::fmod(k * (double(cols[i]) - cols[i - 1]) * 100, 2 * std::numbers::pi);
        EXPECT_NEAR(step, 2 * std::numbers::pi / 16, 0.05) << "column " << i;
    }
    // Every triangle faces the viewer side (-z) in file coordinates.
    for (const auto& t : o.polygons) EXPECT_LT(Normal(o, t)[2], 0);
}

// Loads an object with the program's own reader and places it as a scene does.
Object3D LoadPlaced(const std::string& name) {
    Object3D object;
    std::string error;
    EXPECT_TRUE(LoadLightWaveObject(object, kBuild + "/obj/" + name + ".lwo", &error)) << error;
    object.width = 320;
    object.height = 240;
    object.focalLength = 128.0;
    MeasureObject(object);
    return object;
}

struct Placement {
    Vector3 position, angles, scale{1, 1, 1};
};

// Counts the faces that face the viewer and checks each against the
// program's back-face test. The true outward normal is the face's plane
// normal, turned to agree with `outside` (a rough outward direction in
// camera space), so it does not depend on the winding under test.
template <class Outside>
int CheckFacing(Object3D& object, const Placement& at, Outside outside, const std::string& what) {
    object.position = at.position;
    object.angles = at.angles;
    object.scale = at.scale;
    BuildMatrices(object);
    TransformPoints(object);
    ProjectPoints(object);
    int visible = 0;
    for (int f = 0; f < object.faceCount; ++f) {
        const Face& face = object.faces[f];
        const Vector3& a = object.cameraPoints[face.index[0]];
        const Vector3& b = object.cameraPoints[face.index[1]];
        const Vector3& c = object.cameraPoints[face.index[2]];
        if (std::min({a.z, b.z, c.z}) < 1.0) continue;  // cut by the near plane, not our concern here
        const Vector3 centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
        const double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        Vector3 n{e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                  e1[0] * e2[1] - e1[1] * e2[0]};
        const Vector3 hint = outside(object, centre);
        if (n.x * hint.x + n.y * hint.y + n.z * hint.z < 0) n = {-n.x, -n.y, -n.z};
        const double toViewer = -(n.x * centre.x + n.y * centre.y + n.z * centre.z);
        const double scale = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) *
                             std::sqrt(centre.x * centre.x + centre.y * centre.y + centre.z * centre.z);
        if (std::fabs(toViewer) < 1e-3 * scale) continue;  // seen edge-on
        const ScreenVertex* corners[3] = {&object.screenPoints[face.index[0]],
                                          &object.screenPoints[face.index[1]],
                                          &object.screenPoints[face.index[2]]};
        const bool facing = toViewer > 0;
        EXPECT_EQ(IsBackFacing(corners), !facing) << what << " face " << f;
        visible += facing;
    }
    return visible;
}

TEST(DataObjects, OutwardFacesAreFrontFacingAtTheScenePlacements) {
    // Convex objects round the origin: outside is away from the placed centre.
    auto fromCentre = [](const Object3D& o, const Vector3& c) {
        return Vector3{c.x - o.position.x, c.y - o.position.y, c.z - o.position.z};
    };
    Object3D ball = LoadPlaced("nball");
    for (double z : {700.0, 300.0, 150.0})
        EXPECT_GT(CheckFacing(ball, {{0, 0, z}, {0, 0, 0}}, fromCentre, "nball"), 0);
    Object3D globe = LoadPlaced("nballx");
    for (const Placement& p : {Placement{{0, 0, 105}, {-45, 125, 0}}, Placement{{0, 0, 185}, {-45, 205, 0}},
                               Placement{{0, 0, 185}, {60, 260, 0}}})
        EXPECT_GT(CheckFacing(globe, p, fromCentre, "nballx"), 0);
    Object3D box = LoadPlaced("nbox");
    for (double a : {0.0, 37.0, 200.0})
        EXPECT_GT(
            CheckFacing(box, {{55, 150 - a / 2, 100}, {a, a, a}, {0.25, 0.25, 0.25}}, fromCentre, "nbox"), 0);

    // The panel is one-sided: its model -z side is the one that shows, in
    // every placement of the flag scene.
    Object3D panel = LoadPlaced("nrect");
    auto front = [](const Object3D& o, const Vector3&) {
        const auto& m = o.objectMatrix;  // rows x, y, z of the turned model axes
        return Vector3{-m[2][0], -m[2][1], -m[2][2]};
    };
    const Placement placements[] = {{{0, 0, panel.size.x / 2.3}, {0, 0, 0}},
                                    {{0, -400, 150}, {90, 0, -45}},
                                    {{0, -50, 150}, {90, 0, -45}},
                                    {{0, 20, 130}, {15, 15, 0}}};
    for (const Placement& p : placements)
        EXPECT_GT(CheckFacing(panel, p, front, "nrect"), panel.faceCount / 2);
}

// --- Scroll text --------------------------------------------------------

TEST(DataText, FortyToSixtyLinesThatFitAndHaveGlyphs) {
    const std::string text = ReadFile(kBuild + "/dat/text.dat");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_GE(lines.size(), 40u);
    EXPECT_LE(lines.size(), 60u);
    size_t words = 0;
    for (const std::string& line : lines) {
        int width = 0;
        for (char c : line) {
            const int32_t g = GlyphIndex(c);
            EXPECT_TRUE(c == ' ' || g != kBlankGlyph) << "no glyph for '" << c << "' in: " << line;
            width += glyphOffsets[g + 1] - glyphOffsets[g];
        }
        EXPECT_LE(width, 300) << line;
        words += !line.empty();
    }
    EXPECT_GT(words, 30u);
}

// --- Music --------------------------------------------------------------

struct ModuleRun {
    bool loaded = false;
    std::vector<std::string> log;
    int speed = 0, tempo = 0;
    long rows = 0;                    // rows played before the song ends
    double seconds = 0;               // audio rendered before the song ended
    std::vector<long> patternStarts;  // rows played when each new order began
    std::vector<double> rowEnergy;    // sum of squares per played row
    std::vector<long> rowFrames;
    double peak = 0;
    std::vector<std::string> instrumentNames;
    size_t distinctPatterns = 0;
};

void CollectLog(const char* message, void* user) { static_cast<ModuleRun*>(user)->log.push_back(message); }

const ModuleRun& RunModule() {
    static ModuleRun run = [] {
        ModuleRun r;
        const std::string bytes = ReadFile(kBuild + "/snd/pelerind.xm");
        openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), CollectLog, &r,
                                                               nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!m) return r;
        r.loaded = true;
        r.speed = openmpt_module_get_current_speed(m);
        r.tempo = openmpt_module_get_current_tempo(m);
        for (int i = 0; i < openmpt_module_get_num_instruments(m); ++i) {
            const char* name = openmpt_module_get_instrument_name(m, i);
            r.instrumentNames.push_back(name);
            openmpt_free_string(name);
        }
        std::set<std::string> patterns;
        for (int p = 0; p < openmpt_module_get_num_patterns(m); ++p) {
            std::string notes;
            for (int row = 0; row < openmpt_module_get_pattern_num_rows(m, p); ++row)
                for (int ch = 0; ch < openmpt_module_get_num_channels(m); ++ch)
                    notes += char(openmpt_module_get_pattern_row_channel_command(
                        m, p, row, ch, OPENMPT_MODULE_COMMAND_NOTE));
            patterns.insert(notes);
        }
        r.distinctPatterns = patterns.size();
        // Chunks of 10 ms, far shorter than a row, so no row goes unseen.
        constexpr int kRate = 48000, kChunk = 480;
        std::vector<float> buffer(kChunk * 2);
        int lastOrder = 0, lastRow = 0;
        long frames = 0;
        r.rows = 1;
        r.rowEnergy.push_back(0);
        r.rowFrames.push_back(0);
        for (;;) {
            const size_t n = openmpt_module_read_interleaved_float_stereo(m, kRate, kChunk, buffer.data());
            if (n == 0 || frames > 600L * kRate) break;  // ended, or never will
            frames += long(n);
            for (size_t i = 0; i < n * 2; ++i) {
                r.peak = std::max(r.peak, double(std::fabs(buffer[i])));
                r.rowEnergy.back() += double(buffer[i]) * buffer[i];
            }
            const int order = openmpt_module_get_current_order(m), row = openmpt_module_get_current_row(m);
            if (order == lastOrder && row == lastRow) continue;
            if (order == 0 && row == 0) break;  // wrapped round: the song has ended
            if (order != lastOrder) r.patternStarts.push_back(r.rows);
            lastOrder = order;
            lastRow = row;
            ++r.rows;
            r.rowEnergy.push_back(0);
            r.rowFrames.push_back(frames);
        }
        r.seconds = double(frames) / kRate;
        openmpt_module_destroy(m);
        return r;
    }();
    return run;
}

TEST(DataModule, LoadsWithoutWarningsAndHasTheBand) {
    const ModuleRun& run = RunModule();
    ASSERT_TRUE(run.loaded);
    for (const std::string& line : run.log) ADD_FAILURE() << "libopenmpt: " << line;
    for (const char* part : {"kick", "snare", "hat", "bass", "pad", "lead"}) {
        const bool found =
            std::any_of(run.instrumentNames.begin(), run.instrumentNames.end(),
                        [&](const std::string& n) { return n.find(part) != std::string::npos; });
        EXPECT_TRUE(found) << "no " << part;
    }
    EXPECT_GE(run.distinctPatterns, 15u) << "too little variation between sections";
}

TEST(DataModule, RowsLastAboutAFifthOfASecondForMoreThan1210Rows) {
    const ModuleRun& run = RunModule();
    ASSERT_TRUE(run.loaded);
    EXPECT_EQ(run.speed, 12);
    EXPECT_EQ(run.tempo, 146);
    EXPECT_GE(run.rows, 1210);
    EXPECT_LE(run.rows, 1300);
    ASSERT_GT(run.rowFrames.size(), 1100u);
    const double rowSeconds = double(run.rowFrames[1100] - run.rowFrames[100]) / 1000 / 48000;
    EXPECT_NEAR(rowSeconds, 0.2055, 0.0015);
    EXPECT_NEAR(run.seconds / run.rows, 0.2055, 0.0015);
}

TEST(DataModule, SectionsChangeOnTheSceneRows) {
    const ModuleRun& run = RunModule();
    ASSERT_TRUE(run.loaded);
    for (long row : {66L, 256L, 280L, 877L, 1053L, 1058L, 1070L, 1200L})
        EXPECT_NE(std::find(run.patternStarts.begin(), run.patternStarts.end(), row), run.patternStarts.end())
            << "no new pattern at row " << row;
}

TEST(DataModule, PeaksStayBelowFullScaleAndEverySceneHasMusic) {
    const ModuleRun& run = RunModule();
    ASSERT_TRUE(run.loaded);
    EXPECT_LT(run.peak, 1.0);
    EXPECT_GT(run.peak, 0.3);
    auto rms = [&](long from, long to) {
        double energy = 0;
        long frames = 0;
        for (long r = from; r < to && r + 1 < long(run.rowFrames.size()); ++r) {
            energy += run.rowEnergy[r];
            frames += run.rowFrames[r + 1] - run.rowFrames[r];
        }
        return frames ? std::sqrt(energy / (2.0 * frames)) : 0.0;
    };
    const long scenes[] = {0, 66, 256, 280, 877, 1070, 1200};
    for (size_t i = 0; i + 1 < std::size(scenes); ++i)
        EXPECT_GT(rms(scenes[i], scenes[i + 1]), 0.03) << "quiet from row " << scenes[i];
    // The climax stands out from the globe section that leads to it.
    EXPECT_GT(rms(1053, 1058), 1.15 * rms(877, 1053));
}

TEST(DataModule, TheSongResolvesAndIsSilentWhenTheShowStops) {
    // The show stops as row 1200 begins. The closing chord still sounds a
    // few rows before it, the last row has died away, and nothing starts
    // afterwards that a player could let out while the program exits.
    const ModuleRun& run = RunModule();
    ASSERT_TRUE(run.loaded);
    ASSERT_GT(long(run.rowFrames.size()), 1201L);
    auto rms = [&](long from, long to) {
        double energy = 0;
        long frames = 0;
        for (long r = from; r < to && r + 1 < long(run.rowFrames.size()); ++r) {
            energy += run.rowEnergy[r];
            frames += run.rowFrames[r + 1] - run.rowFrames[r];
        }
        return frames ? std::sqrt(energy / (2.0 * frames)) : 0.0;
    };
    const double minus50dB = std::pow(10.0, -50 / 20.0);
    EXPECT_GT(rms(1182, 1190), 0.03) << "no closing chord";
    EXPECT_LT(rms(1199, 1200), minus50dB) << "still sounding when the show stops";
    EXPECT_LT(rms(1200, long(run.rowFrames.size()) - 1), minus50dB) << "music after the show's end";
}

// --- The show as it plays ---------------------------------------------------

// Headless runs of the show: one up to the start of the flag scene, with
// every frame of the ball's passes and of that start; one to the show's end,
// for the music.
constexpr int64_t kFirstShot = 3100, kLastShot = 3600;

struct ShowRun {
    bool ran = false;
    std::string dir;
    std::vector<int32_t> positions;  // per frame, from frames.csv
    std::vector<int16_t> audio;      // interleaved stereo, 48 kHz

    std::vector<uint8_t> Frame(int64_t n) const {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(n));
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        if (!ReadPng(dir + name, rgb, w, h) || w != 320 || h != 240) rgb.clear();
        return rgb;
    }
    int64_t FirstFrameAt(int32_t position) const {
        for (size_t f = 0; f < positions.size(); ++f)
            if (positions[f] >= position) return int64_t(f);
        return -1;
    }
};

ShowRun RecordShow(const std::string& dir, const std::string& frames) {
    ShowRun r;
    r.dir = dir;
    const ProgramResult program = RunProgram({"--headless", "--record", dir, "--at", frames});
    EXPECT_EQ(program.status, 0) << program.err;
    std::istringstream csv(ReadFile(dir + "/frames.csv"));
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) r.positions.push_back(std::stoi(line.substr(line.rfind(',') + 1)));
    const std::string wav = ReadFile(dir + "/audio.wav");
    if (wav.size() > 44) {
        r.audio.resize((wav.size() - 44) / 2);
        std::memcpy(r.audio.data(), wav.data() + 44, r.audio.size() * 2);
    }
    r.ran = program.status == 0 && !r.positions.empty();
    return r;
}

const ShowRun& RunShowStart() {
    static TempDir folder;
    static const ShowRun run =
        RecordShow(folder.path, std::to_string(kFirstShot) + "-" + std::to_string(kLastShot));
    return run;
}

const ShowRun& RunWholeShow() {
    static TempDir folder;
    // The show's last frame: it plays to its own end.
    static const ShowRun run = RecordShow(folder.path, "14777");
    return run;
}

// Pixels brighter than a faint glow (any channel above 16).
int LitPixels(const std::vector<uint8_t>& rgb) {
    int lit = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) lit += std::max({rgb[i], rgb[i + 1], rgb[i + 2]}) > 16;
    return lit;
}

TEST(DataShow, TheFlagRisesIntoViewWithinHalfASecondOfItsScene) {
    const ShowRun& run = RunShowStart();
    ASSERT_TRUE(run.ran);
    const int64_t start = run.FirstFrameAt(280);
    ASSERT_GE(start, kFirstShot);
    ASSERT_LE(start + 120, kLastShot);
    // The panel starts below the screen; its far corner must show within
    // 30 frames, and more of it keeps coming.
    int64_t first = -1;
    for (int64_t f = start; f <= start + 120 && first < 0; ++f)
        if (LitPixels(run.Frame(f)) > 0) first = f;
    ASSERT_GE(first, 0) << "nothing in the first two seconds of the flag scene";
    EXPECT_LE(first - start, 30) << "the flag scene starts with " << first - start << " black frames";
    EXPECT_GT(LitPixels(run.Frame(start + 120)), 200);
}

// How far the outline of the lit disc strays from its mean radius, seen
// from its centre along 360 directions; also gives that radius.
double OutlineDeviation(const std::vector<uint8_t>& rgb, double& radius) {
    auto lit = [&](int x, int y) { return rgb[(size_t(y) * 320 + x) * 3] > 8; };
    double cx = 0, cy = 0;
    long count = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (lit(x, y)) cx += x, cy += y, ++count;
    radius = 0;
    if (count == 0) return 1e9;
    cx /= count;
    cy /= count;
    std::vector<double> reach;
    for (int k = 0; k < 360; ++k) {
        const double a = k * std::numbers::pi / 180;
        double last = 0;
        for (double d = 0;; d += 0.25) {
            const int x = int(std::lround(cx + d * std::cos(a))), y = int(std::lround(cy + d * std::sin(a)));
            if (x < 0 || x >= 320 || y < 0 || y >= 240) break;
            if (lit(x, y)) last = d;
        }
        reach.push_back(last);
    }
    for (double r : reach) radius += r / 360;
    double worst = 0;
    for (double r : reach) worst = std::max(worst, std::fabs(r - radius));
    return worst;
}

bool TouchesTheEdge(const std::vector<uint8_t>& rgb) {
    for (int x = 0; x < 320; ++x)
        if (rgb[size_t(x) * 3] > 8 || rgb[(size_t(239) * 320 + x) * 3] > 8) return true;
    for (int y = 0; y < 240; ++y)
        if (rgb[size_t(y) * 320 * 3] > 8 || rgb[(size_t(y) * 320 + 319) * 3] > 8) return true;
    return false;
}

TEST(DataShow, TheBallStaysRoundOnItsClosestPasses) {
    const ShowRun& run = RunShowStart();
    ASSERT_TRUE(run.ran);
    const int64_t start = run.FirstFrameAt(256);
    ASSERT_GE(start, kFirstShot);
    ASSERT_LE(start + 210, kLastShot);
    // Three passes of 70 ticks (one a frame). In each, the largest ball that
    // still fits on the screen: its outline must be a circle to within about
    // a pixel (the old 18-sided mesh strayed by nearly 3).
    for (int pass = 0; pass < 3; ++pass) {
        int64_t best = -1;
        size_t bestLit = 0;
        for (int64_t f = start + 70 * pass; f < start + 70 * (pass + 1); ++f) {
            const std::vector<uint8_t> rgb = run.Frame(f);
            if (rgb.empty() || TouchesTheEdge(rgb)) continue;
            const size_t lit = size_t(LitPixels(rgb));
            if (lit > bestLit) bestLit = lit, best = f;
        }
        ASSERT_GE(best, 0) << "pass " << pass;
        double radius = 0;
        const double deviation = OutlineDeviation(run.Frame(best), radius);
        EXPECT_GE(radius, 100) << "pass " << pass << ", frame " << best << ": not a close pass";
        EXPECT_LE(deviation, 1.5) << "pass " << pass << ", frame " << best << ": the outline has corners";
    }
}

TEST(DataShow, TheMusicHasDiedAwayWhenTheShowEnds) {
    const ShowRun& run = RunWholeShow();
    ASSERT_TRUE(run.ran);
    // The recording stops with the show, as the position reaches 1200.
    EXPECT_EQ(run.positions.back(), 1199);
    const double seconds = double(run.audio.size()) / 2 / 48000;
    EXPECT_NEAR(seconds, double(run.positions.size()) / 60, 0.02);
    ASSERT_GT(run.audio.size(), 48000u * 2);
    // The last 50 ms: peak and RMS below -50 dBFS.
    const size_t tail = 2400 * 2;
    double sum = 0;
    int peak = 0;
    for (size_t i = run.audio.size() - tail; i < run.audio.size(); ++i) {
        sum += double(run.audio[i]) * run.audio[i];
        peak = std::max(peak, std::abs(int(run.audio[i])));
    }
    const double minus50dB = 32768 * std::pow(10.0, -50 / 20.0);
    EXPECT_LT(std::sqrt(sum / tail), minus50dB);
    EXPECT_LT(peak, minus50dB);
}

// --- The generator itself ---------------------------------------------------

int RunGenerator(const std::string& args) {
    const std::string command = "'" + kBuild + "/sixscene_gen' " + args;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DataGenerator, WritesTheSameBytesOnEveryRun) {
    TempDir first, second;
    ASSERT_EQ(RunGenerator("--out '" + first.path + "'"), 0);
    ASSERT_EQ(RunGenerator("--out '" + second.path + "'"), 0);
    for (const char* file : kDataFiles) {
        const std::string a = ReadFile(first / file);
        EXPECT_FALSE(a.empty()) << file;
        EXPECT_TRUE(a == ReadFile(second / file)) << file << " differs between runs";
        EXPECT_TRUE(a == ReadFile(kBuild + "/" + file)) << file << " differs from the build's copy";
    }
}

TEST(DataGenerator, FailsLoudlyWhenItCannotWrite) {
    TempDir dir;
    dir.Write("blocker", "a file where a folder should go");
    const std::string errors = dir / "errors.txt";
    EXPECT_NE(RunGenerator("--out '" + (dir / "blocker") + "/data' 2>'" + errors + "'"), 0);
    EXPECT_NE(ReadFile(errors).find("sixscene_gen"), std::string::npos);
    EXPECT_NE(RunGenerator("--bogus 2>/dev/null"), 0);
    EXPECT_EQ(RunGenerator("--help >/dev/null"), 0);
}

}  // namespace
