#pragma once
// Number conversions, texture bounds and texel shading shared by the fills.
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "assets/image.h"
#include "geometry/object3d.h"

namespace raster {

// Truncates toward zero into an int32. NaN, infinities and values that do not
// fit give false: converting them would be undefined, and a triangle that
// needs one cannot be drawn in 16.16 anyway.
inline bool TruncToInt32(double value, int32_t& out) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// Truncates toward zero, saturating at the int32 limits (NaN gives 0). Used
// for per-pixel steps: one that does not fit only arises on spans narrower
// than about two pixels, whose first pixel does not use it.
inline int32_t SaturateToInt32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

inline int32_t SaturateToInt32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// A corner's 16.16 channel values: intensity x colour byte x 65536,
// truncated. Red is `colour` shifted right by 16 (the top byte is expected to
// be 0). False when one does not fit in 32 bits.
inline bool ChannelValues(const VertexIntensity& shade, uint32_t colour, int32_t out[3]) {
    return TruncToInt32(shade.red * static_cast<double>(colour >> 16) * 65536.0, out[0]) &&
           TruncToInt32(shade.green * static_cast<double>((colour >> 8) & 0xFFu) * 65536.0, out[1]) &&
           TruncToInt32(shade.blue * static_cast<double>(colour & 0xFFu) * 65536.0, out[2]);
}

// a / b truncated toward zero, as integer division gives it, but through a
// double division, which pipelines where a 64-bit integer division stalls.
// Exact for |a| < 2^53: the quotient's rounding error is below 1/|b|, the
// least distance from a non-integer quotient to an integer.
inline int64_t DivideTruncating(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<double>(a) / static_cast<double>(b));
}

// a / d and b / d, each exactly what its own division gives, in one
// instruction where there is one for two.
inline void DividePair(double& a, double& b, double d) {
#if defined(__SSE2__)
    const __m128d q = _mm_div_pd(_mm_set_pd(b, a), _mm_set1_pd(d));
    a = _mm_cvtsd_f64(q);
    b = _mm_cvtsd_f64(_mm_unpackhi_pd(q, q));
#else
    a /= d;
    b /= d;
#endif
}

// The texels a fill may read: `rows` full rows of `width` texels.
struct TextureView {
    const uint32_t* texels = nullptr;
    int32_t width = 0;
    int32_t rows = 0;
};

// The usable part of a texture. A picture loaded from a short file holds
// fewer texels than width x height; its pixelCount (counted from the start
// of its storage) bounds the rows that may be read. False when nothing can be
// read at all.
inline bool MakeTextureView(const Image* image, TextureView& view) {
    if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
        return false;
    }
    int64_t available = static_cast<int64_t>(image->width) * image->height;
    if (image->storage) {
        // Addresses as integers: `pixels` is meant to point into the block.
        const auto base = reinterpret_cast<uintptr_t>(image->storage.get());
        const auto at = reinterpret_cast<uintptr_t>(image->pixels);
        if (at < base || (at - base) % sizeof(uint32_t) != 0) return false;
        const int64_t offset = static_cast<int64_t>((at - base) / sizeof(uint32_t));
        if (offset > image->pixelCount) return false;
        if (image->pixelCount - offset < available) available = image->pixelCount - offset;
    } else if (image->pixelCount > 0 && image->pixelCount < available) {
        available = image->pixelCount;
    }
    view.texels = image->pixels;
    view.width = image->width;
    // Whole pictures need no division (every triangle asks).
    view.rows = available == static_cast<int64_t>(image->width) * image->height
                    ? image->height
                    : static_cast<int32_t>(available / image->width);
    return view.rows > 0;
}

// Scales a texel by three 16.16 channel values. Each factor is the integer
// part modulo 256, so a channel of 256 gives 0; the top byte is the texel's.
inline uint32_t ShadeTexel(uint32_t texel, uint32_t red, uint32_t green, uint32_t blue) {
    const uint32_t fr = (red >> 16) & 0xFFu;
    const uint32_t fg = (green >> 16) & 0xFFu;
    const uint32_t fb = (blue >> 16) & 0xFFu;
    return (texel & 0xFF000000u) | ((((texel >> 16) & 0xFFu) * fr >> 8) << 16) |
           ((((texel >> 8) & 0xFFu) * fg >> 8) << 8) | (((texel & 0xFFu) * fb) >> 8);
}

#if defined(__SSE2__)
// A value at four consecutive pixels: value, value + step, ... modulo 2^32.
inline __m128i FourPixelRun(uint32_t value, uint32_t step) {
    return _mm_set_epi32(static_cast<int>(value + 3 * step), static_cast<int>(value + 2 * step),
                         static_cast<int>(value + step), static_cast<int>(value));
}
#endif

// Shades the texels of `count` consecutive pixels (all inside the texture,
// fetched by `fetch`) whose channel values start at red, green, blue and step
// per pixel; leaves the channel values at the pixel after the last.
template <typename Fetch>
inline void ShadeRun(uint32_t* out, int32_t count, const Fetch& fetch, uint32_t& red, uint32_t& green,
                     uint32_t& blue, uint32_t stepRed, uint32_t stepGreen, uint32_t stepBlue) {
    int32_t i = 0;
#if defined(__SSE2__)
    if (count >= 4) {
        // Four pixels at a time: texel bytes and factors in 16-bit lanes,
        // three byte products per pixel in one multiply per two pixels.
        __m128i r = FourPixelRun(red, stepRed), g = FourPixelRun(green, stepGreen), b = FourPixelRun(blue, stepBlue);
        const __m128i r4 = _mm_set1_epi32(static_cast<int>(4 * stepRed));
        const __m128i g4 = _mm_set1_epi32(static_cast<int>(4 * stepGreen));
        const __m128i b4 = _mm_set1_epi32(static_cast<int>(4 * stepBlue));
        const __m128i byte = _mm_set1_epi32(0xFF);
        const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        const __m128i zero = _mm_setzero_si128();
        for (; i + 4 <= count; i += 4) {
            const uint32_t t0 = fetch(), t1 = fetch(), t2 = fetch(), t3 = fetch();
            const __m128i texels = _mm_set_epi32(static_cast<int>(t3), static_cast<int>(t2), static_cast<int>(t1),
                                                 static_cast<int>(t0));
            const __m128i fb = _mm_and_si128(_mm_srli_epi32(b, 16), byte);
            const __m128i fg = _mm_and_si128(_mm_srli_epi32(g, 16), byte);
            const __m128i fr = _mm_and_si128(_mm_srli_epi32(r, 16), byte);
            const __m128i blueGreen = _mm_or_si128(fb, _mm_slli_epi32(fg, 16));
            // Factors blue, green, red, 0 per pixel, matching the texel bytes.
            const __m128i factorLow = _mm_unpacklo_epi32(blueGreen, fr);
            const __m128i factorHigh = _mm_unpackhi_epi32(blueGreen, fr);
            const __m128i low = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(texels, zero), factorLow), 8);
            const __m128i high = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(texels, zero), factorHigh), 8);
            const __m128i shaded = _mm_or_si128(_mm_packus_epi16(low, high), _mm_and_si128(texels, top));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), shaded);
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
        out[i] = ShadeTexel(fetch(), red, green, blue);
        red += stepRed;
        green += stepGreen;
        blue += stepBlue;
    }
}

}  // namespace raster
