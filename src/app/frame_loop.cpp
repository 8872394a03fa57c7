#include "app/frame_loop.h"

#include <cstring>

void StartClock(FrameClock& clock, uint32_t nowMs) {
    clock.lastTime = nowMs;
    clock.frameTicks = 0;
    clock.ticksTotal = 0;
}

void AdvanceClock(FrameClock& clock, uint32_t nowMs) {
    const int32_t elapsed = static_cast<int32_t>(nowMs - clock.lastTime);
    clock.frameTicks = static_cast<double>(elapsed) / 1000.0 * 60.0;
    clock.lastTime = nowMs;
    clock.ticksTotal += clock.frameTicks;
}

void HoldClock(FrameClock& clock, uint32_t nowMs) {
    clock.lastTime = nowMs;
    clock.frameTicks = 0;
}

void ClearImage(Image& image) {
    if (!image.pixels || image.width <= 0) return;
    uint32_t* row = image.pixels;
    for (int32_t y = 0; y < image.height; ++y) {
        std::memset(row, 0, sizeof(uint32_t) * static_cast<size_t>(image.width));
        row += image.width + image.skip;
    }
}

namespace {

inline uint32_t To565(uint32_t p) {
    return ((p >> 8) & 0xF800u) | ((p >> 5) & 0x07E0u) | ((p >> 3) & 0x001Fu);
}

}  // namespace

void ConvertTo565(const Image& image) {
    if (!image.pixels || !image.target16 || image.width <= 0) return;
    const uint32_t* source = image.pixels;
    unsigned char* target = reinterpret_cast<unsigned char*>(image.target16);
    const size_t targetStride = 2 * static_cast<size_t>(image.targetWidth + image.targetRowPad);
    for (int32_t y = 0; y < image.height; ++y) {
        int32_t x = 0;
        for (; x + 1 < image.width; x += 2) {
            // Two pixels per store, the left one in the low half. memcpy
            // because an odd row pad leaves rows only 2-byte aligned.
            const uint32_t pair = To565(source[x]) | To565(source[x + 1]) << 16;
            std::memcpy(target + 2 * static_cast<size_t>(x), &pair, 4);
        }
        if (x < image.width) {
            const uint16_t last = static_cast<uint16_t>(To565(source[x]));
            std::memcpy(target + 2 * static_cast<size_t>(x), &last, 2);
        }
        source += image.width + image.skip;
        target += targetStride;
    }
}
