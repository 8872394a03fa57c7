#pragma once
// The music as recordings store it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Float samples to 16-bit PCM, clamped; NaN becomes silence.
inline void ToPcm16(const float* samples, size_t count, std::vector<int16_t>& pcm) {
    pcm.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const float s = samples[i];
        const float clamped = s > 1.0f ? 1.0f : (s < -1.0f ? -1.0f : (s == s ? s : 0.0f));
        pcm[i] = static_cast<int16_t>(std::lrint(clamped * 32767.0f));
    }
}
