// Mode 5: perspective-correct shaded texture on the shared scan converter.
// 1/z, u/z and v/z are stepped linearly in doubles; the texture position is
// divided out exactly every eight pixels and stepped in 16.16 in between.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/clip_internal.h"
#include "raster/fixed_internal.h"
#include "raster/scan_internal.h"
#include "raster/triangle.h"

namespace {

using raster::SaturateToInt32;
using raster::TextureView;

// Left uninitialised: filled whole before use, and zeroing three of them
// costs more than a small triangle's row.
struct PerspectiveCorner {
    int32_t x;
    int32_t y;
    double w;  // 1 / depth
    double u;  // u / depth
    double v;  // v / depth
    int32_t channel[3];
};

// A double texture position as 16.16. NaN, infinities and positions beyond
// 32 bits become INT32_MIN, which reads far past any texture and so ends the
// row like any other position outside it.
inline uint32_t TexturePosition(double value) {
    int32_t position;
    if (!raster::TruncToInt32(value, position)) position = INT32_MIN;
    return static_cast<uint32_t>(position);
}

struct TexturePair {
    uint32_t u, v;
};

// U / W and V / W as texture positions, both divisions in one instruction.
// The truncating conversion gives INT32_MIN itself for every value that
// TexturePosition maps to it.
inline TexturePair TexturePositions(double u, double v, double w) {
#if defined(__SSE2__)
    const __m128d scaled = _mm_mul_pd(_mm_div_pd(_mm_set_pd(v, u), _mm_set1_pd(w)), _mm_set1_pd(65536.0));
    const __m128i both = _mm_cvttpd_epi32(scaled);
    return {static_cast<uint32_t>(_mm_cvtsi128_si32(both)),
            static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(both, 4)))};
#else
    return {TexturePosition(u / w * 65536.0), TexturePosition(v / w * 65536.0)};
#endif
}

// (end - start) / 8 on the signed positions, truncating toward zero.
inline uint32_t SegmentStep(uint32_t start, uint32_t end) {
    const int64_t difference = static_cast<int64_t>(static_cast<int32_t>(end)) - static_cast<int32_t>(start);
    return static_cast<uint32_t>(difference / 8);
}

// What the left side carries down the rows and a span starts from. The
// channels run modulo 2^32.
struct SpanState {
    double w, u, v;
    uint32_t red, green, blue;

    SpanState& operator+=(const SpanState& step) {
        w += step.w;
        u += step.u;
        v += step.v;
        red += step.red;
        green += step.green;
        blue += step.blue;
        return *this;
    }
};

struct SpanSteps {
    double w, u, v;  // over eight pixels
    uint32_t red, green, blue;  // per pixel
};

// Shades `count` pixels from texture position (tu, tv), stepping (du, dv),
// testing each against the texture: at the first outside (a negative
// position reads as a huge unsigned one) the rest of the row is left as it
// was. False when the row ended so.
inline bool CheckedRun(uint32_t* pixel, int32_t count, uint32_t tu, uint32_t tv, uint32_t du, uint32_t dv,
                       SpanState& s, const SpanSteps& step, const TextureView& texture) {
    const uint32_t width = static_cast<uint32_t>(texture.width);
    const uint32_t rows = static_cast<uint32_t>(texture.rows);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t row = tv >> 16;
        const uint32_t column = tu >> 16;
        if (row >= rows || column >= width) return false;
        pixel[i] = raster::ShadeTexel(texture.texels[static_cast<size_t>(row) * width + column], s.red, s.green,
                                      s.blue);
        tu += du;
        tv += dv;
        s.red += step.red;
        s.green += step.green;
        s.blue += step.blue;
    }
    return true;
}

void SpanMode5(uint32_t* out, int32_t count, SpanState s, const SpanSteps& step, const TextureView& texture) {
    TexturePair start = TexturePositions(s.u, s.v, s.w);
    int32_t done = 0;
    for (;;) {
        const int32_t n = std::min(count - done, 8);
        uint32_t* pixel = out + done;
        if (n == 1) {
            // A lone pixel samples the segment's start; the segment's end
            // would only set the steps after it.
            CheckedRun(pixel, 1, start.u + 32768u, start.v + 32768u, 0, 0, s, step, texture);
            return;
        }
        // The end of this segment, eight pixels on, even when the span ends
        // sooner.
        s.w += step.w;
        s.u += step.u;
        s.v += step.v;
        const TexturePair end = TexturePositions(s.u, s.v, s.w);
        const uint32_t du = SegmentStep(start.u, end.u);
        const uint32_t dv = SegmentStep(start.v, end.v);
        uint32_t tu = start.u + 32768u;
        uint32_t tv = start.v + 32768u;
        if (n < 4) {
            // Testing a few pixels each is cheaper than proving them inside.
            if (!CheckedRun(pixel, n, tu, tv, du, dv, s, step, texture)) return;
        } else {
            // The position moves linearly within a segment: with both ends
            // inside the texture, every pixel between is, and none needs its
            // own test.
            const int64_t uLast = static_cast<int64_t>(tu) + static_cast<int64_t>(static_cast<int32_t>(du)) * (n - 1);
            const int64_t vLast = static_cast<int64_t>(tv) + static_cast<int64_t>(static_cast<int32_t>(dv)) * (n - 1);
            const int64_t uLimit = static_cast<int64_t>(texture.width) << 16;
            const int64_t vLimit = static_cast<int64_t>(texture.rows) << 16;
            if (std::max<int64_t>(tu, uLast) < uLimit && uLast >= 0 && std::max<int64_t>(tv, vLast) < vLimit &&
                vLast >= 0) {
                const uint32_t* texels = texture.texels;
                const uint32_t width = static_cast<uint32_t>(texture.width);
                auto fetch = [&]() {
                    const uint32_t texel = texels[static_cast<size_t>(tv >> 16) * width + (tu >> 16)];
                    tu += du;
                    tv += dv;
                    return texel;
                };
                raster::ShadeRun(pixel, n, fetch, s.red, s.green, s.blue, step.red, step.green, step.blue);
            } else if (!CheckedRun(pixel, n, tu, tv, du, dv, s, step, texture)) {
                return;
            }
        }
        done += n;
        if (done >= count) return;
        // Restart from the exact position so truncation in du and dv does
        // not pile up beyond one segment.
        start = end;
    }
}

struct Mode5Span {
    const TextureView& texture;

    void operator()(uint32_t* out, int32_t count, const SpanState& start, const SpanSteps& step) const {
        SpanMode5(out, count, start, step, texture);
    }
};

// The scan converter's policy for mode 5 (see scan_internal.h): edge
// positions in doubles from the corners' whole pixels, with no half-pixel
// offset, rounded to columns on every row.
struct PerspectiveEdges {
    using Corner = PerspectiveCorner;
    using Position = double;
    using Carried = SpanState;
    using PerPixel = SpanSteps;
    struct EdgeStep {
        double x, w, u, v;
        int64_t channel[3];
    };

    static EdgeStep Edge(const Corner& a, const Corner& b, int32_t rows) {
        EdgeStep e;
        e.x = static_cast<double>(b.x - a.x);
        e.w = b.w - a.w;
        e.u = b.u - a.u;
        e.v = b.v - a.v;
        for (int i = 0; i < 3; ++i) e.channel[i] = static_cast<int64_t>(b.channel[i]) - a.channel[i];
        if (rows != 0) {
            raster::DividePair(e.x, e.w, rows);
            raster::DividePair(e.u, e.v, rows);
            // Differences of 32-bit values: truncating a double division is
            // exact (see DivideTruncating).
            double red = static_cast<double>(e.channel[0]), green = static_cast<double>(e.channel[1]);
            raster::DividePair(red, green, rows);
            e.channel[0] = static_cast<int64_t>(red);
            e.channel[1] = static_cast<int64_t>(green);
            e.channel[2] = raster::DivideTruncating(e.channel[2], rows);
        }
        return e;
    }

    // W, U and V step over eight pixels, the channels per pixel.
    static SpanSteps Slopes(const EdgeStep& e01, const EdgeStep& e02, double w) {
        SpanSteps span;
        double dw = e02.w - e01.w, du = e02.u - e01.u;
        raster::DividePair(dw, du, w);
        span.w = dw * 8;
        span.u = du * 8;
        span.v = (e02.v - e01.v) / w * 8;
        double red = static_cast<double>(e02.channel[0] - e01.channel[0]);
        double green = static_cast<double>(e02.channel[1] - e01.channel[1]);
        raster::DividePair(red, green, w);
        span.red = static_cast<uint32_t>(SaturateToInt32(red));
        span.green = static_cast<uint32_t>(SaturateToInt32(green));
        span.blue = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(e02.channel[2] - e01.channel[2]) / w));
        return span;
    }

    static SpanSteps FlatSlopes(const EdgeStep& e01, double w) {
        SpanSteps span;
        span.w = (-e01.w) / w * 8;
        span.u = (-e01.u) / w * 8;
        span.v = (-e01.v) / w * 8;
        span.red = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[0]) / w));
        span.green = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[1]) / w));
        span.blue = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(-e01.channel[2]) / w));
        return span;
    }

    static double At(int32_t x) { return x; }

    static SpanState Start(const Corner& c) {
        return SpanState{c.w, c.u, c.v, static_cast<uint32_t>(c.channel[0]), static_cast<uint32_t>(c.channel[1]),
                         static_cast<uint32_t>(c.channel[2])};
    }

    static SpanState Step(const EdgeStep& e) {
        return SpanState{e.w, e.u, e.v, static_cast<uint32_t>(e.channel[0]), static_cast<uint32_t>(e.channel[1]),
                         static_cast<uint32_t>(e.channel[2])};
    }

    // Both sides in one register where there is one for two doubles: one
    // addition steps them and one conversion rounds them, each lane exactly
    // as its own addition and RoundToNearest would. (Two separate doubles
    // left one of them in memory, on the path to every row's columns.)
    struct Sides {
#if defined(__SSE2__)
        __m128d both;  // left, right

        Sides(double left, double right) : both(_mm_set_pd(right, left)) {}
        void SetLeft(double left) { both = _mm_move_sd(both, _mm_set_sd(left)); }
        void SetRight(double right) { both = _mm_shuffle_pd(both, _mm_set_sd(right), 0); }
        Sides& operator+=(const Sides& step) {
            both = _mm_add_pd(both, step.both);
            return *this;
        }
        void Columns(int64_t& first, int64_t& end) const {
            const __m128i columns = _mm_cvtpd_epi32(both);
            first = _mm_cvtsi128_si32(columns);
            end = _mm_cvtsi128_si32(_mm_srli_si128(columns, 4));
        }
#else
        double left, right;

        Sides(double l, double r) : left(l), right(r) {}
        void SetLeft(double l) { left = l; }
        void SetRight(double r) { right = r; }
        Sides& operator+=(const Sides& step) {
            left += step.left;
            right += step.right;
            return *this;
        }
        void Columns(int64_t& first, int64_t& end) const {
            first = RoundToNearest(left);
            end = RoundToNearest(right);
        }
#endif
    };
};

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
    raster::ScanTriangle(PerspectiveEdges{}, c, request, Mode5Span{texture});
}

}  // namespace

void DrawTriangleMode5(TriangleRequest& request) {
    TextureView texture;
    if (!raster::CanDraw(request, true) || !raster::MakeTextureView(request.texture, texture)) return;
    raster::ClipTriangle<raster::PerspectiveCut>(
        request, [&texture](const TriangleRequest& piece) { FillTriangleMode5(piece, texture); });
}
