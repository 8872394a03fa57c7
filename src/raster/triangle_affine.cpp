// Modes 1 and 4: the shared scan converter stepping the three channels
// (mode 1) or the channels with u and v (mode 4) in 16.16 down the rows,
// with a span writer per mode.
#include <algorithm>
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
using raster::TruncToInt32;

// A corner rounded to pixels with its 16.16 values: red, green, blue, then in
// mode 4 u and v. Left uninitialised, like the records below: each is filled
// whole before use, and zeroing them costs more than a small triangle's
// pixels.
template <int N>
struct AffineCorner {
    int32_t x;
    int32_t y;
    int32_t value[N];
};

// 16.16 values carried down a side or stepped along a row. They run modulo
// 2^32, which is exact wherever the true value fits in 32 bits and wraps
// like the channel bytes otherwise. The loops over the N (3 or 5) values
// here and below are unrolled: as loops they cost more than their work, and
// the step once a row was the busiest line of a small triangle.
template <int N>
struct Values {
    uint32_t value[N];

    Values& operator+=(const Values& step) {
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) value[i] += step.value[i];
        return *this;
    }
};

// The scan converter's policy for modes 1 and 4 (see scan_internal.h). Edge
// positions are 16.16 plus half a pixel in 64 bits, so that no step
// overflows, even past the last row or on a very wide target. `bias` is
// added to the values carried from the corners, not to the steps.
template <int N>
struct AffineEdges {
    using Corner = AffineCorner<N>;
    using Position = int64_t;
    using Carried = Values<N>;
    using PerPixel = Values<N>;
    struct EdgeStep {
        int64_t x;
        int64_t value[N];
    };

    int32_t bias[N];

    // Differences stay below 2^48, so the divisions are exact.
    static int64_t PerRow(int64_t difference, int32_t rows) {
        return rows != 0 ? raster::DivideTruncating(difference, rows) : difference;
    }

    static EdgeStep Edge(const Corner& a, const Corner& b, int32_t rows) {
        EdgeStep e;
        e.x = PerRow((static_cast<int64_t>(b.x) - a.x) * 65536, rows);
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) e.value[i] = PerRow(static_cast<int64_t>(b.value[i]) - a.value[i], rows);
        return e;
    }

    static PerPixel Slopes(const EdgeStep& e01, const EdgeStep& e02, int64_t w) {
        PerPixel p;
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) {
            p.value[i] = static_cast<uint32_t>(SaturateToInt32(static_cast<double>(e02.value[i] - e01.value[i]) *
                                                               65536.0 / static_cast<double>(w)));
        }
        return p;
    }

    static PerPixel FlatSlopes(const EdgeStep& e01, int64_t w) {
        PerPixel p;
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) {
            p.value[i] = static_cast<uint32_t>(SaturateToInt32(raster::DivideTruncating(-e01.value[i], w)));
        }
        return p;
    }

    static Position At(int32_t x) { return static_cast<int64_t>(x) * 65536 + 32768; }

    Carried Start(const Corner& c) const {
        Carried v;
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) v.value[i] = static_cast<uint32_t>(c.value[i]) + static_cast<uint32_t>(bias[i]);
        return v;
    }

    static Carried Step(const EdgeStep& e) {
        Carried v;
#pragma GCC unroll 8
        for (int i = 0; i < N; ++i) v.value[i] = static_cast<uint32_t>(e.value[i]);
        return v;
    }

    // The two sides' positions; a row's columns are their integer parts.
    struct Sides {
        int64_t left, right;

        Sides(int64_t l, int64_t r) : left(l), right(r) {}
        void SetLeft(int64_t l) { left = l; }
        void SetRight(int64_t r) { right = r; }
        Sides& operator+=(const Sides& step) {
            left += step.left;
            right += step.right;
            return *this;
        }
        void Columns(int64_t& first, int64_t& end) const {
            first = left >> 16;
            end = right >> 16;
        }
    };
};

// Rounds a corner and computes its channel values. A corner outside
// 0..width x 0..height after rounding can only be a NaN that the clipping
// tests could not see; it, like a channel value beyond 32 bits, drops the
// triangle.
template <int N>
bool GatherCorner(const TriangleRequest& request, int k, AffineCorner<N>& corner) {
    const ScreenVertex& v = *request.vertex[k];
    corner.x = RoundToNearest(v.x);
    corner.y = RoundToNearest(v.y);
    if (corner.x < 0 || corner.x > request.width || corner.y < 0 || corner.y > request.height) {
        return false;
    }
    return raster::ChannelValues(*request.shade[k], request.colour, corner.value);
}

struct Mode1Span {
    void operator()(uint32_t* out, int32_t count, const Values<3>& start, const Values<3>& step) const {
        uint32_t red = start.value[0], green = start.value[1], blue = start.value[2];
        const uint32_t stepRed = step.value[0], stepGreen = step.value[1], stepBlue = step.value[2];
        int32_t i = 0;
#if defined(__SSE2__)
        if (count >= 4) {
            __m128i r = raster::FourPixelRun(red, stepRed);
            __m128i g = raster::FourPixelRun(green, stepGreen);
            __m128i b = raster::FourPixelRun(blue, stepBlue);
            const __m128i r4 = _mm_set1_epi32(static_cast<int>(4 * stepRed));
            const __m128i g4 = _mm_set1_epi32(static_cast<int>(4 * stepGreen));
            const __m128i b4 = _mm_set1_epi32(static_cast<int>(4 * stepBlue));
            const __m128i redMask = _mm_set1_epi32(0xFF0000);
            const __m128i greenMask = _mm_set1_epi32(0xFF00);
            const __m128i blueMask = _mm_set1_epi32(0xFF);
            for (; i + 4 <= count; i += 4) {
                const __m128i word = _mm_or_si128(_mm_and_si128(r, redMask),
                                                  _mm_or_si128(_mm_and_si128(_mm_srli_epi32(g, 8), greenMask),
                                                               _mm_and_si128(_mm_srli_epi32(b, 16), blueMask)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), word);
                r = _mm_add_epi32(r, r4);
                g = _mm_add_epi32(g, g4);
                b = _mm_add_epi32(b, b4);
            }
            red += static_cast<uint32_t>(i) * stepRed;
            green += static_cast<uint32_t>(i) * stepGreen;
            blue += static_cast<uint32_t>(i) * stepBlue;
        }
#endif
        for (; i < count; ++i) {
            // Integer parts modulo 256: a channel past 255 wraps within its
            // own byte.
            out[i] = (red & 0xFF0000u) | ((green >> 8) & 0xFF00u) | ((blue >> 16) & 0xFFu);
            red += stepRed;
            green += stepGreen;
            blue += stepBlue;
        }
    }
};

struct Mode4Span {
    TextureView texture;

    void operator()(uint32_t* out, int32_t count, const Values<5>& start, const Values<5>& step) const {
        uint32_t red = start.value[0], green = start.value[1], blue = start.value[2];
        uint32_t u = start.value[3], v = start.value[4];
        const uint32_t stepRed = step.value[0], stepGreen = step.value[1], stepBlue = step.value[2];
        const uint32_t stepU = step.value[3], stepV = step.value[4];
        const uint32_t* texels = texture.texels;
        const uint32_t width = static_cast<uint32_t>(texture.width);

        // u and v are linear along the span, so both ends inside the texture
        // means every pixel is.
        const int64_t uFirst = static_cast<int32_t>(u);
        const int64_t vFirst = static_cast<int32_t>(v);
        const int64_t uLast = uFirst + static_cast<int64_t>(static_cast<int32_t>(stepU)) * (count - 1);
        const int64_t vLast = vFirst + static_cast<int64_t>(static_cast<int32_t>(stepV)) * (count - 1);
        const int64_t uLimit = static_cast<int64_t>(texture.width) * 65536;
        const int64_t vLimit = static_cast<int64_t>(texture.rows) * 65536;
        if (std::min(uFirst, uLast) >= 0 && std::max(uFirst, uLast) < uLimit && std::min(vFirst, vLast) >= 0 &&
            std::max(vFirst, vLast) < vLimit) {
            auto fetch = [&]() {
                const uint32_t texel = texels[static_cast<size_t>(v >> 16) * width + (u >> 16)];
                u += stepU;
                v += stepV;
                return texel;
            };
            raster::ShadeRun(out, count, fetch, red, green, blue, stepRed, stepGreen, stepBlue);
            return;
        }
        // Coordinates beyond the picture (from caller error, the truncated
        // steps at the far edges, or a right or bottom cut that carries the
        // coordinates of x = width or y = height) are clamped to its edge
        // texels, taking positions as signed so that a small negative one
        // lands on column or row 0. The rows are those present in storage
        // (see MakeTextureView).
        const int32_t lastColumn = texture.width - 1;
        const int32_t lastRow = texture.rows - 1;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t column = std::clamp(static_cast<int32_t>(u) >> 16, 0, lastColumn);
            const int32_t row = std::clamp(static_cast<int32_t>(v) >> 16, 0, lastRow);
            out[i] = raster::ShadeTexel(texels[static_cast<size_t>(row) * width + static_cast<uint32_t>(column)], red,
                                        green, blue);
            u += stepU;
            v += stepV;
            red += stepRed;
            green += stepGreen;
            blue += stepBlue;
        }
    }
};

void FillTriangleMode1(const TriangleRequest& request) {
    AffineCorner<3> corner[3];
    for (int k = 0; k < 3; ++k) {
        if (!GatherCorner(request, k, corner[k])) return;
    }
    static constexpr AffineEdges<3> kEdges{{0, 0, 0}};
    raster::ScanTriangle(kEdges, corner, request, Mode1Span{});
}

void FillTriangleMode4(const TriangleRequest& request, const TextureView& texture) {
    AffineCorner<5> corner[3];
    for (int k = 0; k < 3; ++k) {
        if (!GatherCorner(request, k, corner[k])) return;
        const TexCoord& uv = *request.uv[k];
        if (!TruncToInt32(uv.u * 65536.0, corner[k].value[3]) || !TruncToInt32(uv.v * 65536.0, corner[k].value[4])) {
            return;
        }
    }
    // Half a texel on the carried u and v (not on the steps) picks the
    // texel nearest to the interpolated coordinate.
    static constexpr AffineEdges<5> kEdges{{0, 0, 0, 32768, 32768}};
    raster::ScanTriangle(kEdges, corner, request, Mode4Span{texture});
}

}  // namespace

void DrawTriangleMode1(TriangleRequest& request) {
    if (!raster::CanDraw(request, false)) return;
    raster::ClipTriangle<raster::LinearCut<false>>(request, FillTriangleMode1);
}

void DrawTriangleMode4(TriangleRequest& request) {
    TextureView texture;
    if (!raster::CanDraw(request, true) || !raster::MakeTextureView(request.texture, texture)) return;
    raster::ClipTriangle<raster::LinearCut<true>>(
        request, [&texture](const TriangleRequest& piece) { FillTriangleMode4(piece, texture); });
}
