#include "effects/blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The one clipping walk of the three blits; all clipping is decided per row,
// so each row is one plain run. Done in 64 bits so that no placement can
// overflow.
template <typename RowOp>
inline void ClippedWalk(const Image& image, RowOp op) {
    if (!image.pixels || !image.target) return;
    const int64_t w = image.width, h = image.height, x = image.x, y = image.y;
    const int64_t targetW = image.targetWidth, targetH = image.targetHeight;
    const int64_t sourceStride = w + image.skip;
    const int64_t targetStride = targetW + image.targetRowPad;
    if (w <= 0 || h <= 0 || targetW <= 0 || targetH <= 0) return;

    int64_t rows = h;
    if (y + h > targetH) rows = targetH - y;
    if (y < 0) rows += y;
    if (rows <= 0) return;
    const int64_t firstColumn = std::max<int64_t>(x, 0);
    const int64_t lastColumn = (x + w > targetW) ? targetW - 1 : x + w - 1;
    if (lastColumn < firstColumn) return;
    const int64_t count = lastColumn - firstColumn + 1;

    const uint32_t* source = image.pixels + (y < 0 ? -y : 0) * sourceStride + (x < 0 ? -x : 0);
    uint32_t* target = image.target + (y < 0 ? 0 : y) * targetStride + firstColumn;
    for (int64_t row = 0; row < rows; ++row) {
        op(source, target, count);
        source += sourceStride;
        target += targetStride;
    }
}

// Per channel floor((s + d) / 2) without unpacking the channels; the top
// byte is cleared.
inline uint32_t Average(uint32_t s, uint32_t d) {
    return (((s & 0xFEFEFEu) >> 1) + ((d & 0xFEFEFEu) >> 1) + (s & d & 0x010101u)) & 0xFFFFFFu;
}

// A target row that overlaps its source row is walked pixel by pixel, as
// written, so that every blit keeps its meaning even then.
inline bool Overlap(const uint32_t* s, const uint32_t* d, int64_t count) {
    const auto source = reinterpret_cast<uintptr_t>(s);
    const auto target = reinterpret_cast<uintptr_t>(d);
    const auto bytes = static_cast<uintptr_t>(count) * sizeof(uint32_t);
    return target < source + bytes && source < target + bytes;
}

#if defined(__SSE2__)
inline __m128i Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Where a lane equals the key the target keeps its pixel, elsewhere `put`.
inline __m128i KeepKeyed(__m128i s, __m128i d, __m128i put, __m128i key) {
    const __m128i keyed = _mm_cmpeq_epi32(s, key);
    return _mm_or_si128(_mm_and_si128(keyed, d), _mm_andnot_si128(keyed, put));
}
#endif

}  // namespace

void BlitOpaque(const Image& image) {
    ClippedWalk(image, [](const uint32_t* s, uint32_t* d, int64_t count) {
        if (!Overlap(s, d, count)) {
            std::memcpy(d, s, static_cast<size_t>(count) * sizeof(uint32_t));
            return;
        }
        for (int64_t i = 0; i < count; ++i) d[i] = s[i];
    });
}

void BlitKeyed(const Image& image) {
    const uint32_t key = image.key;
    ClippedWalk(image, [key](const uint32_t* s, uint32_t* d, int64_t count) {
        int64_t i = 0;
#if defined(__SSE2__)
        const __m128i k = _mm_set1_epi32(static_cast<int>(key));
        for (const int64_t vectors = Overlap(s, d, count) ? 0 : count; i + 4 <= vectors; i += 4) {
            const __m128i source = Load(s + i);
            Store(d + i, KeepKeyed(source, Load(d + i), source, k));
        }
#endif
        for (; i < count; ++i) {
            if (s[i] != key) d[i] = s[i];
        }
    });
}

void BlitBlend(const Image& image) {
    const uint32_t key = image.key;
    ClippedWalk(image, [key](const uint32_t* s, uint32_t* d, int64_t count) {
        int64_t i = 0;
#if defined(__SSE2__)
        const __m128i k = _mm_set1_epi32(static_cast<int>(key));
        const __m128i high = _mm_set1_epi32(0xFEFEFE);
        const __m128i low = _mm_set1_epi32(0x010101);
        const __m128i rgb = _mm_set1_epi32(0xFFFFFF);
        for (const int64_t vectors = Overlap(s, d, count) ? 0 : count; i + 4 <= vectors; i += 4) {
            const __m128i source = Load(s + i);
            const __m128i target = Load(d + i);
            const __m128i average = _mm_and_si128(
                _mm_add_epi32(_mm_add_epi32(_mm_srli_epi32(_mm_and_si128(source, high), 1),
                                            _mm_srli_epi32(_mm_and_si128(target, high), 1)),
                              _mm_and_si128(_mm_and_si128(source, target), low)),
                rgb);
            Store(d + i, KeepKeyed(source, target, average, k));
        }
#endif
        for (; i < count; ++i) {
            if (s[i] != key) d[i] = Average(s[i], d[i]);
        }
    });
}
