#pragma once
// A 320x240 surface as 8-bit red, green and blue: for recordings, screen
// shots and the browser's canvas, which must all show the same colours.
#include <cstdint>
#include <cstring>

// `pixels` at `depth` bits per pixel (32: 0x00RRGGBB; 16: 5-6-5), `pitch`
// bytes a row. Writes `channels` bytes a pixel: 3 (RGB) or 4 (RGBA, opaque).
inline void SurfaceToRgb(const void* pixels, int32_t pitch, int32_t depth, uint8_t* out, int32_t channels) {
    constexpr int32_t kWidth = 320;
    constexpr int32_t kHeight = 240;
    const uint8_t* row = static_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < kHeight; ++y, row += pitch) {
        for (int32_t x = 0; x < kWidth; ++x, out += channels) {
            if (depth == 32) {
                uint32_t p;
                std::memcpy(&p, row + 4 * x, 4);
                out[0] = static_cast<uint8_t>(p >> 16);
                out[1] = static_cast<uint8_t>(p >> 8);
                out[2] = static_cast<uint8_t>(p);
            } else {
                uint16_t p;
                std::memcpy(&p, row + 2 * x, 2);
                const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
                // Replicate the top bits so that white stays white.
                out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
                out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
                out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
            }
            if (channels == 4) out[3] = 255;
        }
    }
}
