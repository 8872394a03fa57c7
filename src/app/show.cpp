#include "app/show.h"

#include <cstdio>

namespace {

void ReportFailure(Show& show, const char* text, const std::string& detail, bool owned = false) {
    if (!detail.empty()) std::fprintf(stderr, "sixscene: %s\n", detail.c_str());
    show.host->messageBox(show.host->self, text, "ERROR", owned);
}

}  // namespace

int RunShow(Show& show) {
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
    StartClock(show.clock, host.timeMs(host.self));
    StartMusic(show.music);
    RunFrameLoop(show);
    return 0;
}

void RunFrameLoop(Show& show) {
    Host& host = *show.host;
    Display& display = show.display;
    const bool staged = display.depth == 16;
    for (;; ++show.frames) {
        // Clear, then obtain the frame's pixels.
        BackBuffer frame;
        bool locked = false;
        if (staged) {
            ClearImage(display.staging);
            frame.pixels = display.staging.pixels;
            frame.rowPad = 0;
            locked = true;
        } else {
            host.colourFill(host.self, 0);
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
        if (locked) {
            AdvanceClock(show.clock, host.timeMs(host.self));
            show.position = MusicPosition(show.music);
            const bool ended = TimelineStep(show.timeline, frame, show.position,
                                            show.clock.frameTicks, show.clock.ticksTotal);
            if (!staged) host.unlock(host.self, HostSurface::BackBuffer);
            if (ended) return;
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
                               show.position, SceneForPosition(show.position)};
            host.noteFrame(host.self, note);
        }
        if (host.flip(host.self) == kHostErrSurfaceLost) {
            host.restore(host.self);
            host.flip(host.self);
        }
    }
}

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
            if (message.key == kKeyEscape) host.postMessage(host.self, {HostMessageType::Close, 0});
            break;
        case HostMessageType::Close:
            // Closing the window destroys it.
            WindowProcedure(show, {HostMessageType::Destroy, 0});
            break;
        default:
            break;
    }
}
