#pragma once
// The full-screen display and the drawing target of one frame.
#include <cstdint>
#include <memory>

#include "assets/image.h"
#include "platform/host.h"

constexpr int32_t kScreenWidth = 320;
constexpr int32_t kScreenHeight = 240;

struct BackBuffer {
    uint32_t* pixels = nullptr;
    int32_t width = kScreenWidth;
    int32_t height = kScreenHeight;
    int32_t rowPad = 0;
};

struct Display {
    Host* host = nullptr;
    bool directDraw = false;  // the display device exists
    bool primary = false;     // the primary surface with its back buffer exists
    int32_t depth = 0;
    int32_t rowPad = 0;
    Image staging;  // 16 bpp only: the 32-bit picture each frame is drawn into
};

// Creates the windows and takes the display at 320x240, 32 bpp or else 16.
// On a display failure shows "Direct Draw Init Failed (...)" and releases it.
bool SetUpDisplay(Display& display, Host& host);
void ReleaseDisplay(Display& display);

// The row pad that pictures and objects drawn to the screen carry.
inline int32_t TargetRowPad(const Display& display) {
    return display.depth == 32 ? display.rowPad : 0;
}
