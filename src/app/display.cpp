#include "app/display.h"

#include <cstdio>

bool SetUpDisplay(Display& display, Host& host) {
    display.host = &host;
    if (!host.createWindows(host.self, "DD Application", "DD Development Window")) return false;

    HostResult result = host.createDisplay(host.self);
    if (result == kHostOk) {
        display.directDraw = true;
        display.depth = 32;
        result = host.setDisplayMode(host.self, kScreenWidth, kScreenHeight, 32);
        if (result != kHostOk) {
            display.depth = 16;
            result = host.setDisplayMode(host.self, kScreenWidth, kScreenHeight, 16);
        }
    }
    if (result == kHostOk) {
        result = host.createSurfaces(host.self);
        if (result == kHostOk) display.primary = true;
    }
    if (result == kHostOk) {
        void* pixels = nullptr;
        int32_t pitch = 0;
        display.rowPad = 0;
        if (host.lock(host.self, HostSurface::Primary, &pixels, &pitch) == kHostOk) {
            host.unlock(host.self, HostSurface::Primary);
            const int32_t pad = pitch / (display.depth / 8) - kScreenWidth;
            // A pitch narrower than a row is no measurement at all.
            if (pad >= 0) display.rowPad = pad;
        }
        if (display.depth == 16) {
            // One row more than is shown, as the frame loop has always had.
            constexpr int32_t kStagingRows = kScreenHeight + 1;
            display.staging = Image{};
            display.staging.storage.reset(new uint32_t[kScreenWidth * kStagingRows]());
            display.staging.pixels = display.staging.storage.get();
            display.staging.pixelCount = kScreenWidth * kStagingRows;
            display.staging.width = kScreenWidth;
            display.staging.height = kScreenHeight;
            display.staging.targetWidth = kScreenWidth;
            display.staging.targetHeight = kScreenHeight;
            display.staging.targetRowPad = display.rowPad;
        }
        return true;
    }

    char text[64];
    std::snprintf(text, sizeof text, "Direct Draw Init Failed (%08lx)\n",
                  static_cast<unsigned long>(result));
    host.messageBox(host.self, text, "ERROR", true);
    ReleaseDisplay(display);
    return false;
}

void ReleaseDisplay(Display& display) {
    if (!display.directDraw || !display.host) return;
    // Releasing the display releases the primary and its back buffer too.
    display.host->releaseDisplay(display.host->self);
    display.primary = false;
    display.directDraw = false;
}
