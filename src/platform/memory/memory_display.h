#pragma once
// A display whose surfaces are plain memory: the backends that present the
// picture themselves (SDL2, headless, the browser) draw into these.
#include <concepts>
#include <cstdint>
#include <vector>

#include "platform/host.h"

struct MemoryDisplay {
    int32_t maxDepth = 32;  // 16: behave as a display that refuses 32 bits per pixel
    int32_t minPitch = 0;   // bytes per row at least this (tests of padded rows)
    int32_t depth = 0;      // of the mode set
    int32_t pitch = 0;
    std::vector<uint8_t> primary, back;
};

// Takes 320x240 at 32 or 16 bits per pixel.
HostResult SetMemoryDisplayMode(MemoryDisplay& display, int32_t width, int32_t height, int32_t bpp);
// The primary surface and its back buffer, cleared.
HostResult CreateMemorySurfaces(MemoryDisplay& display);
HostResult LockMemorySurface(MemoryDisplay& display, HostSurface surface, void** pixels, int32_t* pitch);
// Fills the back buffer with `colour`, as a colour-fill blit would.
HostResult FillMemorySurface(MemoryDisplay& display, uint32_t colour);
// The presented picture becomes the front; the back buffer takes the old one.
void SwapMemorySurfaces(MemoryDisplay& display);
void ReleaseMemorySurfaces(MemoryDisplay& display);

// A backend that holds a MemoryDisplay named `memory` gets these display
// operations in its host table (platform/host_table.h) unless it defines its
// own for its type.
template <class Backend>
concept MemoryBacked = std::same_as<decltype(Backend::memory), MemoryDisplay>;

template <MemoryBacked Backend>
HostResult SetDisplayMode(Backend& backend, int32_t width, int32_t height, int32_t bpp) {
    return SetMemoryDisplayMode(backend.memory, width, height, bpp);
}
template <MemoryBacked Backend>
HostResult CreateSurfaces(Backend& backend) {
    return CreateMemorySurfaces(backend.memory);
}
template <MemoryBacked Backend>
HostResult LockSurface(Backend& backend, HostSurface surface, void** pixels, int32_t* pitch) {
    return LockMemorySurface(backend.memory, surface, pixels, pitch);
}
template <MemoryBacked Backend>
HostResult UnlockSurface(Backend&, HostSurface) {
    return kHostOk;
}
template <MemoryBacked Backend>
HostResult ColourFill(Backend& backend, uint32_t colour) {
    return FillMemorySurface(backend.memory, colour);
}
