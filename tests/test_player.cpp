// The viewer's controls and the show's behaviour when its music misbehaves,
// through the real program: headless runs with keys pressed at chosen
// frames, and real-time runs on SDL's dummy drivers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/xm_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Frame(const std::string& dir, int64_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(n));
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    EXPECT_TRUE(ReadPng(dir + name, rgb, w, h)) << dir + name;
    return rgb;
}

std::vector<int32_t> Positions(const std::string& dir) {
    std::ifstream in(dir + "/frames.csv");
    std::string line;
    std::getline(in, line);
    std::vector<int32_t> positions;
    while (std::getline(in, line)) positions.push_back(std::stoi(line.substr(line.rfind(',') + 1)));
    return positions;
}

size_t DifferingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++n;
    }
    return n;
}

ProgramResult Headless(const std::string& dir, const std::string& at, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--headless", "--record", dir, "--at", at};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(args);
}

// Frames `first`.. of a run that jumped match an uninterrupted run's frames
// from `reference` on, within one frame's motion: no further from them than
// the uninterrupted run moves between two frames.
void ExpectWithinAFrame(const std::string& jumped, int64_t first, const std::string& plain, int64_t reference,
                        int count, const char* what) {
    for (int k = 1; k < count; ++k) {
        const std::vector<uint8_t> got = Frame(jumped, first + k);
        const std::vector<uint8_t> want = Frame(plain, reference + k);
        const size_t step = std::max(DifferingPixels(Frame(plain, reference + k - 1), want),
                                     DifferingPixels(want, Frame(plain, reference + k + 1)));
        EXPECT_LE(DifferingPixels(got, want), step + 320) << what << ", frame " << first + k;
    }
}

TEST(Player, APauseOfAnyLengthLeavesTheShowWhereItWas) {
    for (const char* depth : {"32", "16"}) {
        TempDir plain, paused;
        ASSERT_EQ(Headless(plain.path, "5000-5020", {"--depth", depth}).status, 0);
        // Paused after frame 5000 for 30 frames (half a second: the virtual
        // clock's milliseconds repeat every three frames).
        const ProgramResult run =
            Headless(paused.path, "5000,5010,5029-5050", {"--depth", depth, "--test-keys", "5000:space,5030:space"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Frame(paused.path, 5010), Frame(plain.path, 5000)) << "the paused picture, " << depth;
        for (int k = 1; k <= 20; ++k) {
            EXPECT_EQ(Frame(paused.path, 5030 + k), Frame(plain.path, 5000 + k)) << depth << " bpp, " << k;
        }
        const std::vector<int32_t> positions = Positions(paused.path);
        EXPECT_EQ(positions[5029], positions[5001]) << "the music stood still";
    }
}

TEST(Player, SeekingMeetsTheUninterruptedShow) {
    TempDir plain, forward, back, home;
    // Scene 5 begins at row 877, frame 10801 of an uninterrupted run; scene
    // 3 at row 256, frame 3153.
    ASSERT_EQ(Headless(plain.path, "0-20,3152-3200,10800-10840").status, 0);
    ASSERT_EQ(Headless(forward.path, "5001-5040", {"--test-keys", "5000:right"}).status, 0);
    EXPECT_EQ(Positions(forward.path)[5001], 877);
    ExpectWithinAFrame(forward.path, 5001, plain.path, 10801, 38, "right from scene 4");

    // Back from late in scene 4 to scene 3: its objects start afresh.
    ASSERT_EQ(Headless(back.path, "9001-9045", {"--test-keys", "9000:left"}).status, 0);
    EXPECT_EQ(Positions(back.path)[9001], 256);
    ExpectWithinAFrame(back.path, 9001, plain.path, 3153, 40, "left from scene 4");

    ASSERT_EQ(Headless(home.path, "3001-3018", {"--test-keys", "3000:home"}).status, 0);
    EXPECT_EQ(Positions(home.path)[3001], 0);
    ExpectWithinAFrame(home.path, 3001, plain.path, 0, 17, "home");
}

TEST(Player, StartingAtASceneIsDeterministicAndLoopingStartsAgain) {
    TempDir first, second, looped;
    ASSERT_EQ(Headless(first.path, "100,200", {"--scene", "4"}).status, 0);
    ASSERT_EQ(Headless(second.path, "100,200", {"--start", "280"}).status, 0);
    EXPECT_EQ(Positions(first.path)[0], 280);
    EXPECT_EQ(Frame(first.path, 100), Frame(second.path, 100));
    EXPECT_EQ(Frame(first.path, 200), Frame(second.path, 200));

    // From the last scene to the end and round again.
    const ProgramResult run = RunProgram({"--headless", "--record", looped.path, "--scene", "6", "--loop",
                                          "--at", "2399", "--frames", "2400"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<int32_t> positions = Positions(looped.path);
    ASSERT_EQ(positions.size(), 2400u);
    const auto wrap = std::find(positions.begin() + 1, positions.end(), 0);
    ASSERT_NE(wrap, positions.end()) << "the show did not start again";
    EXPECT_GE(*(wrap - 1), 1199);
    EXPECT_GT(positions.back(), 30) << "the second pass plays on";
}

TEST(Player, F12SavesThePictureOnTheScreenAtBothDepths) {
    for (const char* depth : {"32", "16"}) {
        TempDir frames, shots;
        const ProgramResult run = Headless(frames.path, "299-301", {"--depth", depth, "--test-keys",
                                                                    "300:f12,301:f12", "--screenshot-dir", shots.path});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("saved the picture as " + shots.path + "/sixscene-0002.png"), std::string::npos)
            << run.err;
        std::vector<uint8_t> shot;
        int w = 0, h = 0;
        ASSERT_TRUE(ReadPng(shots / "sixscene-0001.png", shot, w, h));
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        EXPECT_EQ(shot, Frame(frames.path, 299)) << depth << ": the frame on the screen after 300 frames";
    }
}

// A real-time run in a window on SDL's dummy video and audio drivers.
struct RealTimeRun {
    pid_t pid = -1;
    std::string errPath;
    RealTimeRun(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& err) {
        errPath = err;
        pid = fork();
        if (pid == 0) {
            for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
            freopen(err.c_str(), "w", stderr);
            std::vector<char*> argv;
            std::string program = std::string(SIXSCENE_BUILD_DIR) + "/sixscene";
            argv.push_back(program.data());
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    // The exit status, or -1 when it had to be killed after `seconds`.
    int Wait(int seconds) {
        for (int i = 0; i < seconds * 10; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
};

const std::vector<std::string> kDummyDrivers = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};

TEST(Player, AModuleThatEndsEarlyEndsTheShow) {
    // A user's module of three 64-row patterns, far shorter than the show.
    TempDir data;
    CopyShowData(data.path);
    XmSong song;
    song.orders = {0, 1, 2};
    for (int i = 0; i < 3; ++i) song.patterns.push_back(MakeXmPattern(64, song.channels));
    ASSERT_TRUE(WriteXm(song, data / "snd/pelerind.xm"));
    const ProgramResult run = RunProgram({"--headless", "--data", data.path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("the music ended at row 192, before the end position 1200"), std::string::npos) << run.err;
    // In real time, too.
    TempDir dir;
    RealTimeRun window({"--window", "--data", data.path}, kDummyDrivers, dir / "err");
    EXPECT_EQ(window.Wait(120), 0) << ReadFile(dir / "err");
    EXPECT_NE(ReadFile(dir / "err").find("the music ended at row 192"), std::string::npos) << ReadFile(dir / "err");
}

TEST(Player, LosingTheAudioDevicePlaysOnSilentlyToTheEnd) {
    TempDir dir;
    std::vector<std::string> env = kDummyDrivers;
    env.push_back("NPMOD32_TEST_LOSE_DEVICE_MS=2000");
    // The last scene is 130 rows, about 27 s.
    RealTimeRun run({"--window", "--start", "1150"}, env, dir / "err");
    EXPECT_EQ(run.Wait(60), 0) << ReadFile(dir / "err");
    const std::string err = ReadFile(dir / "err");
    EXPECT_NE(err.find("the audio device went away; playing on silently"), std::string::npos) << err;
}

TEST(Player, AStoppedProcessResumesWhereItWas) {
    TempDir dir;
    // 50 rows, about 10 s of music, with a stop of 4 s in the middle.
    RealTimeRun run({"--window", "--start", "1150"}, kDummyDrivers, dir / "err");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto stopped = std::chrono::steady_clock::now();
    kill(run.pid, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(run.pid, SIGCONT);
    EXPECT_EQ(run.Wait(60), 0) << ReadFile(dir / "err");
    const double afterStop = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    const std::string err = ReadFile(dir / "err");
    EXPECT_NE(err.find("the show stood still for"), std::string::npos) << err;
    // The music stopped with the process: the rest still took its time.
    EXPECT_GT(afterStop, 4.0 + 5.0) << err;
}

}  // namespace
