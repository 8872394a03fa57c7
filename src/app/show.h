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
    int32_t position = 0;
    int64_t frames = 0;  // passes of the frame loop
};

// Brings everything up in order and plays until the end. Returns 0 when the
// show ended, 1 when start-up failed (a message was shown).
int RunShow(Show& show);
// Returns when the timeline reports its end.
void RunFrameLoop(Show& show);
void WindowProcedure(Show& show, const HostMessage& message);
