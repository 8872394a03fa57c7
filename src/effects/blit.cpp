#include "effects/blit.h"

#include <algorithm>
#include <cstdint>

namespace {

// The one clipping walk of the three blits; all clipping is decided per row,
// so the inner loop is a plain walk. Done in 64 bits so that no placement
// can overflow.
template <typename PixelOp>
inline void ClippedWalk(const Image& image, PixelOp op) {
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
        for (int64_t i = 0; i < count; ++i) op(source[i], target[i]);
        source += sourceStride;
        target += targetStride;
    }
}

}  // namespace

void BlitOpaque(const Image& image) {
    ClippedWalk(image, [](uint32_t s, uint32_t& d) { d = s; });
}

void BlitKeyed(const Image& image) {
    const uint32_t key = image.key;
    ClippedWalk(image, [key](uint32_t s, uint32_t& d) {
        if (s != key) d = s;
    });
}

void BlitBlend(const Image& image) {
    const uint32_t key = image.key;
    ClippedWalk(image, [key](uint32_t s, uint32_t& d) {
        if (s != key) {
            // Per-channel floor((s + d) / 2) without unpacking the channels.
            d = (((s & 0xFEFEFEu) >> 1) + ((d & 0xFEFEFEu) >> 1) + (s & d & 0x010101u)) &
                0xFFFFFFu;
        }
    });
}
