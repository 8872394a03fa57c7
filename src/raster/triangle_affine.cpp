// Modes 1 and 4: one 16.16 scan converter that interpolates the three
// channels (mode 1) or the channels with u and v (mode 4) across the
// triangle, with a span writer per mode.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/clip_internal.h"
#include "raster/fixed_internal.h"
#include "raster/triangle.h"

namespace {

using raster::SaturateToInt32;
using raster::TextureView;
using raster::TruncToInt32;

// A corner rounded to pixels with its 16.16 values: red, green, blue, then in
// mode 4 u and v. Left uninitialised, here and below: both are filled whole
// before use, and zeroing them costs more than a small triangle's pixels.
template <int N>
struct AffineCorner {
    int32_t x;
    int32_t y;
    int32_t value[N];
};

// What the row stepping needs. Edge positions are kept in 64 bits so that no
// step overflows, even past the last row or on a very wide target; the
// interpolated values run modulo 2^32, which is exact wherever the true
// value fits in 32 bits and wraps like the channel bytes otherwise.
template <int N>
struct AffineSetup {
    int32_t y0, y1, y2;
    int64_t x0, x1;  // 16.16 plus half a pixel
    int64_t dx01, dx12, dx02;
    uint32_t start0[N], start1[N];
    uint32_t step01[N], step12[N], step02[N];
    uint32_t perPixel[N];
    bool middleLeft;  // w > 0: the short edges are on the left
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

// The shared set-up: sort by row, per-row steps, span direction and
// per-pixel steps. `bias` is added to the values carried from corners 0 and
// 1 once all steps are known. False when nothing is to be drawn.
template <int N>
bool SetUpAffine(AffineCorner<N> (&c)[3], const int32_t (&bias)[N], AffineSetup<N>& s) {
    // Strict comparisons: corners on one row keep their order.
    if (c[1].y < c[0].y) std::swap(c[0], c[1]);
    if (c[2].y < c[1].y) std::swap(c[1], c[2]);
    if (c[1].y < c[0].y) std::swap(c[0], c[1]);

    const int32_t dy01 = c[1].y - c[0].y;
    const int32_t dy12 = c[2].y - c[1].y;
    const int32_t dy02 = c[2].y - c[0].y;
    if (dy02 == 0) return false;

    // Differences stay below 2^48, so the divisions are exact.
    auto perRow = [](int64_t difference, int32_t rows) {
        return rows != 0 ? raster::DivideTruncating(difference, rows) : difference;
    };
    s.dx01 = perRow((static_cast<int64_t>(c[1].x) - c[0].x) * 65536, dy01);
    s.dx12 = perRow((static_cast<int64_t>(c[2].x) - c[1].x) * 65536, dy12);
    s.dx02 = perRow((static_cast<int64_t>(c[2].x) - c[0].x) * 65536, dy02);

    int64_t d01[N], d12[N], d02[N];
    for (int i = 0; i < N; ++i) {
        d01[i] = perRow(static_cast<int64_t>(c[1].value[i]) - c[0].value[i], dy01);
        d12[i] = perRow(static_cast<int64_t>(c[2].value[i]) - c[1].value[i], dy12);
        d02[i] = perRow(static_cast<int64_t>(c[2].value[i]) - c[0].value[i], dy02);
    }

    int64_t w;
    if (dy01 != 0) {
        w = s.dx02 - s.dx01;
        if (w == 0) return false;
        for (int i = 0; i < N; ++i) {
            s.perPixel[i] = static_cast<uint32_t>(
                SaturateToInt32(static_cast<double>(d02[i] - d01[i]) * 65536.0 / static_cast<double>(w)));
        }
    } else {
        // Flat top: the span at the top row runs from corner 1 to corner 0,
        // and d01 is the undivided difference.
        w = static_cast<int64_t>(c[0].x) - c[1].x;
        if (w == 0) return false;
        for (int i = 0; i < N; ++i) {
            s.perPixel[i] = static_cast<uint32_t>(SaturateToInt32(raster::DivideTruncating(-d01[i], w)));
        }
    }

    s.y0 = c[0].y;
    s.y1 = c[1].y;
    s.y2 = c[2].y;
    s.x0 = static_cast<int64_t>(c[0].x) * 65536 + 32768;
    s.x1 = static_cast<int64_t>(c[1].x) * 65536 + 32768;
    s.middleLeft = w > 0;
    for (int i = 0; i < N; ++i) {
        s.start0[i] = static_cast<uint32_t>(c[0].value[i]) + static_cast<uint32_t>(bias[i]);
        s.start1[i] = static_cast<uint32_t>(c[1].value[i]) + static_cast<uint32_t>(bias[i]);
        s.step01[i] = static_cast<uint32_t>(d01[i]);
        s.step12[i] = static_cast<uint32_t>(d12[i]);
        s.step02[i] = static_cast<uint32_t>(d02[i]);
    }
    return true;
}

// Visits rows y0..y2 and hands each row's span to `span`. A corner within
// half a pixel of the bottom edge rounds to row `height`; that row does not
// exist and is not visited. Columns are kept to 0..width-1 in the same way.
template <int N, typename Span>
void StepRows(const AffineSetup<N>& s, const TriangleRequest& request, const Span& span) {
    const int64_t stride = static_cast<int64_t>(request.width) + request.rowPad;
    const int32_t last = std::min(s.y2, request.height - 1);
    int64_t left = s.x0;
    int64_t right = s.x0;
    int64_t leftStep = s.middleLeft ? s.dx01 : s.dx02;
    int64_t rightStep = s.middleLeft ? s.dx02 : s.dx01;
    const uint32_t* valueStep = s.middleLeft ? s.step01 : s.step02;
    uint32_t value[N];
    std::copy(s.start0, s.start0 + N, value);
    int64_t offset = static_cast<int64_t>(s.y0) * stride;

    for (int32_t y = s.y0; y <= last; ++y) {
        if (y == s.y1) {
            // The middle row: the side on the short edges restarts there.
            if (s.middleLeft) {
                left = s.x1;
                leftStep = s.dx12;
                std::copy(s.start1, s.start1 + N, value);
                valueStep = s.step12;
            } else {
                right = s.x1;
                rightStep = s.dx12;
            }
        }
        const int64_t first = std::max<int64_t>(left >> 16, 0);
        const int64_t end = std::min<int64_t>(right >> 16, request.width);
        if (first < end) {
            span(request.pixels + offset + first, static_cast<int32_t>(end - first), value, s.perPixel);
        }
        left += leftStep;
        right += rightStep;
        for (int i = 0; i < N; ++i) value[i] += valueStep[i];
        offset += stride;
    }
}

struct Mode1Span {
    void operator()(uint32_t* out, int32_t count, const uint32_t* value, const uint32_t* step) const {
        uint32_t red = value[0], green = value[1], blue = value[2];
        const uint32_t stepRed = step[0], stepGreen = step[1], stepBlue = step[2];
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

    void operator()(uint32_t* out, int32_t count, const uint32_t* value, const uint32_t* step) const {
        uint32_t red = value[0], green = value[1], blue = value[2];
        uint32_t u = value[3], v = value[4];
        const uint32_t stepRed = step[0], stepGreen = step[1], stepBlue = step[2];
        const uint32_t stepU = step[3], stepV = step[4];
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
    static constexpr int32_t kBias[3] = {0, 0, 0};
    AffineSetup<3> setup;
    if (!SetUpAffine(corner, kBias, setup)) return;
    StepRows(setup, request, Mode1Span{});
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
    static constexpr int32_t kBias[5] = {0, 0, 0, 32768, 32768};
    AffineSetup<5> setup;
    if (!SetUpAffine(corner, kBias, setup)) return;
    StepRows(setup, request, Mode4Span{texture});
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
