// Start-up (data loading, object and timeline set-up, module loading) and the
// whole show run headless by the program itself.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "music/music_player.h"
#include "platform/backends.h"
#include "show_fixture.h"

extern char** environ;

namespace {

// What the program does before its first frame, audio device aside: the ten
// pictures, the four objects with their mappings, the scenes and the text.
void BM_StartUp(benchmark::State& state) {
    for (auto _ : state) {
        auto show = std::make_unique<bench::ShowState>();
        if (!show->SetUp()) {
            state.SkipWithError(show->error.c_str());
            break;
        }
        benchmark::DoNotOptimize(show.get());
    }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

uint32_t StoppedClock(void*) { return 0; }

// The music's share of start-up: the plug-in loaded and bound, a player
// made offline (no audio device), the module loaded until ready.
void BM_StartUpMusic(benchmark::State& state) {
    Host host;
    InstallLibraryLoader(host);
    SetPluginPath(bench::DataDir() + "/libnpmod32.so");
    SixsceneMusicWindow window{kSixsceneMusicWindowMagic, 1, StoppedClock, nullptr, nullptr};
    const std::string module = bench::DataDir() + "/snd/pelerind.xm";
    for (auto _ : state) {
        MusicPlayer music;
        std::string error;
        if (!LoadMusicLibrary(music, host, "npmod32.dll", &error) || !CreateMusicPlayer(music, &window) ||
            !LoadModule(music, module)) {
            state.SkipWithError(error.empty() ? "cannot load the module" : error.c_str());
            UnloadMusicLibrary(music);
            break;
        }
        UnloadMusicLibrary(music);
    }
}
BENCHMARK(BM_StartUpMusic)->Unit(benchmark::kMillisecond);

// The whole show in this process, as the frame loop plays it headless: a
// cleared 32-bit target, the virtual clock (frame n at n * 1000 / 60 ms), the
// music rendered offline by the plug-in, the timeline. No host, no
// presentation. Each scene's frames go through their own step function, so
// that a profiler can tell them apart (scripts/bench --instructions).
struct InProcessShow {
    Host host;
    MusicPlayer music;
    bench::ShowState show;
    FrameClock clock;
    std::string error;
};

uint32_t gShowClockMs = 0;
uint32_t ShowClock(void*) { return gShowClockMs; }
void DiscardAudio(void*, const float*, uint32_t) {}

using StepFn = bool (*)(bench::ShowState&, const FrameClock&);
[[gnu::noinline]] bool Step(bench::ShowState& show, const FrameClock& clock) {
    std::fill(show.target.begin(), show.target.end(), 0u);
    return TimelineStep(show.timeline, BackBuffer{show.target.data(), 320, 240, 0}, show.position,
                        clock.frameTicks, clock.ticksTotal);
}
[[gnu::noinline]] bool StepScene1(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepScene2(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepScene3(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepScene4(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepScene5(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepScene6(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] bool StepEnd(bench::ShowState& s, const FrameClock& c) { return Step(s, c); }
[[gnu::noinline]] int32_t ReadMusicPosition(const MusicPlayer& music) { return MusicPosition(music); }

void BM_WholeShowInProcess(benchmark::State& state) {
    static const SixsceneMusicWindow window{kSixsceneMusicWindowMagic, 1, ShowClock, DiscardAudio, nullptr};
    constexpr StepFn kSteps[7] = {StepEnd, StepScene1, StepScene2, StepScene3, StepScene4, StepScene5, StepScene6};
    double frames = 0, seconds = 0, musicSeconds = 0;
    double sceneFrames[7] = {}, sceneSeconds[7] = {};
    for (auto _ : state) {
        auto run = std::make_unique<InProcessShow>();
        InstallLibraryLoader(run->host);
        SetPluginPath(bench::DataDir() + "/libnpmod32.so");
        std::string& error = run->error;
        if (!LoadMusicLibrary(run->music, run->host, "npmod32.dll", &error) ||
            !CreateMusicPlayer(run->music, const_cast<SixsceneMusicWindow*>(&window)) ||
            !LoadModule(run->music, bench::DataDir() + "/snd/pelerind.xm") || !run->show.SetUp()) {
            state.SkipWithError(error.empty() ? run->show.error.c_str() : error.c_str());
            break;
        }
        gShowClockMs = 0;
        StartClock(run->clock, gShowClockMs);
        StartMusic(run->music);
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (int64_t n = 0;; ++n) {
            const auto frameStart = Clock::now();
            gShowClockMs = static_cast<uint32_t>(n * 1000 / 60);
            AdvanceClock(run->clock, gShowClockMs);
            run->show.position = ReadMusicPosition(run->music);
            const auto drawStart = Clock::now();
            const int32_t scene = SceneForPosition(run->show.position);
            const bool ended = kSteps[scene](run->show, run->clock);
            const auto frameEnd = Clock::now();
            musicSeconds += std::chrono::duration<double>(drawStart - frameStart).count();
            if (ended) break;
            sceneFrames[scene] += 1;
            sceneSeconds[scene] += std::chrono::duration<double>(frameEnd - drawStart).count();
            frames += 1;
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(wall);
        seconds += wall;
        UnloadMusicLibrary(run->music);
    }
    if (frames > 0) {
        state.counters["frames"] = frames / static_cast<double>(state.iterations());
        state.counters["fps"] = frames / seconds;
        state.counters["music_us"] = musicSeconds / frames * 1e6;
        for (int scene = 1; scene <= 6; ++scene) {
            if (sceneFrames[scene] > 0) {
                state.counters["s" + std::to_string(scene) + "_us"] = sceneSeconds[scene] / sceneFrames[scene] * 1e6;
            }
        }
    }
}
BENCHMARK(BM_WholeShowInProcess)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// Runs the program and returns its exit status; `cpu` gets the child's user
// plus system time in seconds, `summary` its last line on stderr.
int RunProgram(const std::vector<std::string>& args, double& cpu, std::string& summary) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 0, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string err;
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    if (spawned != 0) return -1;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return -1;
    cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    while (!err.empty() && err.back() == '\n') err.pop_back();
    summary = err.substr(err.rfind('\n') == std::string::npos ? 0 : err.rfind('\n') + 1);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The whole show, start to end, headless and without recording: frames a
// second by the wall clock (the benchmark's time) and by the program's own
// processor time (less disturbed by other load).
void BM_WholeShowHeadless(benchmark::State& state) {
    const std::string program = bench::DataDir() + "/sixscene";
    double frames = 0, cpuTotal = 0, wallTotal = 0;
    for (auto _ : state) {
        double cpu = 0;
        std::string summary;
        const auto start = std::chrono::steady_clock::now();
        const int status = RunProgram({program, "--headless"}, cpu, summary);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        long long count = 0;
        // "sixscene: N frames in S s (F frames a second)"
        if (status != 0 || std::sscanf(summary.c_str(), "sixscene: %lld frames", &count) != 1) {
            state.SkipWithError(("the program failed: " + summary).c_str());
            break;
        }
        state.SetIterationTime(wall);
        frames += static_cast<double>(count);
        cpuTotal += cpu;
        wallTotal += wall;
    }
    if (state.iterations() > 0 && cpuTotal > 0) {
        state.counters["frames"] = frames / static_cast<double>(state.iterations());
        state.counters["fps"] = frames / wallTotal;
        state.counters["fps_cpu"] = frames / cpuTotal;
    }
}
BENCHMARK(BM_WholeShowHeadless)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// The program from launch to exit after one frame: process start, start-up
// with the module, one frame.
void BM_ProgramOneFrame(benchmark::State& state) {
    const std::string program = bench::DataDir() + "/sixscene";
    for (auto _ : state) {
        double cpu = 0;
        std::string summary;
        if (RunProgram({program, "--headless", "--frames", "1"}, cpu, summary) != 0) {
            state.SkipWithError(("the program failed: " + summary).c_str());
            break;
        }
    }
}
BENCHMARK(BM_ProgramOneFrame)->Unit(benchmark::kMillisecond);

}  // namespace
