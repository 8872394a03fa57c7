#include "app/show.h"

#include <cstdio>
#include <cstring>

namespace {

// A frame interval this long (in ticks) over which the music did not move
// on with the clock is a stall: the process was stopped, the machine slept.
constexpr double kStallTicks = 15.0;

// Redraws the picture last shown: the front surface into the back buffer.
void HoldPicture(Host& host, const BackBuffer& back) {
    void* pixels = nullptr;
    int32_t pitch = 0;
    if (host.lock(host.self, HostSurface::Primary, &pixels, &pitch) != kHostOk) return;
    const auto* from = static_cast<const uint8_t*>(pixels);
    auto* to = reinterpret_cast<uint8_t*>(back.pixels);
    const size_t stride = sizeof(uint32_t) * static_cast<size_t>(back.width + back.rowPad);
    for (int32_t y = 0; y < back.height; ++y) {
        std::memcpy(to + y * stride, from + static_cast<size_t>(y) * pitch, sizeof(uint32_t) * back.width);
    }
    host.unlock(host.self, HostSurface::Primary);
}

// After a long frame interval over which the music stood still, the clock
// takes it as a pause: the frame moves on by an ordinary frame's time.
void AllowForStall(Show& show) {
    FrameClock& clock = show.clock;
    const int32_t before = show.musicMs;
    show.musicMs = MusicMilliseconds(show.music);
    if (clock.frameTicks <= kStallTicks || before < 0 || show.musicMs < 0) {
        if (clock.frameTicks <= kStallTicks) show.lastFrameTicks = clock.frameTicks;
        return;
    }
    const double musicTicks = (show.musicMs - before) * 60.0 / 1000.0;
    if (musicTicks * 2 >= clock.frameTicks) return;  // a slow machine: the music kept up
    std::fprintf(stderr, "sixscene: the show stood still for %.1f s; carrying on from where it was\n",
                 clock.frameTicks / 60.0);
    clock.ticksTotal -= clock.frameTicks - show.lastFrameTicks;
    clock.frameTicks = show.lastFrameTicks;
}

void ReportFailure(Show& show, const char* text, const std::string& detail, bool owned = false) {
    if (!detail.empty()) std::fprintf(stderr, "sixscene: %s\n", detail.c_str());
    show.host->messageBox(show.host->self, text, "ERROR", owned);
}

}  // namespace

int RunShow(Show& show) {
    const int status = StartShow(show);
    if (status == 0) RunFrameLoop(show);
    return status;
}

int StartShow(Show& show) {
    Host& host = *show.host;
    if (!SetUpDisplay(show.display, host)) return 1;
    const int32_t rowPad = TargetRowPad(show.display);

    std::string error;
    if (!LoadPictures(show.pictures, show.dataDir, rowPad, &error)) {
        ReportFailure(show, "Couldn't load textures!", error);
        return 1;
    }
    if (!SetUpObjects(show.objects, show.pictures, rowPad, show.dataDir, &error)) {
        ReportFailure(show, "Couldn't load objects!", error);
        return 1;
    }
    if (!LoadMusicLibrary(show.music, host, show.pluginName, &error)) {
        ReportFailure(show, "Unable to load npmod32.dll !", error);
        return 1;
    }
    if (!CreateMusicPlayer(show.music, host.musicWindow(host.self))) {
        ReportFailure(show, "Couldn't start the music player!", "the plug-in created no player");
        return 1;
    }
    const std::string module = show.dataDir + "/snd/pelerind.xm";
    if (!LoadModule(show.music, module)) {
        ReportFailure(show, "Couldn't load the music!", module + ": the plug-in cannot load it");
        return 1;
    }
    std::string warning;
    SetUpTimeline(show.timeline, show.pictures, show.objects, rowPad, show.dataDir, &warning);
    if (!warning.empty()) std::fprintf(stderr, "sixscene: %s\n", warning.c_str());
    SetMusicVolume(show.music, show.controls.volume);
    StartClock(show.clock, host.timeMs(host.self));
    StartMusic(show.music);
    show.musicMs = MusicMilliseconds(show.music);
    if (show.controls.startRow > 0 && !SeekShow(show, show.controls.startRow)) return 1;
    return 0;
}

bool SeekShow(Show& show, int32_t row) {
    Host& host = *show.host;
    show.controls.seekTo = -1;
    // The scenes change their objects as they play: start from the set-up.
    const int32_t rowPad = TargetRowPad(show.display);
    std::string error;
    show.objects = ShowObjects{};
    if (!SetUpObjects(show.objects, show.pictures, rowPad, show.dataDir, &error)) {
        std::fprintf(stderr, "sixscene: %s\n", error.c_str());
        return false;
    }
    SetUpTimeline(show.timeline, show.pictures, show.objects, rowPad, show.dataDir);
    // The scene there runs its entry on the next step.
    show.timeline.sceneState = SceneForPosition(row);
    SeekMusic(show.music, row);
    if (show.controls.paused) {
        show.controls.paused = false;
        ResumeMusic(show.music);
    }
    // The clock stands where the music does, so that motion tied to the
    // whole show's time (the panel's wave) is where it would have been.
    show.musicMs = MusicMilliseconds(show.music);
    StartClock(show.clock, host.timeMs(host.self));
    show.clock.ticksTotal = show.musicMs > 0 ? show.musicMs * 60.0 / 1000.0 : 0.0;
    show.position = row;
    std::fprintf(stderr, "sixscene: scene %d from row %d\n", SceneForPosition(row), row);
    return true;
}

void RunFrameLoop(Show& show) {
    while (StepFrameLoop(show)) {
    }
}

bool StepFrameLoop(Show& show) {
    Host& host = *show.host;
    Display& display = show.display;
    const bool staged = display.depth == 16;
    if (show.controls.seekTo >= 0 && !SeekShow(show, show.controls.seekTo)) return false;
    // Paused, the frame shows the last picture again and time stands.
    const bool holding = show.controls.paused;
    // Clear, then obtain the frame's pixels.
    BackBuffer frame;
    bool locked = false;
    if (staged) {
        if (!holding) ClearImage(display.staging);
        frame.pixels = display.staging.pixels;
        frame.rowPad = 0;
        locked = true;
    } else {
        if (!holding) host.colourFill(host.self, 0);
        void* pixels = nullptr;
        int32_t pitch = 0;
        if (host.lock(host.self, HostSurface::BackBuffer, &pixels, &pitch) == kHostOk) {
            frame.pixels = static_cast<uint32_t*>(pixels);
            frame.rowPad = display.rowPad;
            locked = true;
        }
    }
    // A failed lock skips drawing; the clock isn't read, so the next
    // frame's ticks cover the time.
    if (locked && holding) {
        HoldClock(show.clock, host.timeMs(host.self));
        if (!staged) {
            HoldPicture(host, frame);
            host.unlock(host.self, HostSurface::BackBuffer);
        }
    } else if (locked) {
        AdvanceClock(show.clock, host.timeMs(host.self));
        show.position = MusicPosition(show.music);
        AllowForStall(show);
        // A module shorter than the show ends it where the music ends.
        const bool musicEnded = show.position < kEndPosition && MusicEnded(show.music);
        const bool ended = musicEnded || TimelineStep(show.timeline, frame, show.position,
                                                      show.clock.frameTicks, show.clock.ticksTotal);
        if (!staged) host.unlock(host.self, HostSurface::BackBuffer);
        if (musicEnded) {
            std::fprintf(stderr, "sixscene: the music ended at row %d, before the end position %d\n",
                         show.position, kEndPosition);
        }
        if (ended && !show.controls.loop) return false;
        if (ended) {
            ++show.frames;
            return SeekShow(show, 0);
        }
    }

    HostMessage message;
    if (host.peekMessage(host.self, &message)) WindowProcedure(show, message);

    if (staged) {
        void* pixels = nullptr;
        int32_t pitch = 0;
        if (host.lock(host.self, HostSurface::BackBuffer, &pixels, &pitch) == kHostOk) {
            display.staging.target16 = static_cast<uint16_t*>(pixels);
            ConvertTo565(display.staging);
            host.unlock(host.self, HostSurface::BackBuffer);
        }
    }
    if (host.noteFrame) {
        HostFrameNote note{show.clock.lastTime, show.clock.frameTicks, show.clock.ticksTotal,
                           show.position, SceneForPosition(show.position), kEndPosition};
        host.noteFrame(host.self, note);
    }
    if (host.flip(host.self) == kHostErrSurfaceLost) {
        host.restore(host.self);
        host.flip(host.self);
    }
    ++show.frames;
    return true;
}

namespace {

void ChangeVolume(Show& show, int32_t step) {
    ShowControls& controls = show.controls;
    const int32_t volume = static_cast<int32_t>(controls.volume) + step;
    controls.volume = static_cast<uint32_t>(volume < 0 ? 0 : volume > 200 ? 200 : volume);
    controls.muted = false;
    if (SetMusicVolume(show.music, controls.volume)) std::fprintf(stderr, "sixscene: volume %u %%\n", controls.volume);
}

void HandleKey(Show& show, int32_t key) {
    Host& host = *show.host;
    ShowControls& controls = show.controls;
    const int32_t scene = SceneForPosition(show.position);
    switch (key) {
        case kKeyEscape:
            host.postMessage(host.self, {HostMessageType::Close, 0});
            break;
        case kKeySpace:
            controls.paused = !controls.paused;
            if (controls.paused) {
                PauseMusic(show.music);
            } else {
                ResumeMusic(show.music);
            }
            std::fprintf(stderr, "sixscene: %s\n", controls.paused ? "paused" : "playing");
            break;
        case kKeyLeft:
            controls.seekTo = scene > 1 ? SceneStartRow(scene - 1) : 0;
            break;
        case kKeyRight:
            if (scene >= 1 && scene < 6) controls.seekTo = SceneStartRow(scene + 1);
            break;
        case kKeyHome:
            controls.seekTo = 0;
            break;
        case kKeyM:
            controls.muted = !controls.muted;
            if (SetMusicVolume(show.music, controls.muted ? 0 : controls.volume)) {
                std::fprintf(stderr, "sixscene: %s\n", controls.muted ? "muted" : "sound on");
            }
            break;
        case kKeyPlus:
        case kKeyAdd:
            ChangeVolume(show, 10);
            break;
        case kKeyMinus:
        case kKeySubtract:
            ChangeVolume(show, -10);
            break;
        default:
            break;
    }
}

}  // namespace

void WindowProcedure(Show& show, const HostMessage& message) {
    Host& host = *show.host;
    switch (message.type) {
        case HostMessageType::Destroy:
            ReleaseDisplay(show.display);
            StopMusic(show.music);
            UnloadMusicLibrary(show.music);
            host.exitProcess(host.self, 0);
            return;
        case HostMessageType::KeyDown:
            HandleKey(show, message.key);
            break;
        case HostMessageType::Close:
            // Closing the window destroys it.
            WindowProcedure(show, {HostMessageType::Destroy, 0});
            break;
        default:
            break;
    }
}
