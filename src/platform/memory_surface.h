#pragma once
// Helpers of the backends whose surfaces are plain memory.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

// Fills a surface of `depth` bits per pixel with `colour`, as a colour-fill
// blit would.
inline void FillSurface(std::vector<uint8_t>& surface, int32_t depth, uint32_t colour) {
    if (colour == 0) {
        std::memset(surface.data(), 0, surface.size());  // every frame's clear
    } else if (depth == 32) {
        for (size_t i = 0; i + 4 <= surface.size(); i += 4) std::memcpy(&surface[i], &colour, 4);
    } else {
        const uint16_t c = static_cast<uint16_t>(colour);
        for (size_t i = 0; i + 2 <= surface.size(); i += 2) std::memcpy(&surface[i], &c, 2);
    }
}

// Float samples to 16-bit PCM, clamped; NaN becomes silence.
inline void ToPcm16(const float* samples, size_t count, std::vector<int16_t>& pcm) {
    pcm.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const float s = samples[i];
        const float clamped = s > 1.0f ? 1.0f : (s < -1.0f ? -1.0f : (s == s ? s : 0.0f));
        pcm[i] = static_cast<int16_t>(std::lrint(clamped * 32767.0f));
    }
}
