#pragma once
// The clock of a deterministic run: frame n is shown at n * 1000 / 60 ms,
// whatever the machine's speed, so that every run draws the same frames. The
// headless program and the browser's deterministic mode both keep it.
#include <cstdint>

inline uint32_t VirtualClockMs(int64_t framesShown) { return static_cast<uint32_t>(framesShown * 1000 / 60); }
