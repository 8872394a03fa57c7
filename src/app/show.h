#pragma once
// The program's start-up order, its frame loop and its window procedure.
#include <cstdint>
#include <string>

#include "app/display.h"
#include "app/frame_loop.h"
#include "app/timeline.h"
#include "assets/objects.h"
#include "assets/pictures.h"
#include "music/music_player.h"
#include "platform/host.h"

// What the viewer controls while the show plays.
struct ShowControls {
    bool loop = false;        // start again from row 0 at the end
    int32_t startRow = 0;     // where the show begins
    bool paused = false;
    bool muted = false;
    uint32_t volume = 100;    // percent
    int32_t seekTo = -1;      // a row to move to before the next frame
};

struct Show {
    Host* host = nullptr;
    std::string dataDir = ".";
    std::string pluginName = "npmod32.dll";
    Display display;
    Pictures pictures;
    ShowObjects objects;
    MusicPlayer music;
    Timeline timeline;
    FrameClock clock;
    ShowControls controls;
    int32_t position = 0;
    int64_t frames = 0;  // passes of the frame loop
    int32_t musicMs = -1;       // music heard at the last frame, when the plug-in tells
    double lastFrameTicks = 1;  // the last ordinary frame's clock advance
};

// Brings everything up in order and plays until the end. Returns 0 when the
// show ended, 1 when start-up failed (a message was shown).
int RunShow(Show& show);
// RunShow in steps, for hosts that call the program once a frame: start-up
// (0, or 1 when it failed and a message was shown), then one pass of the
// frame loop at a time, false once the show has ended.
int StartShow(Show& show);
bool StepFrameLoop(Show& show);
// Returns when the timeline reports its end.
void RunFrameLoop(Show& show);
void WindowProcedure(Show& show, const HostMessage& message);
// Rebuilds the scenes' state and moves the show and its music to `row`; the
// scene there begins as when the music arrives at it.
bool SeekShow(Show& show, int32_t row);
