// The program entry in the browser. A page cannot block, so the show runs in
// steps: the page calls sixscene_start (on the viewer's click, or at once in
// the deterministic mode), and the browser calls one pass of the frame loop
// per animation frame. When the show ends (its last row, or Escape) the page
// is told, and sixscene_start may begin it again from row 0.
#include <emscripten/emscripten.h>

#include <csetjmp>
#include <cstdint>

#include "app/show.h"
#include "platform/system/system.h"
#include "platform/web/web_host.h"

namespace {

// The deterministic mode draws frames for this long before the page gets a
// turn (events, the canvas): as fast as it can, yet never frozen.
constexpr double kBatchMs = 40.0;

struct Program {
    Web web;
    Host host;
    Show* show = nullptr;
    bool running = false;
};

Program& TheProgram() {
    static Program* const program = new Program;  // lives as long as the page
    return *program;
}

// (EM_JS: the frame's function uses setjmp, which EM_ASM can't be beside.)
EM_JS(void, TellPageEnded, (int status, double frames, int position), {
    if (Module["sixsceneEnded"]) Module["sixsceneEnded"](status, frames, position);
});

// After the show's end, as the desktop's process end would: the display
// released and the music stopped (Escape has done so already).
void Finish(Program& program) {
    emscripten_cancel_main_loop();
    program.running = false;
    Show& show = *program.show;
    ReleaseDisplay(show.display);
    StopMusic(show.music);
    UnloadMusicLibrary(show.music);
    program.web.listening = false;
    TellPageEnded(program.web.exitStatus, static_cast<double>(program.web.frame), show.position);
}

// True when the deterministic run has shown the last frame it was asked for.
bool HandedOverAll(const Web& web) {
    return web.deterministic && !web.handOver.empty() && web.frame > *web.handOver.rbegin();
}

void Frame(void* user) {
    Program& program = *static_cast<Program*>(user);
    std::jmp_buf exit;
    program.web.exitJump = &exit;
    if (setjmp(exit) != 0) {
        program.web.exitJump = nullptr;
        Finish(program);
        return;
    }
    bool more = true;
    if (program.web.deterministic) {
        const double until = emscripten_get_now() + kBatchMs;
        do {
            more = StepFrameLoop(*program.show) && !HandedOverAll(program.web);
        } while (more && emscripten_get_now() < until);
    } else {
        more = StepFrameLoop(*program.show);
    }
    program.web.exitJump = nullptr;
    PaintCanvas(program.web);
    if (!more) Finish(program);
}

}  // namespace

extern "C" {

// Frames the deterministic mode hands to the page (Module.sixsceneFrame).
EMSCRIPTEN_KEEPALIVE void sixscene_hand_over(int frame) { TheProgram().web.handOver.insert(frame); }

// Starts the show from row 0: at most `maxDepth` bits per pixel (16 or 32),
// real time or deterministic. 0 when it plays; 1 when start-up failed (a
// message box said why); 2 when a show is playing already.
EMSCRIPTEN_KEEPALIVE int sixscene_start(int maxDepth, int deterministic) {
    Program& program = TheProgram();
    if (program.running) return 2;
    delete program.show;
    program.show = new Show;
    StartWebHost(program.web, program.host, maxDepth == 16 ? 16 : 32, deterministic != 0);
    Show& show = *program.show;
    show.host = &program.host;
    show.dataDir = DefaultDataDir();

    std::jmp_buf exit;
    program.web.exitJump = &exit;
    if (setjmp(exit) != 0) {
        program.web.exitJump = nullptr;
        Finish(program);
        return 0;
    }
    const int status = StartShow(show);
    program.web.exitJump = nullptr;
    if (status != 0) {
        program.web.listening = false;
        return status;
    }
    program.running = true;
    // Paced by the display's refresh (requestAnimationFrame); the
    // deterministic mode runs flat out, between the page's events.
    emscripten_set_main_loop_arg(Frame, &program, 0, 0);
    if (deterministic) emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
    return 0;
}

// What the page shows and the tests read: 0 playing (1/0), 1 frames shown,
// 2 music position, 3 scene, 4 music heard in ms (-1 unknown), 5 paused,
// 6 muted, 7 volume in percent.
EMSCRIPTEN_KEEPALIVE double sixscene_status(int what) {
    const Program& program = TheProgram();
    const Show* show = program.show;
    switch (what) {
        case 0: return program.running ? 1 : 0;
        case 1: return static_cast<double>(program.web.frame);
        case 2: return show ? show->position : 0;
        case 3: return show ? SceneForPosition(show->position) : 0;
        // As read at the last frame: asking the plug-in now would move its
        // clock between frames, and the deterministic run must not differ.
        case 4: return show && program.running ? show->musicMs : -1;
        case 5: return show && show->controls.paused ? 1 : 0;
        case 6: return show && show->controls.muted ? 1 : 0;
        case 7: return show ? show->controls.volume : 0;
        default: return 0;
    }
}

}  // extern "C"
