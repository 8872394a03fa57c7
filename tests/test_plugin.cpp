// The module-player plug-in, loaded by name like the program does.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "npmod32.h"
#include "support/xm_fixture.h"

namespace {

struct Plugin {
    void* library = nullptr;
    ModPlug_CreateExFn createEx = nullptr;
    ModPlug_DestroyFn destroy = nullptr;
    ModPlug_SetWindowFn setWindow = nullptr;
    ModPlug_LoadFn load = nullptr;
    ModPlug_GetVUMeterFn vuMeter = nullptr;
    ModPlug_PlayFn play = nullptr;
    ModPlug_StopFn stop = nullptr;
    ModPlug_GetCurrentPositionFn position = nullptr;
    ModPlug_SetCurrentPositionFn setPosition = nullptr;
    ModPlug_IsReadyFn isReady = nullptr;
};

template <typename Fn>
void Bind(Plugin& plugin, Fn& entry, const char* name) {
    entry = reinterpret_cast<Fn>(dlsym(plugin.library, name));
}

const Plugin& GetPlugin() {
    static Plugin plugin = [] {
        Plugin p;
        p.library = dlopen(SIXSCENE_BUILD_DIR "/libnpmod32.so", RTLD_NOW | RTLD_LOCAL);
        if (!p.library) return p;
        Bind(p, p.createEx, "ModPlug_CreateEx");
        Bind(p, p.destroy, "ModPlug_Destroy");
        Bind(p, p.setWindow, "ModPlug_SetWindow");
        Bind(p, p.load, "ModPlug_Load");
        Bind(p, p.vuMeter, "ModPlug_GetVUMeter");
        Bind(p, p.play, "ModPlug_Play");
        Bind(p, p.stop, "ModPlug_Stop");
        Bind(p, p.position, "ModPlug_GetCurrentPosition");
        Bind(p, p.setPosition, "ModPlug_SetCurrentPosition");
        Bind(p, p.isReady, "ModPlug_IsReady");
        return p;
    }();
    return plugin;
}

std::filesystem::path TempDir() {
    return std::filesystem::temp_directory_path() / ("sixscene_plugin_" + std::to_string(getpid()));
}

std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(TempDir());
    return (TempDir() / name).string();
}

struct RemoveTempDir : ::testing::Environment {
    void TearDown() override { std::filesystem::remove_all(TempDir()); }
};
const auto* const removeTempDir = ::testing::AddGlobalTestEnvironment(new RemoveTempDir);

// `orderCount` orders of one pattern of `rows` rows, a note at its first row.
XmSong SteadySong(int speed, int bpm, int orderCount, uint16_t rows) {
    XmSong song;
    song.speed = speed;
    song.bpm = bpm;
    song.patterns.push_back(MakeXmPattern(rows, song.channels));
    XmCellAt(song.patterns[0], song.channels, 0, 0) = XmCell{49, 1, 0, 0, 0};
    song.orders.assign(orderCount, 0);
    return song;
}

// 8 + 7 + 4 + 3 + 11 = 33 rows: a pattern break leaves order 1 early, order 2
// jumps back into order 1 at row 8 (B01 + D08), whose break at row 10 skips
// the jump on the second pass (D05).
XmSong JumpSong() {
    XmSong song;
    for (uint16_t rows : {8, 16, 16}) song.patterns.push_back(MakeXmPattern(rows, song.channels));
    XmCellAt(song.patterns[0], 2, 0, 0) = XmCell{49, 1, 0, 0, 0};
    XmCellAt(song.patterns[1], 2, 6, 0) = XmCell{0, 0, 0, 0x0D, 0};
    XmCellAt(song.patterns[1], 2, 10, 0) = XmCell{0, 0, 0, 0x0D, XmBreakParam(5)};
    XmCellAt(song.patterns[2], 2, 3, 0) = XmCell{0, 0, 0, 0x0B, 1};
    XmCellAt(song.patterns[2], 2, 3, 1) = XmCell{0, 0, 0, 0x0D, XmBreakParam(8)};
    song.orders = {0, 1, 2};
    return song;
}

// 32 rows: 8 at speed 6 / 125 BPM, 8 at speed 3, 16 at speed 3 / 150 BPM.
XmSong TempoSong() {
    XmSong song = SteadySong(6, 125, 1, 32);
    XmCellAt(song.patterns[0], 2, 8, 1) = XmCell{0, 0, 0, 0x0F, 3};
    XmCellAt(song.patterns[0], 2, 16, 1) = XmCell{0, 0, 0, 0x0F, 150};
    return song;
}
std::vector<double> TempoSongRowsMs() {
    std::vector<double> rows(8, 120.0);
    rows.insert(rows.end(), 8, 60.0);
    rows.insert(rows.end(), 16, 50.0);
    return rows;
}

// Rows completed within the first t ms.
int32_t RowsAt(const std::vector<double>& rowMs, double t) {
    int32_t rows = 0;
    double end = 0.0;
    for (double ms : rowMs) {
        end += ms;
        if (end > t + 1e-9) break;
        ++rows;
    }
    return rows;
}

// A host in offline mode: a clock the test sets, and a sink that records.
struct OfflineHost {
    uint32_t nowMs = 1000;
    uint64_t frames = 0;
    float peak = 0.0f;
    float peakSinceMark = 0.0f;
    SixsceneMusicWindow window{kSixsceneMusicWindowMagic, 1, &Clock, &Sink, this};

    static uint32_t Clock(void* user) { return static_cast<OfflineHost*>(user)->nowMs; }
    static void Sink(void* user, const float* samples, uint32_t count) {
        auto* host = static_cast<OfflineHost*>(user);
        host->frames += count;
        for (uint32_t i = 0; i < count * 2; ++i) {
            host->peak = std::max(host->peak, std::fabs(samples[i]));
            host->peakSinceMark = std::max(host->peakSinceMark, std::fabs(samples[i]));
        }
    }
};

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(plugin.library, nullptr) << dlerror();
        for (void* entry : {(void*)plugin.createEx, (void*)plugin.destroy, (void*)plugin.setWindow,
                            (void*)plugin.load, (void*)plugin.vuMeter, (void*)plugin.play, (void*)plugin.stop,
                            (void*)plugin.position, (void*)plugin.setPosition, (void*)plugin.isReady})
            ASSERT_NE(entry, nullptr);
    }
    void TearDown() override {
        if (instance) plugin.destroy(instance);
    }
    // An offline instance with `song` loaded, not yet playing.
    void StartOffline(const XmSong& song, const char* name, const char* parameters = "autostart|false") {
        const std::string path = TempPath(name);
        ASSERT_TRUE(WriteXm(song, path));
        instance = plugin.createEx(parameters);
        ASSERT_NE(instance, nullptr);
        host.window.user = &host;
        plugin.setWindow(instance, &host.window);
        ASSERT_NE(plugin.load(instance, path.c_str()), 0);
        ASSERT_NE(plugin.isReady(instance), 0);
    }
    int32_t At(uint32_t ms) {
        host.nowMs = ms;
        return plugin.position(instance);
    }

    const Plugin& plugin = GetPlugin();
    OfflineHost host;
    void* instance = nullptr;
};

TEST_F(PluginTest, AutostartFalseStaysSilentUntilPlay) {
    StartOffline(SteadySong(6, 125, 2, 16), "silent.xm");
    EXPECT_EQ(At(3000), 0);
    EXPECT_EQ(host.frames, 0u);
    plugin.play(instance);                 // time 0 is the clock at Play
    EXPECT_EQ(At(3000 + 600), 5);          // 600 ms of 120 ms rows
    EXPECT_EQ(host.frames, 600u * 48u);
    EXPECT_GT(host.peak, 0.05f);
    EXPECT_GT(plugin.vuMeter(instance), 0);
}

TEST_F(PluginTest, StartsByItselfWithoutAutostartFalse) {
    StartOffline(SteadySong(6, 125, 2, 16), "autostart.xm", "");
    EXPECT_EQ(At(1000 + 370), 3);
}

struct Tempo {
    int speed;
    int bpm;
    bool exact;  // whole frames per tick
};

class OfflineTempoTest : public PluginTest, public ::testing::WithParamInterface<Tempo> {};

TEST_P(OfflineTempoTest, PositionIsRowsPlayedByTheClock) {
    const Tempo tempo = GetParam();
    StartOffline(SteadySong(tempo.speed, tempo.bpm, 3, 64), "steady.xm");
    const std::vector<double> rowMs(3 * 64, XmRowSeconds(tempo.speed, tempo.bpm) * 1000.0);
    plugin.play(instance);
    int32_t previous = 0;
    for (uint32_t t = 0; t < 50000; t += 37) {
        // Ticks are cut to whole frames, so a row may end a little early.
        const double slack = tempo.exact ? 0.0 : t * 0.002;
        const int32_t position = At(1000 + t);
        ASSERT_GE(position, RowsAt(rowMs, t - slack)) << "t=" << t;
        ASSERT_LE(position, RowsAt(rowMs, t + slack)) << "t=" << t;
        ASSERT_GE(position, previous);
        previous = position;
        ASSERT_EQ(host.frames, uint64_t{t} * 48u);
    }
    EXPECT_EQ(previous, 3 * 64);  // the end: the position stops rising
}

INSTANTIATE_TEST_SUITE_P(Tempos, OfflineTempoTest,
                         ::testing::Values(Tempo{6, 125, true}, Tempo{3, 150, true}, Tempo{12, 146, false},
                                           Tempo{5, 97, false}));

TEST_F(PluginTest, RowsCountAcrossBreaksJumpsAndTempoChanges) {
    struct Case {
        XmSong song;
        std::vector<double> rowMs;
        const char* name;
    };
    const Case cases[] = {{JumpSong(), std::vector<double>(33, 120.0), "jump.xm"},
                          {TempoSong(), TempoSongRowsMs(), "tempo.xm"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host = OfflineHost{};
        StartOffline(c.song, c.name);
        plugin.play(instance);
        for (uint32_t t = 0; t <= 5000; t += 10) ASSERT_EQ(At(1000 + t), RowsAt(c.rowMs, t)) << "t=" << t;
        // After the end the sink still gets the time, in silence.
        host.peakSinceMark = 0.0f;
        EXPECT_EQ(At(1000 + 6000), static_cast<int32_t>(c.rowMs.size()));
        EXPECT_EQ(host.frames, 6000u * 48u);
        EXPECT_EQ(host.peakSinceMark, 0.0f);
        plugin.destroy(instance);
        instance = nullptr;
    }
}

TEST_F(PluginTest, RewindRestartsFromTheFirstRow) {
    StartOffline(TempoSong(), "rewind.xm");
    plugin.play(instance);
    EXPECT_EQ(At(1000 + 1500), RowsAt(TempoSongRowsMs(), 1500));
    plugin.setPosition(instance, 0);
    EXPECT_EQ(plugin.position(instance), 0);
    // The speed set during the first pass is undone.
    for (uint32_t t = 0; t <= 1500; t += 30) ASSERT_EQ(At(2500 + t), RowsAt(TempoSongRowsMs(), t)) << "t=" << t;
    // And after the end it plays again.
    EXPECT_EQ(At(10000), 32);
    plugin.setPosition(instance, 0);
    EXPECT_EQ(At(10000 + 130), 1);
}

TEST_F(PluginTest, SetPositionFastForwardsByRows) {
    StartOffline(JumpSong(), "forward.xm");
    plugin.setPosition(instance, 20);
    EXPECT_EQ(plugin.position(instance), 20);
    EXPECT_EQ(host.frames, 0u);  // skipped silently
    plugin.play(instance);
    EXPECT_EQ(At(1000 + 3 * 120 + 30), 23);
    plugin.setPosition(instance, 500);  // past the end
    EXPECT_EQ(plugin.position(instance), 33);
    plugin.setPosition(instance, -5);
    EXPECT_EQ(plugin.position(instance), 0);
}

TEST_F(PluginTest, StopPausesAndPlayResumes) {
    StartOffline(SteadySong(6, 125, 2, 16), "pause.xm");
    plugin.play(instance);
    EXPECT_EQ(At(1000 + 500), 4);
    plugin.stop(instance);
    const uint64_t frames = host.frames;
    EXPECT_EQ(At(1000 + 3000), 4);
    EXPECT_EQ(host.frames, frames);
    plugin.play(instance);
    EXPECT_EQ(At(4000 + 250), 6);  // 500 + 250 ms played
    EXPECT_EQ(host.frames, 750u * 48u);
}

TEST_F(PluginTest, BadFilesFailToLoad) {
    const std::string garbage = TempPath("garbage.xm");
    std::ofstream(garbage) << "this is not a tracker module, just some words";
    const std::string empty = TempPath("empty.xm");
    std::ofstream{empty};
    instance = plugin.createEx("autostart|false");
    for (const std::string& path : {garbage, empty, TempPath("missing.xm")}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(plugin.load(instance, path.c_str()), 0) << path;
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(path), std::string::npos);
        EXPECT_EQ(plugin.isReady(instance), 0);
        EXPECT_EQ(plugin.position(instance), 0);
    }
    EXPECT_EQ(plugin.play(instance), 0);
    EXPECT_EQ(plugin.position(nullptr), 0);
}

// Runs in a fresh process, since SDL reads SDL_AUDIODRIVER when audio first
// starts. Polls the position for about a second of real-time play.
[[noreturn]] void PlayInRealTime(const char* driver, bool windowed, int playerCount) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    const Plugin& plugin = GetPlugin();
    auto fail = [](const std::string& why) {
        std::fprintf(stderr, "FAILED: %s\n", why.c_str());
        std::fflush(stderr);
        _exit(1);
    };
    const std::string path = TempPath(std::string("realtime_") + driver + ".xm");
    // 10 ms rows: shorter than a device buffer, so what is decoded runs
    // rows ahead of what is heard.
    if (!WriteXm(SteadySong(1, 250, 10, 64), path)) fail("cannot write module");
    const double rowSeconds = XmRowSeconds(1, 250);
    SixsceneMusicWindow window{kSixsceneMusicWindowMagic, 0, nullptr, nullptr, nullptr};
    std::vector<void*> players(playerCount);
    for (void*& player : players) {
        player = plugin.createEx("autostart|false");
        plugin.setWindow(player, windowed ? &window : nullptr);
        if (!plugin.load(player, path.c_str()) || !plugin.isReady(player)) fail("not ready");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (plugin.position(players[0]) != 0) fail("rose before Play");
    const auto start = std::chrono::steady_clock::now();
    plugin.play(players[0]);
    int32_t previous = 0;
    double elapsed = 0.0;
    while (elapsed < 1.2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int32_t position = plugin.position(players[0]);
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (position < previous) fail("stepped back");
        // Never ahead of the time since Play; behind by the latency at most
        // (and whatever a busy machine adds).
        if (position > elapsed / rowSeconds + 0.5 || position < (elapsed - 0.4) / rowSeconds - 1) {
            std::ostringstream why;
            why << "position " << position << " after " << elapsed << " s";
            fail(why.str());
        }
        previous = position;
    }
    if (previous < 50) fail("hardly rose");
    plugin.setPosition(players[0], 0);
    if (plugin.position(players[0]) > 1) fail("rewind did not reset");
    for (void* player : players) plugin.destroy(player);
    std::filesystem::remove_all(TempDir());
    std::fflush(stderr);
    _exit(0);
}

class PluginRealTimeTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(PluginRealTimeTest, WithoutADeviceTheSilentClockRises) {
    // Said once per process, however many players.
    EXPECT_EXIT(PlayInRealTime("nonexistent", true, 2), ::testing::ExitedWithCode(0),
                "^npmod32: no audio device \\([^\n]*\\); playing silently\n$");
}

TEST_F(PluginRealTimeTest, DummyDeviceRisesWithWhatIsHeard) {
    EXPECT_EXIT(PlayInRealTime("dummy", false, 1), ::testing::ExitedWithCode(0), "^$");
}

TEST_F(PluginTest, ShowModulePlaysAtItsRowRate) {
    const std::string path = SIXSCENE_BUILD_DIR "/snd/pelerind.xm";
    std::ifstream file(path, std::ios::binary);
    if (!file) GTEST_SKIP() << "no show module yet";
    const std::vector<char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    openmpt_module* module = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr, nullptr,
                                                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(module, nullptr);
    const double rowMs = XmRowSeconds(openmpt_module_get_current_speed(module),
                                      openmpt_module_get_current_tempo(module)) * 1000.0;
    openmpt_module_destroy(module);

    instance = plugin.createEx("autostart|false");
    plugin.setWindow(instance, &host.window);
    ASSERT_NE(plugin.load(instance, path.c_str()), 0);
    plugin.setPosition(instance, 0);
    plugin.play(instance);
    const uint32_t t = 20000;
    EXPECT_NEAR(At(1000 + t), t / rowMs, 1.0);
    EXPECT_GT(host.peak, 0.05f);
}

}  // namespace
