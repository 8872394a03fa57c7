// Triangle rasterizers: clipping, the shared scan conversion and the three
// pixel modes, checked on small hand-made triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/clip_internal.h"
#include "raster/triangle.h"

namespace {

constexpr uint32_t kEmpty = 0xDEADBEEFu;

// A target with a guard band of untouched pixels all around it, the row pad
// included.
struct Target {
    int32_t width, height, rowPad;
    int32_t guard = 8;
    std::vector<uint32_t> store;
    uint32_t* pixels;

    Target(int32_t w, int32_t h, int32_t pad = 3)
        : width(w), height(h), rowPad(pad),
          store(static_cast<size_t>((h + 2 * guard) * (w + pad) + 2 * guard), kEmpty),
          pixels(store.data() + guard * (w + pad) + guard) {}

    uint32_t& At(int32_t column, int32_t row) { return pixels[row * (width + rowPad) + column]; }
    bool Written(int32_t column, int32_t row) { return At(column, row) != kEmpty; }

    int Covered() {
        int n = 0;
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) n += Written(c, r);
        return n;
    }
    bool GuardIntact() const {
        const int32_t stride = width + rowPad;
        const ptrdiff_t origin = pixels - store.data();
        for (ptrdiff_t i = 0; i < static_cast<ptrdiff_t>(store.size()); ++i) {
            const ptrdiff_t rel = i - origin;
            const bool visible = rel >= 0 && rel < static_cast<ptrdiff_t>(height) * stride && rel % stride < width;
            if (!visible && store[i] != kEmpty) return false;
        }
        return true;
    }
    void Clear() {
        std::fill(store.begin(), store.end(), kEmpty);
    }
};

// One triangle's records and the request that points at them.
struct Triangle {
    ScreenVertex vertex[3];
    VertexIntensity shade[3];
    TexCoord uv[3];
    TriangleRequest request;

    Triangle(ScreenVertex a, ScreenVertex b, ScreenVertex c, uint32_t colour = 0xFFFFFF, double intensity = 1.0) {
        vertex[0] = a;
        vertex[1] = b;
        vertex[2] = c;
        for (int k = 0; k < 3; ++k) {
            shade[k] = {intensity, intensity, intensity};
            uv[k] = {vertex[k].x, vertex[k].y};  // texture placed like the screen
            if (vertex[k].depth == 0) vertex[k].depth = 1;
            request.vertex[k] = &vertex[k];
            request.shade[k] = &shade[k];
            request.uv[k] = &uv[k];
        }
        request.colour = colour;
    }
    TriangleRequest& Into(Target& target, const Image* texture = nullptr) {
        request.pixels = target.pixels;
        request.width = target.width;
        request.height = target.height;
        request.rowPad = target.rowPad;
        request.texture = texture;
        return request;
    }
};

// A texture that owns its texels.
struct Texture {
    std::vector<uint32_t> texels;
    Image image;
    Texture(int32_t w, int32_t h, uint32_t (*texel)(int32_t, int32_t)) : texels(static_cast<size_t>(w) * h) {
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) texels[static_cast<size_t>(r) * w + c] = texel(c, r);
        image.pixels = texels.data();
        image.width = w;
        image.height = h;
        image.pixelCount = static_cast<int64_t>(texels.size());
    }
    uint32_t operator()(int32_t c, int32_t r) const { return texels[static_cast<size_t>(r) * image.width + c]; }
};

// A texel scaled by a factor of 255 in every channel.
uint32_t Full(uint32_t texel) {
    auto byte = [&](int shift) { return (((texel >> shift) & 0xFFu) * 255u / 256u) << shift; };
    return (texel & 0xFF000000u) | byte(16) | byte(8) | byte(0);
}

// Column and row in the green and blue bytes, offset by one so that a factor
// of 255 gives them back exactly; a varied red byte and top byte.
uint32_t Coded(int32_t c, int32_t r) {
    return 0x5A000000u | (static_cast<uint32_t>((c * 37 + r * 11) & 0xFF) << 16) |
           (static_cast<uint32_t>((c + 1) & 0xFF) << 8) | static_cast<uint32_t>((r + 1) & 0xFF);
}
int32_t CodedColumn(uint32_t pixel) { return static_cast<int32_t>((pixel >> 8) & 0xFF); }
int32_t CodedRow(uint32_t pixel) { return static_cast<int32_t>(pixel & 0xFF); }

using Draw = void (*)(TriangleRequest&);
const Draw kModes[] = {DrawTriangleMode1, DrawTriangleMode4, DrawTriangleMode5};

// ---------------------------------------------------------------- mode 1

TEST(RasterMode1, FillsTheFiftyFivePixelTriangle) {
    Target target(16, 16);
    Triangle t({0, 0}, {10, 0}, {0, 10}, 0xFF8040);
    DrawTriangleMode1(t.Into(target));
    EXPECT_EQ(target.Covered(), 55);
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            const bool inside = r <= 9 && c <= 9 - r;
            EXPECT_EQ(target.Written(c, r), inside) << c << "," << r;
            if (inside) {
                EXPECT_EQ(target.At(c, r), 0x00FF8040u);
            }
        }
    }
    EXPECT_TRUE(target.GuardIntact());
}

TEST(RasterMode1, PointedTopLeavesItsFirstRowEmpty) {
    Target target(16, 16);
    Triangle t({5, 0}, {0, 10}, {10, 10});
    DrawTriangleMode1(t.Into(target));
    for (int c = 0; c < 16; ++c) EXPECT_FALSE(target.Written(c, 0));
    for (int r = 1; r <= 10; ++r) {
        int n = 0;
        for (int c = 0; c < 16; ++c) n += target.Written(c, r);
        EXPECT_GT(n, 0) << "row " << r;
    }
    for (int c = 0; c < 16; ++c) EXPECT_FALSE(target.Written(c, 11));
    EXPECT_TRUE(target.GuardIntact());
}

TEST(RasterAllModes, DrawNothingWhenWhollyOutsideOrDegenerate) {
    Texture texture(64, 64, Coded);
    const double w = 20, h = 16;
    const ScreenVertex cases[][3] = {
        {{-1, 2}, {-5, 9}, {-0.01, 14}},        // left
        {{w, 2}, {w + 5, 9}, {w + 30, 14}},     // right, x = width is outside
        {{2, -1}, {9, -5}, {14, -0.01}},        // top
        {{2, h}, {9, h + 5}, {14, h + 30}},     // bottom
        {{1, 5.2}, {10, 4.8}, {15, 5.4}},       // one row after rounding
        {{1, 1}, {5, 5}, {9, 9}},               // collinear: w = 0
    };
    for (Draw draw : kModes) {
        for (const auto& c : cases) {
            Target target(20, 16);
            Triangle t(c[0], c[1], c[2]);
            draw(t.Into(target, &texture.image));
            EXPECT_EQ(target.Covered(), 0);
            EXPECT_TRUE(target.GuardIntact());
        }
    }
}

TEST(RasterAllModes, CutsReachTheirEdgesAsTheyShould) {
    auto columns = [](Target& t, int c) {
        int n = 0;
        for (int r = 0; r < t.height; ++r) n += t.Written(c, r);
        return n;
    };
    auto rows = [](Target& t, int r) {
        int n = 0;
        for (int c = 0; c < t.width; ++c) n += t.Written(c, r);
        return n;
    };
    {  // Right: the cut corner stands on column width-1, which is excluded.
        Target target(20, 16);
        Triangle t({2, 2}, {40, 2}, {2, 12});
        DrawTriangleMode1(t.Into(target));
        EXPECT_GT(columns(target, 18), 0);
        EXPECT_EQ(columns(target, 19), 0);
        EXPECT_TRUE(target.GuardIntact());
    }
    {  // Bottom: rows are included at both ends.
        Target target(20, 16);
        Triangle t({2, 2}, {12, 2}, {2, 40});
        DrawTriangleMode1(t.Into(target));
        EXPECT_GT(rows(target, 15), 0);
        EXPECT_TRUE(target.GuardIntact());
    }
    {  // Left and top reach column 0 and row 0.
        Target target(20, 16);
        Triangle t({-10, -10}, {15, -3}, {-3, 14});
        DrawTriangleMode1(t.Into(target));
        EXPECT_GT(columns(target, 0), 0);
        EXPECT_GT(rows(target, 0), 0);
        EXPECT_TRUE(target.GuardIntact());
    }
    // Corners that pass the bottom test but round to row `height`: the flat
    // bottom there is not drawn.
    Texture texture(64, 64, Coded);
    for (Draw draw : kModes) {
        Target target(20, 16);
        Triangle t({2, 2}, {2, 15.7}, {12, 15.6});
        draw(t.Into(target, &texture.image));
        EXPECT_GT(rows(target, 15), 0);
        EXPECT_TRUE(target.GuardIntact());
    }
}

TEST(RasterMode1, NeighboursShareRowsButNotColumns) {
    // Diagonal shared edge: no pixel twice. Horizontal shared edge: the row is
    // drawn by both.
    Target a(32, 32), b(32, 32);
    Triangle upper({0, 0}, {30, 0}, {30, 27}), lower({0, 0}, {30, 27}, {0, 27});
    DrawTriangleMode1(upper.Into(a));
    DrawTriangleMode1(lower.Into(b));
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c) EXPECT_FALSE(a.Written(c, r) && b.Written(c, r)) << c << "," << r;

    Target top(32, 32), bottom(32, 32);
    Triangle above({4, 2}, {28, 10}, {4, 10}), below({4, 10}, {28, 10}, {16, 20});
    DrawTriangleMode1(above.Into(top));
    DrawTriangleMode1(below.Into(bottom));
    int shared = 0;
    for (int c = 0; c < 32; ++c) shared += top.Written(c, 10) && bottom.Written(c, 10);
    EXPECT_GT(shared, 10);
}

TEST(RasterMode1, GouraudStepsAcrossTheSpan) {
    // Red from intensity 0 at the left to 1 at (64, 0): flat top, long edge on
    // the left, so every row starts at 0 and steps by 255 * 65536 / 64.
    Target target(80, 70);
    Triangle t({0, 0}, {64, 0}, {0, 64}, 0xFF0000);
    t.shade[0] = {0, 0, 0};
    t.shade[1] = {1, 0, 0};
    t.shade[2] = {0, 0, 0};
    DrawTriangleMode1(t.Into(target));
    const uint32_t step = 255u * 65536u / 64u;
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64 - r; ++c) {
            ASSERT_TRUE(target.Written(c, r));
            EXPECT_EQ(target.At(c, r), ((c * step) >> 16) << 16) << c << "," << r;
        }
    }
}

TEST(RasterMode1, ChannelsWrapWithinTheirOwnByte) {
    Target target(16, 16);
    Triangle twice({0, 0}, {12, 0}, {0, 12}, 0x808080, 2.0);  // 256 -> 0
    DrawTriangleMode1(twice.Into(target));
    EXPECT_EQ(target.At(1, 1), 0u);
    Triangle more({0, 0}, {12, 0}, {0, 12}, 0x808080, 2.5);  // 320 -> 64
    DrawTriangleMode1(more.Into(target));
    EXPECT_EQ(target.At(1, 1), 0x404040u);
    Triangle negative({0, 0}, {12, 0}, {0, 12}, 0x000001, -1.0);  // -1 -> 255
    DrawTriangleMode1(negative.Into(target));
    EXPECT_EQ(target.At(1, 1), 0x0000FFu);
}

// ---------------------------------------------------------------- clipping

struct Piece {
    ScreenVertex vertex[3];
    VertexIntensity shade[3];
    TexCoord uv[3];
    const ScreenVertex* where[3];
};

template <typename Cut>
std::vector<Piece> Pieces(TriangleRequest& request, bool withUv) {
    std::vector<Piece> pieces;
    raster::ClipTriangle<Cut>(request, [&](const TriangleRequest& r) {
        Piece p;
        for (int k = 0; k < 3; ++k) {
            p.vertex[k] = *r.vertex[k];
            p.shade[k] = *r.shade[k];
            if (withUv) p.uv[k] = *r.uv[k];
            p.where[k] = r.vertex[k];
        }
        pieces.push_back(p);
    });
    return pieces;
}

TEST(RasterClip, OneCornerBeyondTheRightMakesTwoPieces) {
    Target target(20, 16);
    // o = corner 0 at x 30; p = corner 1, q = corner 2.
    Triangle t({30, 0}, {10, 10}, {10, 0});
    t.shade[0] = {1, 0, 0};
    t.shade[1] = {0, 0, 0};
    t.shade[2] = {0, 1, 0};
    t.Into(target);
    t.request.uv[0] = t.request.uv[1] = t.request.uv[2] = nullptr;  // mode 1 never reads them
    const auto pieces = Pieces<raster::LinearCut<false>>(t.request, false);
    ASSERT_EQ(pieces.size(), 2u);
    // P1 on o-p is computed at x = 20 (y 5, red 0.5) and stands on x = 19.
    const Piece& first = pieces[0];
    EXPECT_EQ(first.vertex[0].x, 19);
    EXPECT_EQ(first.vertex[0].y, 5);
    EXPECT_EQ(first.shade[0].red, 0.5);
    EXPECT_EQ(first.vertex[1].x, 10);
    EXPECT_EQ(first.vertex[2].x, 10);
    // P2 on o-q at x = 20: y 0, red 0.5, green 0.5; it replaces p.
    const Piece& second = pieces[1];
    EXPECT_EQ(second.vertex[0].x, 19);
    EXPECT_EQ(second.vertex[0].y, 5);
    EXPECT_EQ(second.vertex[1].x, 19);
    EXPECT_EQ(second.vertex[1].y, 0);
    EXPECT_EQ(second.shade[1].green, 0.5);
    EXPECT_EQ(second.vertex[2].x, 10);
    EXPECT_EQ(t.vertex[0].x, 30);
    EXPECT_EQ(t.request.shade[0], &t.shade[0]);
}

TEST(RasterClip, CutCornersCarryTheirTextureCoordinates) {
    {  // Two corners beyond the left: one piece, cut at x = 0.
        Target target(64, 64);
        Triangle t({-10, 0}, {30, 0}, {-10, 40});
        for (int k = 0; k < 3; ++k) t.uv[k] = {t.vertex[k].x + 20, t.vertex[k].y + 20};
        t.Into(target);
        const auto pieces = Pieces<raster::LinearCut<true>>(t.request, true);
        ASSERT_EQ(pieces.size(), 1u);
        const Piece& p = pieces[0];
        const double expect[3][4] = {{0, 0, 20, 20}, {30, 0, 50, 20}, {0, 30, 20, 50}};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(p.vertex[k].x, expect[k][0]);
            EXPECT_EQ(p.vertex[k].y, expect[k][1]);
            EXPECT_EQ(p.uv[k].u, expect[k][2]);
            EXPECT_EQ(p.uv[k].v, expect[k][3]);
        }
    }
    {  // One corner beyond the right: the cut corners stand on width - 1 but
       // carry the coordinates of x = width.
        Target target(20, 40);
        Triangle t({0, 0}, {30, 0}, {0, 30});
        for (int k = 0; k < 3; ++k) t.uv[k] = {t.vertex[k].x + 20, t.vertex[k].y + 20};
        t.Into(target);
        const auto pieces = Pieces<raster::LinearCut<true>>(t.request, true);
        ASSERT_EQ(pieces.size(), 2u);
        int onEdge = 0;
        for (const Piece& p : pieces) {
            for (int k = 0; k < 3; ++k) {
                if (p.vertex[k].x != 19) continue;
                ++onEdge;
                EXPECT_EQ(p.uv[k].u, 40);
                EXPECT_EQ(p.uv[k].v - p.vertex[k].y, 20);
            }
        }
        EXPECT_EQ(onEdge, 3);  // P1 in both pieces, P2 in the second
    }
}

TEST(RasterClip, PerspectiveCutIsCorrectAndLeavesTheCornersAlone) {
    Target target(40, 40);
    // A halfway cut between A (depth 1, u 0) and B (depth 3, u 30).
    Triangle t({-10, 4, 1}, {10, 4, 3}, {10, 20, 3});
    t.uv[0] = {0, 0};
    t.uv[1] = {30, 0};
    t.uv[2] = {30, 10};
    t.shade[0] = {0, 0, 0};
    t.shade[1] = {1, 1, 1};
    t.Into(target);
    const ScreenVertex before[3] = {t.vertex[0], t.vertex[1], t.vertex[2]};
    const auto pieces = Pieces<raster::PerspectiveCut>(t.request, true);
    ASSERT_EQ(pieces.size(), 2u);
    const Piece& first = pieces[0];
    EXPECT_DOUBLE_EQ(first.vertex[0].x, 0);
    EXPECT_DOUBLE_EQ(first.vertex[0].depth, 1.5);
    EXPECT_DOUBLE_EQ(first.uv[0].u, 7.5);
    EXPECT_DOUBLE_EQ(first.shade[0].red, 0.5);  // linear on the screen
    EXPECT_NE(first.where[0], &t.vertex[0]);
    EXPECT_EQ(first.where[1], &t.vertex[1]);
    EXPECT_EQ(0, std::memcmp(before, t.vertex, sizeof before));
    EXPECT_EQ(t.request.vertex[0], &t.vertex[0]);
}

TEST(RasterAllModes, RestoreEverythingAfterCuttingAllFourEdges) {
    Texture texture(128, 128, Coded);
    for (Draw draw : kModes) {
        Target target(32, 24);
        Triangle t({-20, 12, 2}, {50, -15, 4}, {10, 60, 8});
        for (int k = 0; k < 3; ++k) t.uv[k] = {t.vertex[k].x + 30, t.vertex[k].y + 30};
        t.Into(target, &texture.image);
        Triangle copy = t;
        const TriangleRequest request = t.request;
        draw(t.request);
        EXPECT_EQ(0, std::memcmp(copy.vertex, t.vertex, sizeof t.vertex));
        EXPECT_EQ(0, std::memcmp(copy.shade, t.shade, sizeof t.shade));
        EXPECT_EQ(0, std::memcmp(copy.uv, t.uv, sizeof t.uv));
        EXPECT_EQ(0, std::memcmp(&request, &t.request, sizeof request));
        EXPECT_GT(target.Covered(), 200);
        EXPECT_TRUE(target.GuardIntact());
    }
}

// ---------------------------------------------------------------- mode 4

TEST(RasterMode4, HalfScreenTrianglesCoverEveryColumnButTheLastOnce) {
    Texture texture(320, 240, [](int32_t c, int32_t r) {
        const uint32_t mixed = (static_cast<uint32_t>(c) * 2654435761u >> 8) ^ (static_cast<uint32_t>(r) * 40503u);
        return (static_cast<uint32_t>(r & 0x7F) << 24) | (mixed & 0xFFFFFFu);
    });
    Target a(320, 240, 0), b(320, 240, 0);
    Triangle upper({0, 0}, {319, 0}, {319, 239}), lower({0, 0}, {319, 239}, {0, 239});
    DrawTriangleMode4(upper.Into(a, &texture.image));
    DrawTriangleMode4(lower.Into(b, &texture.image));
    for (int r = 0; r < 240; ++r) {
        for (int c = 0; c < 320; ++c) {
            const int n = a.Written(c, r) + b.Written(c, r);
            ASSERT_EQ(n, c == 319 ? 0 : 1) << c << "," << r;
            if (n) {
                ASSERT_EQ(a.Written(c, r) ? a.At(c, r) : b.At(c, r), Full(texture(c, r))) << c << "," << r;
            }
        }
    }
}

TEST(RasterMode4, ShadesTexelsAndKeepsTheirTopByte) {
    Texture white(4, 4, [](int32_t, int32_t) { return 0xABFFFFFFu; });
    Target target(8, 8);
    Triangle half({0, 0}, {3, 0}, {0, 3}, 0xFFFFFF, 0.5);  // 127.5 -> 127
    DrawTriangleMode4(half.Into(target, &white.image));
    EXPECT_EQ(target.At(0, 0), 0xAB7E7E7Eu);
    Triangle dark({0, 0}, {3, 0}, {0, 3}, 0xFFFFFF, 0.0);
    DrawTriangleMode4(dark.Into(target, &white.image));
    EXPECT_EQ(target.At(0, 0), 0xAB000000u);
    Triangle wrapped({0, 0}, {3, 0}, {0, 3}, 0x808080, 2.0);  // 256 -> 0
    DrawTriangleMode4(wrapped.Into(target, &white.image));
    EXPECT_EQ(target.At(0, 0), 0xAB000000u);
    Triangle tinted({0, 0}, {3, 0}, {0, 3}, 0x80FF40, 1.0);
    DrawTriangleMode4(tinted.Into(target, &white.image));
    EXPECT_EQ(target.At(0, 0), 0xAB7FFE3Fu);
}

TEST(RasterMode4, ShadesLikeMode1OnAWhiteTexture) {
    // Same set-up, so each channel factor equals mode 1's byte for that pixel.
    Texture white(64, 64, [](int32_t, int32_t) { return 0x00FFFFFFu; });
    Target flat(70, 70), textured(70, 70);
    Triangle t({1, 2}, {66, 9}, {7, 63}, 0xF0C0A0);
    t.shade[0] = {0.1, 0.9, 0.4};
    t.shade[1] = {1.0, 0.2, 0.7};
    t.shade[2] = {0.5, 0.6, 0.0};
    for (auto& uv : t.uv) uv = {10, 10};
    DrawTriangleMode1(t.Into(flat));
    DrawTriangleMode4(t.Into(textured, &white.image));
    EXPECT_GT(flat.Covered(), 1500);
    for (int r = 0; r < 70; ++r) {
        for (int c = 0; c < 70; ++c) {
            ASSERT_EQ(flat.Written(c, r), textured.Written(c, r));
            if (flat.Written(c, r)) {
                ASSERT_EQ(textured.At(c, r), Full(flat.At(c, r))) << c << "," << r;
            }
        }
    }
}

TEST(RasterMode4, ClampsCoordinatesOutsideThePicture) {
    Texture texture(4, 4, Coded);
    Target target(12, 12);
    Triangle far({0, 0}, {10, 0}, {0, 10});
    for (auto& uv : far.uv) uv = {100, 100};
    DrawTriangleMode4(far.Into(target, &texture.image));
    EXPECT_EQ(target.At(2, 2), Full(texture(3, 3)));
    for (auto& uv : far.uv) uv = {-50, -0.75};
    DrawTriangleMode4(far.Into(target, &texture.image));
    EXPECT_EQ(target.At(2, 2), Full(texture(0, 0)));
    // A cut at the bottom carries v = height and samples one row beyond.
    Texture screen(320, 240, Coded);
    Target full(320, 240, 0);
    Triangle over({10, 200}, {100, 200}, {10, 300});
    DrawTriangleMode4(over.Into(full, &screen.image));
    EXPECT_EQ(CodedRow(full.At(10, 239)), 239);
}

TEST(RasterMode4, ReadsOnlyTheRowsPresentInStorage) {
    // A short picture file: 4 x 4 declared, two rows present.
    std::shared_ptr<uint32_t[]> storage(new uint32_t[8]);
    for (int i = 0; i < 8; ++i) storage[i] = Coded(i % 4, i / 4);
    Image image;
    image.storage = storage;
    image.pixels = storage.get();
    image.width = 4;
    image.height = 4;
    image.pixelCount = 8;
    Target target(12, 12);
    Triangle t({0, 0}, {10, 0}, {0, 10});
    for (auto& uv : t.uv) uv = {2, 3};
    DrawTriangleMode4(t.Into(target, &image));
    EXPECT_EQ(target.At(1, 1), Full(Coded(2, 1)));
}

TEST(RasterMode4, LeftAndTopCutsKeepTheTextureInPlace) {
    Texture texture(128, 128, Coded);
    // The cut pieces have whole-pixel corners, so they must match the same
    // triangle given already cut.
    struct Case { ScreenVertex whole[3], cut[3]; };
    const Case cases[] = {
        {{{-10, 0}, {30, 0}, {-10, 40}}, {{0, 0}, {30, 0}, {0, 30}}},
        {{{0, -10}, {0, 30}, {40, -10}}, {{0, 0}, {0, 30}, {30, 0}}},
    };
    for (const Case& k : cases) {
        Target a(64, 64), b(64, 64);
        Triangle whole(k.whole[0], k.whole[1], k.whole[2]), cut(k.cut[0], k.cut[1], k.cut[2]);
        for (int i = 0; i < 3; ++i) {
            whole.uv[i] = {whole.vertex[i].x + 20, whole.vertex[i].y + 20};
            cut.uv[i] = {cut.vertex[i].x + 20, cut.vertex[i].y + 20};
        }
        DrawTriangleMode4(whole.Into(a, &texture.image));
        DrawTriangleMode4(cut.Into(b, &texture.image));
        EXPECT_GT(a.Covered(), 300);
        EXPECT_EQ(a.store, b.store);
        EXPECT_EQ(CodedColumn(a.At(0, 5)), 20);
        EXPECT_EQ(CodedRow(a.At(5, 0)), 20);
    }
}

// ---------------------------------------------------------------- mode 5

TEST(RasterMode5, EqualDepthsSampleLikeAnAffineMapper) {
    Texture texture(64, 64, Coded);
    for (Draw draw : {DrawTriangleMode4, DrawTriangleMode5}) {
        Target a(64, 64), b(64, 64);
        Triangle upper({0, 0, 2}, {63, 0, 2}, {63, 63, 2}), lower({0, 0, 2}, {63, 63, 2}, {0, 63, 2});
        draw(upper.Into(a, &texture.image));
        draw(lower.Into(b, &texture.image));
        int covered = 0;
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 64; ++c) {
                for (Target* t : {&a, &b}) {
                    if (!t->Written(c, r)) continue;
                    ++covered;
                    ASSERT_EQ(t->At(c, r), Full(texture(c, r))) << c << "," << r;
                }
            }
        }
        EXPECT_EQ(covered, 63 * 64);
    }
}

TEST(RasterMode5, DividesExactlyEveryEighthPixel) {
    // Flat top with the long edge x = 0 on the left: every span starts at
    // column 0. Depth grows from 1 to 3 along x, so u = (21x/64) / (1 - x/96)
    // and v = (63y/64) / (1 - x/96).
    Texture texture(64, 64, Coded);
    Target target(80, 80);
    Triangle t({0, 0, 1}, {64, 0, 3}, {0, 64, 1});
    t.uv[0] = {0, 0};
    t.uv[1] = {63, 0};
    t.uv[2] = {0, 63};
    DrawTriangleMode5(t.Into(target, &texture.image));
    auto sampled = [](double position) {  // 16.16, truncated, plus half a texel
        return static_cast<int32_t>((static_cast<int64_t>(std::trunc(position * 65536)) + 32768) >> 16);
    };
    int checked = 0;
    for (int r = 0; r < 64; ++r) {
        const int end = 64 - r;
        for (int c = 0; c < end; ++c) ASSERT_TRUE(target.Written(c, r)) << c << "," << r;
        EXPECT_FALSE(target.Written(end, r));
        for (int c = 0; c < end; c += 8) {
            const double u = (21.0 * c / 64) / (1 - c / 96.0);
            const double v = (63.0 * r / 64) / (1 - c / 96.0);
            const int32_t column = CodedColumn(target.At(c, r));
            EXPECT_TRUE(column == sampled(u - 1e-7) || column == sampled(u + 1e-7)) << c << "," << r;
            const int32_t row = CodedRow(target.At(c, r));
            EXPECT_TRUE(row == sampled(v - 1e-7) || row == sampled(v + 1e-7)) << c << "," << r;
            // In between, eight equal steps: never backwards, never past the
            // next exact position.
            const double next = (21.0 * (c + 8) / 64) / (1 - (c + 8) / 96.0);
            for (int i = 1; i < 8 && c + i < end; ++i) {
                EXPECT_GE(CodedColumn(target.At(c + i, r)), CodedColumn(target.At(c + i - 1, r)));
                EXPECT_LE(CodedColumn(target.At(c + i, r)), sampled(next + 1e-7));
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 250);
    // With u = x at equal depth, a segment runs from uS = 0 to uE = 8 * 65536
    // and samples columns 0 to 7, one per pixel.
    Target flat(16, 16);
    Triangle row({0, 0, 1}, {16, 0, 1}, {0, 16, 1});
    DrawTriangleMode5(row.Into(flat, &texture.image));
    for (int c = 0; c < 8; ++c) EXPECT_EQ(CodedColumn(flat.At(c, 0)), c);
}

TEST(RasterMode5, LeavesTheRestOfARowPastTheTextureEdge) {
    Texture texture(16, 8, Coded);
    Target target(40, 20);
    Triangle t({0, 0, 1}, {40, 0, 1}, {0, 20, 1});
    DrawTriangleMode5(t.Into(target, &texture.image));
    for (int c = 0; c < 16; ++c) EXPECT_EQ(target.At(c, 2), Full(texture(c, 2)));
    for (int c = 16; c < 40; ++c) EXPECT_FALSE(target.Written(c, 2)) << c;
    for (int r = 8; r < 20; ++r) EXPECT_FALSE(target.Written(0, r)) << r;  // v past the last row
    EXPECT_TRUE(target.GuardIntact());
}

TEST(RasterMode5, SamplesTheNearestTexelAndStopsAtTheEdge) {
    Texture texture(256, 4, [](int32_t c, int32_t r) { return Coded(c % 200, r); });
    struct Case { double u; int expect; };  // expect -1: nothing written
    for (Case k : {Case{255.4, 255}, Case{255.5, -1}, Case{-0.25, 0}, Case{-1.0, -1}}) {
        Target target(8, 8);
        Triangle t({0, 0, 2}, {6, 0, 2}, {0, 6, 2});
        for (auto& uv : t.uv) uv = {k.u, 1};
        DrawTriangleMode5(t.Into(target, &texture.image));
        if (k.expect < 0) {
            EXPECT_EQ(target.Covered(), 0) << k.u;
        } else {
            EXPECT_EQ(target.At(1, 1), Full(texture(k.expect, 1))) << k.u;
        }
    }
}

TEST(RasterAllModes, RefuseUnusableRequests) {
    Texture texture(8, 8, Coded);
    for (Draw draw : kModes) {
        Target target(16, 16);
        Triangle t({0, 0}, {10, 0}, {0, 10});
        TriangleRequest& r = t.Into(target, &texture.image);
        TriangleRequest bad = r;
        bad.width = 0;
        draw(bad);
        bad = r;
        bad.height = -3;
        draw(bad);
        bad = r;
        bad.rowPad = -1;
        draw(bad);
        bad = r;
        bad.pixels = nullptr;
        draw(bad);
        EXPECT_EQ(target.Covered(), 0);
        if (draw != DrawTriangleMode1) {
            bad = r;
            bad.texture = nullptr;
            draw(bad);
            EXPECT_EQ(target.Covered(), 0);
        }
        // Corners that are not numbers, or too large to step.
        t.vertex[1].x = std::nan("");
        draw(r);
        t.vertex[1] = {10, 0, 1};
        t.shade[2].red = 1e12;
        draw(r);
        EXPECT_EQ(target.Covered(), 0);
        EXPECT_TRUE(target.GuardIntact());
    }
}

}  // namespace
