// Scenes 3 to 6: motion over time, independent of the frame rate.
#include <gtest/gtest.h>

#include <vector>

#include "app/timeline.h"

namespace {

struct SceneRun {
    Pictures pictures;
    ShowObjects objects;
    Timeline timeline;
    std::vector<uint32_t> frame = std::vector<uint32_t>(320 * 240);
    double T = 0;
    explicit SceneRun(int32_t enterScene) {
        for (Object3D* o : {&objects.nrect, &objects.nball, &objects.nballx, &objects.nbox}) {
            o->scale = {1, 1, 1};
            o->width = 320;
            o->height = 240;
            o->focalLength = 128;
        }
        SetUpTimeline(timeline, pictures, objects, 0, "/nonexistent");
        timeline.sceneState = enterScene;
    }
    // Runs frames of `dt` ticks until the scene has run for `until` ticks.
    void RunUntil(int32_t position, double dt, double until) {
        while (T - timeline.sceneStart < until - 1e-9) {
            T += dt;
            TimelineStep(timeline, BackBuffer{frame.data(), 320, 240, 0}, position, dt, T);
        }
    }
};

// Each frame moves by its own dt, so a frame that straddles a window
// boundary moves a little more or less; two frames' worth of the fastest
// motion (one tick a tick, 2 ticks a frame) bounds the difference. Motion
// that ignored dt would be off by hundreds.
constexpr double kStraddle = 4.0;

void ExpectSame(const Vector3& a, const Vector3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, kStraddle) << what;
    EXPECT_NEAR(a.y, b.y, kStraddle) << what;
    EXPECT_NEAR(a.z, b.z, kStraddle) << what;
}

TEST(Scenes, PanelBoxAndTextMoveTheSameAtAnyFrameRate) {
    // 30 and 240 frames a second: steps of 2 and 0.25 ticks.
    for (double e : {300.0, 460.0, 600.0, 2000.0, 5000.0, 5500.0, 5950.0, 6100.0, 7400.0}) {
        SceneRun slow(4), fast(4);
        slow.RunUntil(400, 2.0, e);
        fast.RunUntil(400, 0.25, e);
        ExpectSame(slow.objects.nrect.position, fast.objects.nrect.position, "panel position");
        ExpectSame(slow.objects.nrect.angles, fast.objects.nrect.angles, "panel angles");
        ExpectSame(slow.objects.nbox.position, fast.objects.nbox.position, "box position");
        ExpectSame(slow.objects.nbox.angles, fast.objects.nbox.angles, "box angles");
        EXPECT_NEAR(slow.timeline.scenes.text.y, fast.timeline.scenes.text.y, 1.0) << e;
    }
}

TEST(Scenes, SceneFourFollowsItsWindows) {
    SceneRun run(4);
    run.RunUntil(400, 1.0, 440);
    // Frames run at e = 0, 1, ... 440: the last one is in both windows.
    EXPECT_NEAR(run.objects.nrect.position.y, -400 + 441 * 0.7291666666666666 + 0.2916666666666667, 1e-9);
    // 440 to 480: both of the first two windows move the panel.
    run.RunUntil(400, 1.0, 480);
    EXPECT_NEAR(run.objects.nrect.position.y, -400 + 480 * 0.7291666666666666 + 41 * 0.2916666666666667, 1e-9);
    run.RunUntil(400, 1.0, 680);
    EXPECT_NEAR(run.objects.nrect.angles.x, 90 - 240 * 0.3125, 1e-9);
    EXPECT_NEAR(run.objects.nrect.angles.z, -45 + 240 * 0.1875, 1e-9);
    EXPECT_NEAR(run.objects.nrect.position.z, 150 - 20, 1e-9);
    // The text scrolls up 20 pixels a second from row 240 once e reaches 800.
    run.RunUntil(400, 1.0, 800 + 600);
    EXPECT_NEAR(run.timeline.scenes.text.y, 240 - 601.0 / 3, 1e-9);
    run.RunUntil(400, 1.0, 5160);
    EXPECT_NEAR(run.objects.nbox.position.y, 150 - 240 * 0.625, 1e-9);
    EXPECT_NEAR(run.objects.nbox.angles.x, 241, 1e-9);
    run.RunUntil(400, 1.0, 6000);
    EXPECT_NEAR(run.objects.nbox.position.x, 0, 1e-9);
    EXPECT_NEAR(run.objects.nrect.position.z, 130 - 120 * (0.5 + 0.4583333333333333), 1e-9);
    EXPECT_EQ(run.objects.nrect.position.x, 0);
}

TEST(Scenes, TheBallFliesInThreeTimes) {
    SceneRun run(3);
    int restarts = 0;
    double lastZ = 0;
    for (int frame = 0; frame < 300; ++frame) {
        run.T += 1;
        TimelineStep(run.timeline, BackBuffer{run.frame.data(), 320, 240, 0}, 260, 1.0, run.T);
        const double z = run.objects.nball.position.z;
        if (frame > 0 && z > lastZ) ++restarts;
        lastZ = z;
    }
    EXPECT_EQ(restarts, 2);
    EXPECT_EQ(run.timeline.scenes.flightRepeats, 2);
    EXPECT_LT(lastZ, -500);  // after the third pass it keeps falling
    EXPECT_EQ(run.objects.nball.nearZ, 12.0);
    // The three copies are drawn at z - 200, z - 100 and z: the last colour wins.
    for (const Face& face : run.objects.nball.faces) EXPECT_EQ(face.colour, 0xFF0000u);
}

TEST(Scenes, TheClimaxSwellsTheWaveOnTheGlobe) {
    SceneRun run(5);
    run.RunUntil(900, 1.0, 500);
    EXPECT_EQ(run.timeline.scenes.wave.target, &run.objects.nballx);
    EXPECT_NEAR(run.objects.nballx.position.z, 105 + 480.0 / 6, 1e-9);
    EXPECT_NEAR(run.objects.nballx.angles.y, 125 + 501.0 / 6, 1e-9);
    const double amplitude = run.timeline.scenes.wave.amplitude;
    const double ballZ = run.objects.nball.position.z;
    run.RunUntil(1055, 1.0, 510);
    EXPECT_NEAR(run.timeline.scenes.wave.amplitude, amplitude + 30, 1e-9);
    EXPECT_NEAR(run.objects.nball.position.z, ballZ - 200, 1e-9);
}

TEST(Scenes, ScenesWithoutTheirEntryStillDrawSafely) {
    // Positions that skip straight into each scene: nothing is set up by an
    // entry, yet every scene must draw from well-defined values.
    for (int32_t position : {260, 400, 900, 1055, 1100}) {
        SceneRun run(1);
        run.RunUntil(position, 1.0, 50);
        EXPECT_EQ(run.timeline.sceneState, 1);
    }
}

}  // namespace
