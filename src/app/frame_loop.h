#pragma once
// The scene clock and the 32-to-16-bit presentation.
#include <cstdint>

#include "assets/image.h"

// Scene time in ticks of 1/60 second.
struct FrameClock {
    uint32_t lastTime = 0;
    double frameTicks = 0;
    double ticksTotal = 0;
};

void StartClock(FrameClock& clock, uint32_t nowMs);
// Advances by the milliseconds since the last update; a wrap of the 32-bit
// millisecond counter still gives the small difference.
void AdvanceClock(FrameClock& clock, uint32_t nowMs);
// A paused frame: the time since the last update passes without counting.
void HoldClock(FrameClock& clock, uint32_t nowMs);

// Sets every pixel of the picture to 0, stepping width + skip per row.
void ClearImage(Image& image);
// Converts the picture into its 16-bit 5-6-5 target, two pixels per store.
void ConvertTo565(const Image& image);
