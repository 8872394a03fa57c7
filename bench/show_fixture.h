#pragma once
// The show's generated data and its timeline, brought to chosen moments of
// chosen scenes, for the object, scene and start-up benchmarks.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/timeline.h"
#include "assets/objects.h"
#include "assets/pictures.h"

namespace bench {

// Where the generator wrote the data: beside the built program.
inline std::string DataDir() { return SIXSCENE_BUILD_DIR; }

// Pictures, objects and timeline as the program sets them up, drawing into a
// 320 x 240 target with no row pad.
struct ShowState {
    Pictures pictures;
    ShowObjects objects;
    Timeline timeline;
    std::vector<uint32_t> target = std::vector<uint32_t>(320 * 240);
    double T = 0;
    int32_t scene = 0;
    int32_t position = 0;
    double entered = 0;  // T when the current scene was entered
    std::string error;

    bool SetUp() {
        const std::string data = DataDir();
        if (!LoadPictures(pictures, data, 0, &error) || !SetUpObjects(objects, pictures, 0, data, &error)) {
            return false;
        }
        SetUpTimeline(timeline, pictures, objects, 0, data);
        return true;
    }

    bool Step(int32_t p, double dt) {
        T += dt;
        position = p;
        return TimelineStep(timeline, BackBuffer{target.data(), 320, 240, 0}, p, dt, T);
    }
};

// A moment of the show: `ticks` after entering `scene` at position
// `position`, reached in steps of one tick (60 frames a second). Scene 5's
// climax is reached by `laterPosition` for the last `laterTicks` of them.
struct Moment {
    int32_t scene;
    int32_t position;
    double ticks;
    int32_t laterPosition = 0;
    double laterTicks = 0;
};

// The one state the scene benchmarks share: brought forward to each moment
// in turn, and set up afresh when a moment lies behind it or in another scene
// (each scene is entered without the ones before it, as a position jump
// would). Timed frames use dt = 0, so they leave the state where it was.
inline ShowState* StateAt(const Moment& m, std::string& error) {
    static std::unique_ptr<ShowState> state;
    const double elapsed = state ? state->T - state->entered : 0;
    if (!state || state->scene != m.scene || elapsed > m.ticks + 1e-9) {
        state = std::make_unique<ShowState>();
        if (!state->SetUp()) {
            error = state->error;
            state.reset();
            return nullptr;
        }
        state->scene = m.scene;
        state->timeline.sceneState = m.scene;  // the entry runs on the first step
        state->T = 1000;
        state->entered = state->T;
        state->Step(m.position, 0);
    }
    while (state->T - state->entered < m.ticks - 1e-9) {
        const bool later = m.laterTicks > 0 && state->T - state->entered >= m.ticks - m.laterTicks - 1e-9;
        state->Step(later ? m.laterPosition : m.position, 1.0);
    }
    return state.get();
}

}  // namespace bench
