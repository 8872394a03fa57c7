// The program without its devices: no display, no audio device, and
// recordings that cannot be written. Each ends with a clear message and the
// documented exit status, or plays on; none crashes or hangs.
#include <SDL.h>
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/show.h"
#include "platform/backends.h"
#include "support/temp_dir.h"
#include "support/xm_fixture.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kBuild = SIXSCENE_BUILD_DIR;

struct Outcome {
    int status = -1;  // exit status; -1 when ended by a signal
    int signal = 0;
    bool timedOut = false;
    double seconds = 0;
    std::string err;
};

// Runs the program with `env` changed (NAME=VALUE sets, NAME alone unsets).
// `poke`, when given, is called every 50 ms with the stderr so far and may
// signal the process; it is killed outright after `timeout` seconds.
Outcome Launch(const std::vector<std::string>& args, const std::vector<std::string>& env, double timeout,
               const std::function<void(pid_t, const std::string&)>& poke = nullptr) {
    TempDir io;
    const std::string errPath = io / "err";
    const std::string program = kBuild + "/sixscene";
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) _exit(127);
        for (const std::string& e : env) {
            const size_t eq = e.find('=');
            if (eq == std::string::npos) {
                unsetenv(e.c_str());
            } else {
                setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
            }
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Outcome run;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() - started > std::chrono::duration<double>(timeout)) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        if (poke) poke(pid, ReadFile(errPath));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.err = ReadFile(errPath);
    // Under the sanitizers a fault ends the run with status 1 too.
    for (const char* report : {"Sanitizer", "runtime error:"}) {
        EXPECT_EQ(run.err.find(report), std::string::npos) << run.err;
    }
    return run;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The frames a headless run reports in its last line.
long long FramesRun(const std::string& err) {
    const size_t at = err.rfind("sixscene: ");
    long long frames = -1;
    if (at != std::string::npos) std::sscanf(err.c_str() + at, "sixscene: %lld frames in", &frames);
    return frames;
}

void ExpectNoDisplayAdvice(const Outcome& run, const std::string& what) {
    EXPECT_FALSE(run.timedOut) << what;
    EXPECT_EQ(run.status, 1) << what << "\n" << run.err;
    // Ours is the first word, before anything the libraries underneath say.
    EXPECT_EQ(run.err.rfind("sixscene: cannot open a display (", 0), 0u) << what << "\n" << run.err;
    for (const char* option : {"--headless", "--record", "--window"}) {
        EXPECT_TRUE(Contains(run.err, option)) << what << " does not suggest " << option << "\n" << run.err;
    }
}

TEST(Devices, WithoutADisplayTheProgramSaysWhatToDoInstead) {
    for (const char* mode : {"", "--window"}) {
        std::vector<std::string> args;
        if (*mode) args.push_back(mode);
        ExpectNoDisplayAdvice(Launch(args, {"SDL_VIDEODRIVER=nonexistent"}, 60),
                              std::string("a video driver that doesn't exist ") + mode);
        // With no display at all SDL would fall back to drawing nowhere; the
        // show must not play unseen with no way to stop it. (A machine with
        // a console display of its own would use that instead.)
        if (fs::exists("/dev/dri")) continue;
        ExpectNoDisplayAdvice(Launch(args, {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}, 60),
                              std::string("no DISPLAY ") + mode);
        // Without XDG_RUNTIME_DIR, Wayland's library says so on its own.
        ExpectNoDisplayAdvice(Launch(args, {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}, 60),
                              std::string("no DISPLAY and no XDG_RUNTIME_DIR ") + mode);
    }
}

// In a child process: the real start-up and frame loop on SDL's dummy video
// driver with no audio device. Each presented frame compares the music
// position with the time since the music started; after a few seconds the
// child presses Escape, which must end it with status 0.
struct InStep {
    Show* show = nullptr;
    HostResult (*flip)(void*) = nullptr;
    double rowSeconds = 0;
    int frames = 0;
};
InStep gInStep;

HostResult FlipAndCompare(void* self) {
    InStep& s = gInStep;
    const HostResult result = s.flip(self);
    const Show& show = *s.show;
    ++s.frames;
    // The music starts with the frame clock; the position counts the rows
    // played to the end, so it trails the clock by less than a row. A row
    // of slack either way covers the moments between the two.
    const double seconds = show.clock.ticksTotal / 60;
    const double behind = seconds / s.rowSeconds - show.position;
    if (behind < -1 || behind > 2) {
        std::fprintf(stderr, "position %d after %.3f s: out of step\n", show.position, seconds);
        _exit(3);
    }
    if (seconds > 3.0) {
        if (s.frames < 20 || show.position < 10) {
            std::fprintf(stderr, "%d frames, position %d after 3 s\n", s.frames, show.position);
            _exit(4);
        }
        SDL_Event escape{};
        escape.type = SDL_KEYDOWN;
        escape.key.keysym.sym = SDLK_ESCAPE;
        SDL_PushEvent(&escape);
    }
    return result;
}

[[noreturn]] void PlayWithoutAudio(double rowSeconds) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    Options options;
    options.mode = DisplayMode::Window;
    Host host;
    std::string error;
    if (!MakeDisplayHost(options, host, error)) {
        std::fprintf(stderr, "no host: %s\n", error.c_str());
        _exit(2);
    }
    SetPluginPath(kBuild + "/libnpmod32.so");
    static Show show;
    show.host = &host;
    show.dataDir = kBuild;
    gInStep = InStep{&show, host.flip, rowSeconds};
    host.flip = FlipAndCompare;
    RunShow(show);  // Escape ends the process from inside the frame loop
    std::fprintf(stderr, "the show ended by itself\n");
    _exit(5);
}

double ShowRowSeconds() {
    const std::string bytes = ReadFile(kBuild + "/snd/pelerind.xm");
    openmpt_module* module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!module) return 0;
    const double seconds =
        XmRowSeconds(openmpt_module_get_current_speed(module), openmpt_module_get_current_tempo(module));
    openmpt_module_destroy(module);
    return seconds;
}

TEST(Devices, WithoutAnAudioDeviceTheShowPlaysSilentlyAndInStep) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const double rowSeconds = ShowRowSeconds();
    ASSERT_GT(rowSeconds, 0.05);
    // Said once, and nothing else goes wrong.
    EXPECT_EXIT(PlayWithoutAudio(rowSeconds), ::testing::ExitedWithCode(0),
                "^npmod32: no audio device \\([^\n]*\\); playing silently\n$");
}

TEST(Devices, WithoutAnAudioDeviceTheProgramPlaysUntilClosed) {
    // As a user runs it: the window on the dummy driver, no audio device.
    // Once the music is set up, a close request (SIGTERM, as from the
    // desktop) ends it with status 0.
    bool asked = false;
    const Outcome run = Launch({"--window"}, {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=nonexistent"}, 300,
                               [&asked, since = Clock::time_point{}](pid_t pid, const std::string& err) mutable {
                                   if (!Contains(err, "playing silently") || asked) return;
                                   if (since == Clock::time_point{}) since = Clock::now();
                                   if (Clock::now() - since > std::chrono::seconds(2)) {
                                       kill(pid, SIGTERM);
                                       asked = true;
                                   }
                               });
    EXPECT_TRUE(asked) << run.err;
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
}

TEST(Devices, RecordingsThatCannotBeWrittenEndWithTheReason) {
    TempDir dir;
    struct Case {
        std::string target;  // --record
        std::string full;    // a file of the folder made a link to /dev/full
        const char* message;
    };
    const std::string folder = dir / "rec";
    const Case cases[] = {
        {"/dev/full/rec", "", "sixscene: /dev/full/rec: cannot create the folder: Not a directory"},
        {folder, "frames.csv", "the recording is incomplete: " },
        {folder, "audio.wav", "the recording is incomplete: "},
        {folder, "frame-000003.png", "the recording is incomplete: "},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder);
        if (!c.full.empty()) {
            fs::create_directory(folder);
            fs::create_symlink("/dev/full", folder + "/" + c.full);
        }
        // No --frames: a full disk must end the run, not the show's end.
        const Outcome run = Launch({"--headless", "--record", c.target}, {}, 600);
        const std::string what = c.target + " " + c.full;
        EXPECT_FALSE(run.timedOut) << what;
        EXPECT_EQ(run.status, 1) << what << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << what << "\n" << run.err;
        if (!c.full.empty()) {
            EXPECT_TRUE(Contains(run.err, folder + "/" + c.full + ": ")) << what << "\n" << run.err;
            EXPECT_TRUE(Contains(run.err, "No space left on device")) << what << "\n" << run.err;
            // Not long after the first write that failed (a frame log's buffer).
            EXPECT_GE(FramesRun(run.err), 0) << run.err;
            EXPECT_LT(FramesRun(run.err), 600) << what;
        }
    }
    if (geteuid() != 0) {
        // Permissions mean nothing to root.
        fs::create_directories(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        const Outcome run = Launch({"--headless", "--record", dir / "locked/rec", "--frames", "3"}, {}, 120);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Contains(run.err, "Permission denied")) << run.err;
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
}

bool HaveFfmpeg() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, colon - start) + "/ffmpeg").c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

TEST(Devices, VideosThatCannotBeWrittenEndWithTheReason) {
    TempDir dir;
    if (!HaveFfmpeg()) {
        const Outcome run = Launch({"--headless", "--record", dir / "show.mp4", "--frames", "3"}, {}, 120);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Contains(run.err, "needs the ffmpeg program")) << run.err;
        GTEST_SKIP() << "no ffmpeg";
    }
    for (const std::string path : {"/dev/full/show.mp4", "/nonexistent/show.mkv"}) {
        const Outcome run = Launch({"--headless", "--record", path, "--frames", "3"}, {}, 120);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(Contains(run.err, "sixscene: " + path + ": ")) << run.err;
    }
    // ffmpeg itself finds the disk full; without it the run says so at once.
    const std::string full = dir / "show.mkv";
    fs::create_symlink("/dev/full", full);
    const Outcome run = Launch({"--headless", "--record", full}, {}, 600);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "sixscene: the video is incomplete: ")) << run.err;
    EXPECT_LT(FramesRun(run.err), 600) << run.err;
}

TEST(Devices, ExitStatusesAreTheDocumentedOnes) {
    const Outcome help = Launch({"--help"}, {}, 60);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(Launch({"--scale", "0"}, {}, 60).status, 2);
    EXPECT_EQ(Launch({"--window", "--headless"}, {}, 60).status, 2);
    EXPECT_EQ(Launch({"--headless", "--frames", "3"}, {}, 120).status, 0);
    EXPECT_EQ(Launch({"--headless", "--data", "/nonexistent"}, {}, 120).status, 1);

    // Ctrl+C once the frames are coming: 130, with the recording finished.
    TempDir dir;
    const std::string folder = dir / "rec";
    bool interrupted = false;
    const Outcome run = Launch({"--headless", "--record", folder}, {}, 600, [&](pid_t pid, const std::string&) {
        if (!interrupted && fs::exists(folder + "/frame-000002.png")) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    });
    ASSERT_TRUE(interrupted) << run.err;
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_TRUE(Contains(run.err, "sixscene: interrupted at frame ")) << run.err;
    // The sound file's header counts the samples written.
    const std::string wav = ReadFile(folder + "/audio.wav");
    ASSERT_GT(wav.size(), 44u);
    const auto* size = reinterpret_cast<const uint8_t*>(wav.data() + 40);
    EXPECT_EQ(size[0] | size[1] << 8 | size[2] << 16 | uint32_t{size[3]} << 24, wav.size() - 44);
}

}  // namespace
