#pragma once
// The browser backend: the picture on the page's canvas, keys from the
// document, the clock from performance.now(), message boxes shown in the
// page. In the deterministic mode the clock is the headless program's
// virtual one and the music is rendered in step, so that the frames are the
// native headless program's, byte for byte; chosen frames go to the page.
#include <csetjmp>
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

#include "npmod32.h"
#include "platform/host.h"
#include "platform/memory/memory_display.h"

struct Web {
    MemoryDisplay memory;
    bool deterministic = false;
    bool listening = false;        // the show takes keys
    int64_t frame = 0;             // frames presented since the show started
    std::set<int64_t> handOver;    // deterministic: frames given to the page
    std::deque<HostMessage> messages;
    SixsceneMusicWindow musicWindow{};
    bool pictureChanged = false;   // presented since the canvas was drawn
    std::vector<uint8_t> rgba;     // the canvas's picture
    // exitProcess returns here: a page has no process to end.
    std::jmp_buf* exitJump = nullptr;
    int exitStatus = 0;
};

// Sets `web` up for a new show (16 or 32 bits per pixel at most, real time
// or deterministic) and fills `host` with its operations.
void StartWebHost(Web& web, Host& host, int32_t maxDepth, bool deterministic);
// Draws the picture last presented on the canvas, if it changed.
void PaintCanvas(Web& web);
