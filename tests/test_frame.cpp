// The display set-up, the scene clock, the 16-bit presentation and the
// schedule of scenes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/display.h"
#include "app/frame_loop.h"
#include "app/timeline.h"
#include "platform/backends.h"

namespace {

TEST(FrameClock, TicksFollowMillisecondsAcrossTheWrap) {
    FrameClock clock;
    StartClock(clock, 1000);
    AdvanceClock(clock, 1050);
    EXPECT_DOUBLE_EQ(clock.frameTicks, 3.0);
    AdvanceClock(clock, 1051);
    EXPECT_DOUBLE_EQ(clock.frameTicks, 0.06);
    EXPECT_DOUBLE_EQ(clock.ticksTotal, 3.06);

    StartClock(clock, 0xFFFFFFF0u);
    AdvanceClock(clock, 0x00000010u);  // 32 ms later, past the wrap
    EXPECT_DOUBLE_EQ(clock.frameTicks, 32 / 1000.0 * 60);
    EXPECT_DOUBLE_EQ(clock.ticksTotal, clock.frameTicks);
}

TEST(ConvertTo565, PacksChannelsAndStepsByTheTargetRowPad) {
    std::vector<uint32_t> source(320 * 241, 0);
    const uint32_t colours[] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x87654321 & 0xFFFFFF};
    for (int i = 0; i < 5; ++i) source[i] = colours[i];
    source[320 * 239 + 319] = 0xFFFFFF;
    Image staging;
    staging.pixels = source.data();
    staging.width = 320;
    staging.height = 240;
    staging.targetWidth = 320;
    staging.targetHeight = 240;
    staging.targetRowPad = 64;
    std::vector<uint16_t> target(384 * 240 + 8, 0xABCD);
    staging.target16 = target.data();
    ConvertTo565(staging);
    EXPECT_EQ(target[0], 65535);
    EXPECT_EQ(target[1], 63488);
    EXPECT_EQ(target[2], 2016);
    EXPECT_EQ(target[3], 31);
    EXPECT_EQ(target[4], ((0x65 >> 3) << 11) | ((0x43 >> 2) << 5) | (0x21 >> 3));
    EXPECT_EQ(target[239 * 384 + 319], 65535);
    // The pad between rows and everything after the last row stay untouched.
    EXPECT_EQ(target[320], 0xABCD);
    EXPECT_EQ(target[383], 0xABCD);
    EXPECT_EQ(target[384], 0);
    EXPECT_EQ(target[384 * 240], 0xABCD);
}

TEST(ConvertTo565, OddWidthsAndPadsWriteEachPixelOnce) {
    std::vector<uint32_t> source(7 * 3, 0xFFFFFF);
    Image image;
    image.pixels = source.data();
    image.width = 7;
    image.height = 3;
    image.targetWidth = 7;
    image.targetRowPad = 1;
    std::vector<uint16_t> target(8 * 3 + 1, 7);
    image.target16 = target.data() + 1;  // rows only 2-byte aligned
    ConvertTo565(image);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 7; ++x) EXPECT_EQ(target[1 + y * 8 + x], 65535);
        if (y < 2) {
            EXPECT_EQ(target[1 + y * 8 + 7], 7);
        }
    }
    EXPECT_EQ(target[0], 7);
}

TEST(ClearImage, ClearsRowsAndStepsOverTheSkip) {
    std::vector<uint32_t> pixels(12, 5);
    Image image;
    image.pixels = pixels.data();
    image.width = 2;
    image.height = 3;
    image.skip = 2;
    ClearImage(image);
    const std::vector<uint32_t> expected = {0, 0, 5, 5, 0, 0, 5, 5, 0, 0, 5, 5};
    EXPECT_EQ(pixels, expected);
}

struct HeadlessDisplay {
    Host host;
    Display display;
    bool ok = false;
    explicit HeadlessDisplay(Options options) {
        options.mode = DisplayMode::Headless;
        std::string error;
        if (!MakeHeadlessHost(options, host, error)) return;
        ok = SetUpDisplay(display, host);
    }
};

TEST(SetUpDisplay, FallsBackTo16BitsWithAStagingPicture) {
    Options options;
    options.depth = 16;
    HeadlessDisplay d(options);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.display.depth, 16);
    EXPECT_EQ(d.display.staging.width, 320);
    EXPECT_EQ(d.display.staging.height, 240);
    EXPECT_GE(d.display.staging.pixelCount, 320 * 241);
    EXPECT_EQ(TargetRowPad(d.display), 0);
}

TEST(SetUpDisplay, MeasuresTheRowPadFromThePitch) {
    Options options;
    options.pitch = 1536;
    HeadlessDisplay d(options);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.display.depth, 32);
    EXPECT_EQ(d.display.rowPad, 64);
    EXPECT_EQ(TargetRowPad(d.display), 64);

    options.depth = 16;
    HeadlessDisplay d16(options);
    ASSERT_TRUE(d16.ok);
    EXPECT_EQ(d16.display.rowPad, 1536 / 2 - 320);
    EXPECT_EQ(d16.display.staging.targetRowPad, 1536 / 2 - 320);
    EXPECT_EQ(TargetRowPad(d16.display), 0);
}

TEST(SetUpDisplay, ReportsTheFailingResultCode) {
    const std::pair<const char*, const char*> cases[] = {
        {"create", "ERROR: Direct Draw Init Failed (88760208)\n"},
        {"mode", "ERROR: Direct Draw Init Failed (80004001)\n"},
        {"surfaces", "ERROR: Direct Draw Init Failed (80004005)\n"}};
    for (const auto& [step, message] : cases) {
        Options options;
        options.failDisplayStep = step;
        testing::internal::CaptureStderr();
        HeadlessDisplay d(options);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
        EXPECT_FALSE(d.ok);
        EXPECT_FALSE(d.display.directDraw);
    }
}

TEST(Timeline, PositionsSelectScenesAndTheEnd) {
    EXPECT_EQ(SceneForPosition(-5), 1);
    EXPECT_EQ(SceneForPosition(65), 1);
    EXPECT_EQ(SceneForPosition(66), 2);
    EXPECT_EQ(SceneForPosition(255), 2);
    EXPECT_EQ(SceneForPosition(256), 3);
    EXPECT_EQ(SceneForPosition(280), 4);
    EXPECT_EQ(SceneForPosition(877), 5);
    EXPECT_EQ(SceneForPosition(1070), 6);
    EXPECT_EQ(SceneForPosition(1199), 6);
    EXPECT_EQ(SceneForPosition(1200), 0);
    EXPECT_EQ(SceneForPosition(INT32_MIN), 1);
}

struct TimelineFixture {
    std::vector<uint32_t> first, second, frame;
    Pictures pictures;
    ShowObjects objects;
    Timeline timeline;
    TimelineFixture() : first(320 * 240), second(320 * 240), frame(384 * 240, 0) {
        for (size_t i = 0; i < first.size(); ++i) {
            first[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
            second[i] = static_cast<uint32_t>(i * 40503u + 7) & 0xFFFFFF;
        }
        for (auto [image, store] : {std::pair{&pictures.moldivane, &first}, std::pair{&pictures.kesto, &second}}) {
            image->pixels = store->data();
            image->width = 320;
            image->height = 240;
            image->targetWidth = 320;
            image->targetHeight = 240;
            image->targetRowPad = 64;
        }
        SetUpTimeline(timeline, pictures, objects, 64, "/nonexistent");
    }
    bool Step(int32_t position, double T = 0) {
        std::fill(frame.begin(), frame.end(), 0);
        return TimelineStep(timeline, BackBuffer{frame.data(), 320, 240, 64}, position, 1.0, T);
    }
    bool Shows(const std::vector<uint32_t>& picture) const {
        for (int y = 0; y < 240; ++y)
            if (std::memcmp(&frame[y * 384], &picture[y * 320], 320 * 4) != 0) return false;
        return true;
    }
};

TEST(Timeline, OpeningScenesShowTheirPicturesAndTheEndDrawsNothing) {
    TimelineFixture f;
    EXPECT_FALSE(f.Step(-3));
    EXPECT_TRUE(f.Shows(f.first));
    EXPECT_EQ(f.timeline.sceneState, 2);
    EXPECT_FALSE(f.Step(65));
    EXPECT_TRUE(f.Shows(f.first));
    EXPECT_FALSE(f.Step(66));
    EXPECT_TRUE(f.Shows(f.second));
    EXPECT_EQ(f.timeline.sceneState, 3);
    EXPECT_TRUE(f.Step(1200));
    EXPECT_EQ(std::count(f.frame.begin(), f.frame.end(), 0u), static_cast<long>(f.frame.size()));
}

TEST(Timeline, ASkippedSceneIsDrawnWithoutItsEntry) {
    TimelineFixture f;
    f.Step(10);
    f.Step(200);
    EXPECT_EQ(f.timeline.sceneState, 3);
    f.Step(300, 50);
    f.Step(301, 51);
    EXPECT_EQ(f.timeline.sceneState, 3);
    EXPECT_EQ(f.timeline.sceneStart, 0);  // never entered
    // Scene 3, entered late, still runs its entry: states only move forward.
    f.Step(260, 52);
    EXPECT_EQ(f.timeline.sceneState, 4);
}

}  // namespace
