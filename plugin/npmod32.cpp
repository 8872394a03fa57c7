// The module-player plug-in: plays a tracker module through libopenmpt and
// reports how many pattern rows have been played since the start.
//
// Three ways of keeping time:
// - offline: no audio device; the module is rendered in step with the host's
//   clock (window->clockMs) whenever the host asks for the position, and the
//   rendered audio goes to the host's sink;
// - real time: the audio device (SDL2, or waveOut on Windows) pulls the
//   audio; its callback renders and publishes when each row count became
//   audible, and the position is the count at the frame estimated to be
//   heard now;
// - silent clock: real time was asked for but no device could be opened; the
//   module is rendered and discarded in step with a steady clock.
//
// Locks, always taken in this order: Player::api (every entry point),
// Player::moduleLock (the libopenmpt module and the row counter, shared with
// the audio callback), Player::publishLock (what the callback publishes).
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "audio_device.h"
#include "npmod32.h"

#if defined(_WIN32)
#define NPMOD32_EXPORT extern "C" __declspec(dllexport)
#else
#define NPMOD32_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using SteadyClock = std::chrono::steady_clock;

// Reads shorter than any row (a row lasts at least 470 frames at 48 kHz), so
// that every row change is seen.
constexpr int kChunkFrames = 64;
constexpr int kDeviceBufferFrames = 1024;
constexpr size_t kRowEventCapacity = 256;
constexpr int64_t kFramesPerMs = kSixsceneSampleRate / 1000;

enum class Output { RealTime, Offline, SilentClock };

// The row count `rows` holds from device frame `frame` on.
struct RowEvent {
    int64_t frame = 0;
    int32_t rows = 0;
};

struct Player {
    // Guarded by api.
    std::mutex api;
    bool autostart = true;
    bool offline = false;
    SixsceneMusicWindow window{};
    Output output = Output::RealTime;
    AudioDevice* device = nullptr;
    int64_t deviceLatency = 0;
    uint32_t originMs = 0;               // host clock at the last (re)start of the clock
    SteadyClock::time_point originTime;  // steady clock at the same moment
    int64_t originFrames = 0;            // playback frames at that moment
    // Tests: the device "goes away" this long after play starts (0: never).
    int64_t loseDeviceAfterMs = 0;
    SteadyClock::time_point playStarted;

    // Guarded by moduleLock.
    std::mutex moduleLock;
    openmpt_module* module = nullptr;
    bool playing = false;
    bool ended = false;
    int32_t rows = 0;
    int32_t lastOrder = -1;
    int32_t lastRow = -1;
    int64_t renderedFrames = 0;    // frames read from the module since the start
    int64_t deliveredFrames = 0;   // playback frames handed on (offline) or counted as played
    std::vector<float> pending;    // rendered, not yet handed to the sink
    std::vector<RowEvent> callbackEvents;  // the callback's scratch, sized when the device opens

    // Guarded by publishLock.
    std::mutex publishLock;
    int64_t deviceFrames = 0;  // frames handed to the device, silence included
    SteadyClock::time_point lastCallback;
    bool heardAnything = false;
    std::array<RowEvent, kRowEventCapacity> events{};
    size_t eventStart = 0;
    size_t eventCount = 0;
    int32_t baseRows = 0;      // the count before the oldest kept event
    int32_t lastReported = 0;  // the position never steps back between rewinds
    int64_t moduleFramesHanded = 0;  // module frames rendered by the device's last callback
    int64_t moduleFramesBase = 0;    // the module's frame at the last load or seek
    int64_t lastReportedFrames = 0;  // heard time never steps back between rewinds

    std::atomic<int> vuPercent{0};
    std::atomic<uint32_t> volumePercent{100};
};

std::string Lowered(std::string value) {
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return value;
}

bool IsFalse(const std::string& value) {
    const std::string lowered = Lowered(value);
    return lowered == "false" || lowered == "0" || lowered == "no" || lowered == "off";
}

// "key|value|key|value"; unknown keys are ignored.
void ParseParameters(Player& player, const char* parameters) {
    if (!parameters) return;
    std::vector<std::string> parts;
    std::string current;
    for (const char* c = parameters; *c; ++c) {
        if (*c == '|') {
            parts.push_back(current);
            current.clear();
        } else {
            current += *c;
        }
    }
    parts.push_back(current);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (Lowered(parts[i]) == "autostart") player.autostart = !IsFalse(parts[i + 1]);
    }
}

void ReportNoDevice(const char* reason) {
    static std::once_flag reported;
    std::call_once(reported, [reason] {
        std::fprintf(stderr, "npmod32: no audio device (%s); playing silently\n", reason);
    });
}

// --- Rendering and row counting (moduleLock held) ---------------------------

// Reads up to kChunkFrames frames and counts rows. A row counts as played
// once the next row has begun, or the song has ended after it.
int RenderChunk(Player& player, float* out, int frames) {
    if (player.ended || frames <= 0) return 0;
    const int got = static_cast<int>(
        openmpt_module_read_interleaved_float_stereo(player.module, kSixsceneSampleRate, frames, out));
    if (got < frames) {
        // The module resets its order and row once the end is reached, so a
        // short read says nothing about rows; it ends the last one.
        player.ended = true;
        if (player.lastOrder >= 0) ++player.rows;
    } else {
        const int32_t order = openmpt_module_get_current_order(player.module);
        const int32_t row = openmpt_module_get_current_row(player.module);
        if (player.lastOrder >= 0 && (order != player.lastOrder || row != player.lastRow)) ++player.rows;
        player.lastOrder = order;
        player.lastRow = row;
    }
    float peak = 0.0f;
    for (int i = 0; i < got * 2; ++i) peak = std::max(peak, std::fabs(out[i]));
    player.vuPercent.store(static_cast<int>(std::min(peak, 1.0f) * 100.0f), std::memory_order_relaxed);
    return got;
}

void ResetCounting(Player& player) {
    player.ended = false;
    player.rows = 0;
    player.lastOrder = -1;
    player.lastRow = -1;
    player.renderedFrames = 0;
    player.deliveredFrames = 0;
    player.pending.clear();
}

void HandToSink(const Player& player, const float* frames, int64_t count) {
    if (count > 0 && player.offline && player.window.audioSink)
        player.window.audioSink(player.window.user, frames, static_cast<uint32_t>(count));
}

// Hands pending frames on up to playback frame `target` (exclusive), then
// silence if the song has ended before it.
void Deliver(Player& player, int64_t target) {
    const int64_t pendingFrames = static_cast<int64_t>(player.pending.size() / 2);
    const int64_t fromPending = std::min(target - player.deliveredFrames, pendingFrames);
    if (fromPending > 0) {
        HandToSink(player, player.pending.data(), fromPending);
        player.pending.erase(player.pending.begin(), player.pending.begin() + fromPending * 2);
        player.deliveredFrames += fromPending;
    }
    if (player.deliveredFrames < target && player.ended) {
        static const std::array<float, kDeviceBufferFrames * 2> silence{};
        while (player.deliveredFrames < target) {
            const int64_t count = std::min<int64_t>(target - player.deliveredFrames, kDeviceBufferFrames);
            HandToSink(player, silence.data(), count);
            player.deliveredFrames += count;
        }
    }
}

// Plays up to playback frame `target`: afterwards `rows` counts the rows that
// ended within the first `target` frames. Frame `target` itself is rendered
// (and held back) so that a row ending exactly there is already counted.
void AdvanceTo(Player& player, int64_t target) {
    if (!player.module || target <= player.deliveredFrames) return;
    const bool keepAudio = player.offline && player.window.audioSink;
    std::array<float, kChunkFrames * 2> chunk{};
    while (!player.ended && player.renderedFrames < target + 1) {
        const int want = static_cast<int>(std::min<int64_t>(kChunkFrames, target + 1 - player.renderedFrames));
        const int got = RenderChunk(player, chunk.data(), want);
        player.renderedFrames += got;
        if (keepAudio) {
            player.pending.insert(player.pending.end(), chunk.begin(), chunk.begin() + got * 2);
            Deliver(player, target);
        }
    }
    if (keepAudio) Deliver(player, target);
    player.deliveredFrames = target;
}

// Back to the start, or on to `position` rows by rendering silently.
void SeekRows(Player& player, int32_t position) {
    openmpt_module_set_position_seconds(player.module, 0.0);
    ResetCounting(player);
    std::array<float, kChunkFrames * 2> chunk{};
    while (!player.ended && player.rows < position) {
        player.renderedFrames += RenderChunk(player, chunk.data(), kChunkFrames);
    }
    player.deliveredFrames = player.renderedFrames;
}

// --- Clocks (api held) -------------------------------------------------------

// Playback frames that should have been played by now.
int64_t ClockTarget(const Player& player) {
    if (player.output == Output::Offline) {
        const uint32_t now = player.window.clockMs(player.window.user);
        // Unsigned difference: survives the 32-bit wrap; a clock that steps
        // back counts as not having moved.
        const int32_t elapsed = static_cast<int32_t>(now - player.originMs);
        return player.originFrames + std::max<int32_t>(elapsed, 0) * kFramesPerMs;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - player.originTime);
    return player.originFrames + elapsed.count() * kSixsceneSampleRate / 1000000;
}

void RestartClock(Player& player, int64_t frames) {
    if (player.output == Output::Offline) player.originMs = player.window.clockMs(player.window.user);
    player.originTime = SteadyClock::now();
    player.originFrames = frames;
}

// --- Real-time publishing -----------------------------------------------------

void PushEvent(Player& player, RowEvent event) {
    if (player.eventCount == kRowEventCapacity) {
        player.baseRows = player.events[player.eventStart].rows;
        player.eventStart = (player.eventStart + 1) % kRowEventCapacity;
        --player.eventCount;
    }
    player.events[(player.eventStart + player.eventCount) % kRowEventCapacity] = event;
    ++player.eventCount;
}

// After a load or seek the published history no longer applies (publishLock held).
void ResetPublished(Player& player, int32_t rows) {
    player.eventStart = 0;
    player.eventCount = 0;
    player.baseRows = rows;
    player.lastReported = rows;
    player.moduleFramesBase = player.moduleFramesHanded = player.lastReportedFrames = player.deliveredFrames;
}

void AudioCallback(void* user, float* out, int frames) {
    Player& player = *static_cast<Player*>(user);
    std::lock_guard<std::mutex> moduleGuard(player.moduleLock);
    int done = 0;
    size_t eventCount = 0;
    if (player.module && player.playing) {
        while (done < frames && !player.ended) {
            const int want = std::min(kChunkFrames, frames - done);
            const int32_t before = player.rows;
            const int got = RenderChunk(player, out + done * 2, want);
            done += got;
            player.renderedFrames += got;
            player.deliveredFrames += got;
            if (player.rows != before && !player.callbackEvents.empty()) {
                // Offsets for now; made absolute under publishLock.
                if (eventCount == player.callbackEvents.size()) --eventCount;
                player.callbackEvents[eventCount++] = RowEvent{done, player.rows};
            }
        }
    }
    std::fill(out + done * 2, out + frames * 2, 0.0f);
    const uint32_t volume = player.volumePercent.load(std::memory_order_relaxed);
    if (volume != 100) {
        const float gain = static_cast<float>(volume) / 100.0f;
        for (int i = 0; i < done * 2; ++i) out[i] *= gain;
    }

    // Still under moduleLock, so a seek cannot slip in between rendering and
    // publishing.
    std::lock_guard<std::mutex> publishGuard(player.publishLock);
    for (size_t i = 0; i < eventCount; ++i) {
        RowEvent event = player.callbackEvents[i];
        event.frame += player.deviceFrames;
        PushEvent(player, event);
    }
    player.deviceFrames += frames;
    player.moduleFramesHanded = player.deliveredFrames;
    player.lastCallback = SteadyClock::now();
    player.heardAnything = true;
}

// The row count at the frame being heard now: frames handed to the device
// minus its latency, moved on by the time since the last callback.
// The device frame being heard now (publishLock held).
int64_t HeardDeviceFrame(const Player& player) {
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - player.lastCallback).count();
    const int64_t advance = std::min(static_cast<int64_t>(elapsed * kSixsceneSampleRate), player.deviceLatency);
    return player.deviceFrames - player.deviceLatency + advance;
}

// The module's frame being heard now.
int64_t HeardModuleFrame(Player& player) {
    std::lock_guard<std::mutex> publishGuard(player.publishLock);
    if (!player.heardAnything) return player.lastReportedFrames;
    const int64_t unheard = player.deviceFrames - HeardDeviceFrame(player);
    const int64_t heard = std::max(player.moduleFramesHanded - unheard, player.moduleFramesBase);
    player.lastReportedFrames = std::max(player.lastReportedFrames, heard);
    return player.lastReportedFrames;
}

int32_t HeardPosition(Player& player) {
    std::lock_guard<std::mutex> publishGuard(player.publishLock);
    if (!player.heardAnything) return player.lastReported;
    const int64_t heard = HeardDeviceFrame(player);
    int32_t rows = player.baseRows;
    for (size_t i = player.eventCount; i-- > 0;) {
        const RowEvent& event = player.events[(player.eventStart + i) % kRowEventCapacity];
        if (event.frame <= heard) {
            rows = event.rows;
            break;
        }
    }
    player.lastReported = std::max(player.lastReported, rows);
    return player.lastReported;
}

// --- Output set-up (api held, moduleLock not held: closing waits for the callback)

void CloseDevice(Player& player) {
    CloseAudioDevice(player.device);
    player.device = nullptr;
}

bool OpenDevice(Player& player) {
    AudioDeviceInfo info;
    std::string error;
    player.device = OpenAudioDevice(kDeviceBufferFrames, AudioCallback, &player, &info, &error);
    if (!player.device) {
        ReportNoDevice(error.c_str());
        return false;
    }
    {
        // The device is paused until started below, so no callback runs yet.
        std::lock_guard<std::mutex> moduleGuard(player.moduleLock);
        const size_t needed = static_cast<size_t>(std::max(info.bufferFrames, kDeviceBufferFrames)) / kChunkFrames + 2;
        player.callbackEvents.assign(needed, RowEvent{});
        std::lock_guard<std::mutex> publishGuard(player.publishLock);
        ResetPublished(player, player.rows);
        player.heardAnything = false;
        player.deviceFrames = 0;
    }
    player.deviceLatency = info.latencyFrames;
    StartAudioDevice(player.device);  // runs on silence until Play
    return true;
}

// Chooses the clock for the current window; opens the device when needed.
void ConfigureOutput(Player& player) {
    const Output before = player.output;
    if (player.offline) {
        CloseDevice(player);
        player.output = Output::Offline;
    } else if (player.device) {
        player.output = Output::RealTime;
    } else if (before == Output::SilentClock) {
        // The device already failed once; keep the silent clock.
    } else {
        player.output = OpenDevice(player) ? Output::RealTime : Output::SilentClock;
    }
}

// A device that went away mid-show leaves the silent clock to carry on
// from the position reached, so that the show neither freezes nor jumps.
void CheckDevice(Player& player) {
    if (player.output != Output::RealTime || !player.device) return;
    const bool hook = player.loseDeviceAfterMs > 0 && player.playing &&
                      SteadyClock::now() - player.playStarted >= std::chrono::milliseconds(player.loseDeviceAfterMs);
    if (!hook && !AudioDeviceLost(player.device)) return;
    std::fprintf(stderr, "npmod32: the audio device went away; playing on silently\n");
    CloseDevice(player);
    std::lock_guard<std::mutex> moduleGuard(player.moduleLock);
    player.output = Output::SilentClock;
    RestartClock(player, player.deliveredFrames);
}

Player* AsPlayer(void* instance) { return static_cast<Player*>(instance); }

// Where playback is: the offline and silent clocks are brought up to date
// and answer from what was rendered; real time from what has been heard.
template <typename Rendered, typename Heard>
int32_t AskPlayback(void* instance, Rendered rendered, Heard heard) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    CheckDevice(*player);
    {
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        if (!player->module) return 0;
        if (player->output != Output::RealTime) {
            if (player->playing) AdvanceTo(*player, ClockTarget(*player));
            return rendered(*player);
        }
    }
    return heard(*player);
}

// What libopenmpt logs while it reads a module.
void CollectLog(const char* message, void* user) {
    if (message && *message) static_cast<std::vector<std::string>*>(user)->push_back(message);
}

// Why libopenmpt cannot load `data`. Its error is only "error loading file",
// and the reasons its readers note are dropped when loading fails, so its
// header probe says whether the bytes are no module at all, too few to
// tell, or a module it recognises but cannot read; anything it logged
// follows.
std::string LoadFailure(const std::vector<uint8_t>& data, const char* error, const std::vector<std::string>& logged) {
    std::string reason;
    const std::string said = error && *error ? error : "error loading file";
    if (data.empty()) {
        reason = "the file is empty";
    } else {
        int probeError = 0;
        const char* probeMessage = nullptr;
        const int probe = openmpt_probe_file_header_without_filesize(
            OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, data.data(), data.size(), openmpt_log_func_silent, nullptr,
            openmpt_error_func_store, nullptr, &probeError, &probeMessage);
        switch (probe) {
            case OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE:
                reason = "libopenmpt recognises no module format in it";
                break;
            case OPENMPT_PROBE_FILE_HEADER_RESULT_WANTMOREDATA:
                reason = "too short: its " + std::to_string(data.size()) +
                         " bytes are too few for libopenmpt to recognise a module format";
                break;
            case OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS:
                reason = "damaged or cut short: libopenmpt recognises a module header but cannot read the module (" +
                         said + ")";
                break;
            default:
                reason = "libopenmpt: " + said;
                if (probeMessage && *probeMessage) reason += std::string("; ") + probeMessage;
                break;
        }
        openmpt_free_string(probeMessage);
    }
    for (const std::string& line : logged) {
        // The error itself comes back through the log; the rest is news.
        if (line.find(said) == std::string::npos) reason += "; libopenmpt: " + line;
    }
    return reason;
}

}  // namespace

NPMOD32_EXPORT void* ModPlug_CreateEx(const char* parameters) {
    Player* player = new Player;
    // Offline play holds back at most one chunk and one frame (AdvanceTo):
    // room for them now means no allocation while the show plays.
    player->pending.reserve(2 * (kChunkFrames + 1));
    ParseParameters(*player, parameters);
    if (const char* lose = std::getenv("NPMOD32_TEST_LOSE_DEVICE_MS")) player->loseDeviceAfterMs = std::atoll(lose);
    return player;
}

NPMOD32_EXPORT void ModPlug_Destroy(void* instance) {
    Player* player = AsPlayer(instance);
    if (!player) return;
    {
        std::lock_guard<std::mutex> apiGuard(player->api);
        CloseDevice(*player);
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        if (player->module) openmpt_module_destroy(player->module);
        player->module = nullptr;
    }
    delete player;
}

NPMOD32_EXPORT int ModPlug_SetWindow(void* instance, void* window) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    // A window of the system's own (the program's hidden window on Windows)
    // means real-time play, as does our record with offline = 0.
    const bool systemWindow = IsSystemWindow(window);
    const auto* musicWindow = systemWindow ? nullptr : static_cast<const SixsceneMusicWindow*>(window);
    const bool valid = systemWindow || (musicWindow && musicWindow->magic == kSixsceneMusicWindowMagic);
    // Offline without a clock could never advance: play in real time instead.
    const bool offline = valid && musicWindow && musicWindow->offline != 0 && musicWindow->clockMs != nullptr;
    {
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        // Bring the old clock up to date before it is replaced.
        if (player->module && player->playing && player->output != Output::RealTime)
            AdvanceTo(*player, ClockTarget(*player));
        player->window = musicWindow && valid ? *musicWindow : SixsceneMusicWindow{};
        player->offline = offline;
    }
    std::unique_lock<std::mutex> moduleGuard(player->moduleLock);
    const bool loaded = player->module != nullptr;
    moduleGuard.unlock();
    if (!loaded) return valid ? 1 : 0;
    ConfigureOutput(*player);
    // Playback goes on from where it was, timed by the new clock.
    moduleGuard.lock();
    RestartClock(*player, player->deliveredFrames);
    return valid ? 1 : 0;
}

NPMOD32_EXPORT int ModPlug_Load(void* instance, const char* path) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    if (!path) {
        std::fprintf(stderr, "npmod32: cannot load a module without a file name\n");
        return 0;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "npmod32: cannot load %s: %s\n", path, std::strerror(errno));
        return 0;
    }
    std::vector<uint8_t> data;
    std::array<uint8_t, 65536> block{};
    size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) data.insert(data.end(), block.begin(), block.begin() + got);
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError) {
        std::fprintf(stderr, "npmod32: cannot load %s: %s\n", path, std::strerror(readError));
        return 0;
    }

    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
    int error = 0;
    const char* message = nullptr;
    std::vector<std::string> logged;
    openmpt_module* module = openmpt_module_create_from_memory2(data.data(), data.size(), CollectLog, &logged,
                                                                openmpt_error_func_store, nullptr, &error, &message, ctls);
    if (!module) {
        std::fprintf(stderr, "npmod32: cannot load %s: %s\n", path, LoadFailure(data, message, logged).c_str());
        openmpt_free_string(message);
        return 0;
    }
    openmpt_free_string(message);
    // The module keeps its log function; `logged` is about to go.
    openmpt_module_set_log_func(module, openmpt_log_func_silent, nullptr);
    openmpt_module_set_repeat_count(module, 0);

    {
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        if (player->module) openmpt_module_destroy(player->module);
        player->module = module;
        player->playing = false;
        ResetCounting(*player);
        std::lock_guard<std::mutex> publishGuard(player->publishLock);
        ResetPublished(*player, 0);
    }
    ConfigureOutput(*player);
    if (player->autostart) {
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        RestartClock(*player, 0);
        player->playing = true;
    }
    return 1;
}

NPMOD32_EXPORT int ModPlug_GetVUMeter(void* instance) {
    Player* player = AsPlayer(instance);
    return player ? player->vuPercent.load(std::memory_order_relaxed) : 0;
}

NPMOD32_EXPORT int ModPlug_Play(void* instance) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
    if (!player->module) return 0;
    if (!player->playing) {
        RestartClock(*player, player->deliveredFrames);
        player->playing = true;
        if (player->playStarted == SteadyClock::time_point{}) player->playStarted = SteadyClock::now();
    }
    return 1;
}

NPMOD32_EXPORT int ModPlug_Stop(void* instance) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
    if (!player->module) return 0;
    if (player->playing && player->output != Output::RealTime) AdvanceTo(*player, ClockTarget(*player));
    player->playing = false;
    return 1;
}

NPMOD32_EXPORT int32_t ModPlug_GetCurrentPosition(void* instance) {
    return AskPlayback(instance, [](Player& player) { return player.rows; }, HeardPosition);
}

NPMOD32_EXPORT int ModPlug_HasEnded(void* instance) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    int32_t rows = 0;
    {
        std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
        if (!player->module || !player->ended) return 0;
        // Offline and silent: the end is reached once everything rendered
        // has been handed on.
        if (player->output != Output::RealTime) return player->deliveredFrames >= player->renderedFrames ? 1 : 0;
        rows = player->rows;
    }
    // In real time, once the last row's end is heard.
    return HeardPosition(*player) >= rows ? 1 : 0;
}

NPMOD32_EXPORT int32_t ModPlug_GetPlayedMilliseconds(void* instance) {
    return AskPlayback(
        instance, [](Player& player) { return static_cast<int32_t>(player.deliveredFrames / kFramesPerMs); },
        [](Player& player) { return static_cast<int32_t>(HeardModuleFrame(player) / kFramesPerMs); });
}

NPMOD32_EXPORT int ModPlug_SetMasterVolume(void* instance, uint32_t percent) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    player->volumePercent.store(std::min<uint32_t>(percent, 400), std::memory_order_relaxed);
    return 1;
}

NPMOD32_EXPORT int ModPlug_SetCurrentPosition(void* instance, int32_t position) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
    if (!player->module) return 0;
    SeekRows(*player, std::max<int32_t>(position, 0));
    RestartClock(*player, player->deliveredFrames);
    std::lock_guard<std::mutex> publishGuard(player->publishLock);
    ResetPublished(*player, player->rows);
    return 1;
}

NPMOD32_EXPORT int ModPlug_IsReady(void* instance) {
    Player* player = AsPlayer(instance);
    if (!player) return 0;
    std::lock_guard<std::mutex> apiGuard(player->api);
    std::lock_guard<std::mutex> moduleGuard(player->moduleLock);
    return player->module != nullptr ? 1 : 0;
}

static_assert(std::is_same_v<decltype(&ModPlug_CreateEx), ModPlug_CreateExFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Destroy), ModPlug_DestroyFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetWindow), ModPlug_SetWindowFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Load), ModPlug_LoadFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetVUMeter), ModPlug_GetVUMeterFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Play), ModPlug_PlayFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Stop), ModPlug_StopFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetCurrentPosition), ModPlug_GetCurrentPositionFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetCurrentPosition), ModPlug_SetCurrentPositionFn>);
static_assert(std::is_same_v<decltype(&ModPlug_IsReady), ModPlug_IsReadyFn>);
static_assert(std::is_same_v<decltype(&ModPlug_HasEnded), ModPlug_HasEndedFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetPlayedMilliseconds), ModPlug_GetPlayedMillisecondsFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetMasterVolume), ModPlug_SetMasterVolumeFn>);
