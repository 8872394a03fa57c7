#include "platform/memory/memory_display.h"

#include <cstring>

HostResult SetMemoryDisplayMode(MemoryDisplay& display, int32_t width, int32_t height, int32_t bpp) {
    if (width != 320 || height != 240 || (bpp != 32 && bpp != 16)) return kHostErrUnsupportedMode;
    if (bpp > display.maxDepth) return kHostErrUnsupportedMode;
    display.depth = bpp;
    return kHostOk;
}

HostResult CreateMemorySurfaces(MemoryDisplay& display) {
    if (display.depth == 0) return kHostErrGeneric;
    const int32_t row = 320 * (display.depth / 8);
    display.pitch = display.minPitch >= row ? display.minPitch : row;
    display.primary.assign(static_cast<size_t>(display.pitch) * 240, 0);
    display.back.assign(static_cast<size_t>(display.pitch) * 240, 0);
    return kHostOk;
}

HostResult LockMemorySurface(MemoryDisplay& display, HostSurface surface, void** pixels, int32_t* pitch) {
    if (display.back.empty()) return kHostErrGeneric;
    *pixels = surface == HostSurface::Primary ? display.primary.data() : display.back.data();
    *pitch = display.pitch;
    return kHostOk;
}

HostResult FillMemorySurface(MemoryDisplay& display, uint32_t colour) {
    std::vector<uint8_t>& surface = display.back;
    if (surface.empty()) return kHostErrGeneric;
    if (colour == 0) {
        std::memset(surface.data(), 0, surface.size());  // every frame's clear
    } else if (display.depth == 32) {
        for (size_t i = 0; i + 4 <= surface.size(); i += 4) std::memcpy(&surface[i], &colour, 4);
    } else {
        const uint16_t c = static_cast<uint16_t>(colour);
        for (size_t i = 0; i + 2 <= surface.size(); i += 2) std::memcpy(&surface[i], &c, 2);
    }
    return kHostOk;
}

void SwapMemorySurfaces(MemoryDisplay& display) { display.primary.swap(display.back); }

void ReleaseMemorySurfaces(MemoryDisplay& display) {
    display.primary.clear();
    display.back.clear();
    display.primary.shrink_to_fit();
    display.back.shrink_to_fit();
}
