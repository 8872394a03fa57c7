// The headless backend: in-memory surfaces, a virtual clock that makes every
// run identical, fault injection for tests, and recording.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "npmod32.h"
#include "platform/backends.h"
#include "platform/memory_surface.h"
#include "platform/recorder.h"
#include "platform/video_encoder.h"

namespace {

struct Headless {
    Options options;
    int32_t depth = 0;
    int32_t pitch = 0;
    std::vector<uint8_t> primary, back;
    bool surfaces = false;
    bool lost = false;
    bool retrying = false;  // the flip after a restore is the same frame
    int64_t frame = 0;      // frames presented so far
    std::deque<HostMessage> messages;
    SixsceneMusicWindow musicWindow{};
    Recorder recorder;
    bool recording = false;
    VideoEncoder video;
    bool encoding = false;
    std::vector<uint8_t> rgb;
    int64_t lastFrame = -1;  // with --at: the run ends after this frame
    // Progress.
    bool terminal = false;
    std::chrono::steady_clock::time_point started, lastDrawn;
    HostFrameNote lastNote;
};

Headless& H(void* self) { return *static_cast<Headless*>(self); }

volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

constexpr int32_t kEndPosition = 1200;

double SecondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void DrawProgress(Headless& h) {
    const double seconds = SecondsSince(h.started);
    const double fps = seconds > 0 ? h.frame / seconds : 0;
    const int32_t position = h.lastNote.position < 0 ? 0 : h.lastNote.position;
    const double done = position >= kEndPosition ? 1.0 : static_cast<double>(position) / kEndPosition;
    char left[32] = "--:--";
    if (done > 0.01) {
        const int remaining = static_cast<int>(seconds / done * (1 - done));
        std::snprintf(left, sizeof left, "%d:%02d", remaining / 60, remaining % 60);
    }
    char bar[31];
    const int filled = static_cast<int>(done * 30);
    for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
    bar[30] = 0;
    std::fprintf(stderr, "\r[%s] frame %lld  position %4d/%d  scene %d  %5.0f fps  %s left \x1b[K", bar,
                 static_cast<long long>(h.frame), position, kEndPosition, h.lastNote.scene, fps, left);
    std::fflush(stderr);
}

uint32_t ClockMs(void* self) {
    // Frame n is at n * 1000 / 60 ms, whatever the machine's speed.
    return static_cast<uint32_t>(H(self).frame * 1000 / 60);
}

void AudioSink(void* self, const float* samples, uint32_t frames) {
    Headless& h = H(self);
    if (h.recording) RecordAudio(h.recorder, samples, frames);
    if (h.encoding) EncodeAudio(h.video, samples, frames);
}

bool CreateWindows(void*, const char*, const char*) { return true; }

void* MusicWindow(void* self) { return &H(self).musicWindow; }

void MessageBox(void*, const char* text, const char* caption, bool) { PrintMessageBox(text, caption); }

bool PeekMessage(void* self, HostMessage* message) {
    Headless& h = H(self);
    if (h.messages.empty()) return false;
    *message = h.messages.front();
    h.messages.pop_front();
    return true;
}

void PostMessage(void* self, HostMessage message) { H(self).messages.push_back(message); }

[[noreturn]] void ExitProcess(void* self, int status) {
    Headless& h = H(self);
    if (h.terminal) std::fprintf(stderr, "\r\x1b[K");
    if (h.recording && !CloseRecorder(h.recorder)) {
        std::fprintf(stderr, "sixscene: the recording is incomplete: %s\n", h.recorder.error.c_str());
        if (status == 0) status = 1;
    }
    if (h.encoding) {
        if (CloseVideoEncoder(h.video)) {
            std::fprintf(stderr, "sixscene: recorded %llu frames to %s\n",
                         static_cast<unsigned long long>(h.video.frames), h.video.path.c_str());
        } else {
            std::fprintf(stderr, "sixscene: the video is incomplete: %s\n", h.video.error.c_str());
            if (status == 0) status = 1;
        }
    }
    // After a failed start-up the error is the last word, not "0 frames".
    if (h.frame > 0 || status == 0) {
        const double seconds = SecondsSince(h.started);
        std::fprintf(stderr, "sixscene: %lld frames in %.1f s (%.0f frames a second)\n",
                     static_cast<long long>(h.frame), seconds, seconds > 0 ? h.frame / seconds : 0.0);
    }
    std::fflush(stdout);
    std::exit(status);
}

HostResult CreateDisplay(void* self) {
    return H(self).options.failDisplayStep == "create" ? kHostErrNoDisplay : kHostOk;
}

HostResult SetDisplayMode(void* self, int32_t width, int32_t height, int32_t bpp) {
    Headless& h = H(self);
    if (h.options.failDisplayStep == "mode") return kHostErrUnsupportedMode;
    if (width != 320 || height != 240 || (bpp != 32 && bpp != 16)) return kHostErrUnsupportedMode;
    if (bpp == 32 && h.options.depth == 16) return kHostErrUnsupportedMode;
    h.depth = bpp;
    return kHostOk;
}

HostResult CreateSurfaces(void* self) {
    Headless& h = H(self);
    if (h.options.failDisplayStep == "surfaces" || h.depth == 0) return kHostErrGeneric;
    const int32_t row = 320 * (h.depth / 8);
    h.pitch = h.options.pitch >= row ? h.options.pitch : row;
    h.primary.assign(static_cast<size_t>(h.pitch) * 240, 0);
    h.back.assign(static_cast<size_t>(h.pitch) * 240, 0);
    h.surfaces = true;
    return kHostOk;
}

HostResult Lock(void* self, HostSurface surface, void** pixels, int32_t* pitch) {
    Headless& h = H(self);
    if (!h.surfaces) return kHostErrGeneric;
    if (surface == HostSurface::BackBuffer && h.options.failLock.count(h.frame)) return kHostErrSurfaceBusy;
    *pixels = surface == HostSurface::Primary ? h.primary.data() : h.back.data();
    *pitch = h.pitch;
    return kHostOk;
}

HostResult Unlock(void*, HostSurface) { return kHostOk; }

HostResult ColourFill(void* self, uint32_t colour) {
    Headless& h = H(self);
    if (!h.surfaces) return kHostErrGeneric;
    FillSurface(h.back, h.depth, colour);
    return kHostOk;
}

HostResult Flip(void* self) {
    Headless& h = H(self);
    if (!h.surfaces) return kHostErrGeneric;
    if (!h.retrying && h.options.loseSurface.count(h.frame)) {
        h.lost = true;
        return kHostErrSurfaceLost;
    }
    if (h.lost) return kHostErrSurfaceLost;
    h.retrying = false;
    // The presented picture becomes the front; the back buffer takes the old one.
    h.primary.swap(h.back);
    ++h.frame;
    if (h.options.escapeAfter >= 0 && h.frame == h.options.escapeAfter) {
        h.messages.push_back({HostMessageType::KeyDown, kKeyEscape});
    }
    if (h.lastFrame >= 0 && h.frame > h.lastFrame) ExitProcess(self, 0);
    // A recording that can no longer be written (a full disk, ffmpeg gone)
    // ends the run now rather than after minutes of frames that go nowhere.
    if ((h.recording && h.recorder.failed) || (h.encoding && h.video.failed)) ExitProcess(self, 1);
    if (gInterrupted) {
        if (h.terminal) std::fprintf(stderr, "\r\x1b[K");
        std::fprintf(stderr, "sixscene: interrupted at frame %lld (position %d, scene %d)\n",
                     static_cast<long long>(h.frame), h.lastNote.position, h.lastNote.scene);
        ExitProcess(self, 130);
    }
    if (h.terminal && SecondsSince(h.lastDrawn) >= 0.2) {
        h.lastDrawn = std::chrono::steady_clock::now();
        DrawProgress(h);
    }
    return kHostOk;
}

HostResult Restore(void* self) {
    Headless& h = H(self);
    h.lost = false;
    h.retrying = true;
    return kHostOk;
}

void ReleaseDisplay(void* self) {
    Headless& h = H(self);
    h.surfaces = false;
}

void NoteFrame(void* self, const HostFrameNote& note) {
    Headless& h = H(self);
    h.lastNote = note;
    if (h.recording) RecordFrame(h.recorder, h.frame, note, h.back.data(), h.pitch, h.depth);
    if (h.encoding) {
        FrameToRgb(h.back.data(), h.pitch, h.depth, h.rgb.data());
        EncodeFrame(h.video, h.rgb.data());
    }
}

}  // namespace

bool MakeHeadlessHost(const Options& options, Host& host, std::string& error) {
    Headless* h = new Headless;  // lives until the process ends
    h->options = options;
    if (IsVideoPath(options.record)) {
        if (!OpenVideoEncoder(h->video, options.record, options.videoScale, error)) {
            delete h;
            return false;
        }
        h->encoding = true;
        h->rgb.resize(320 * 240 * 3);
    } else if (!options.record.empty()) {
        if (!OpenRecorder(h->recorder, options.record, options.at, error)) {
            delete h;
            return false;
        }
        h->recording = true;
    }
    // Held here as well as by the host table, which callers may drop: the
    // backend stays reachable, and a leak checker sees that it is in use.
    static std::vector<Headless*>* const live = new std::vector<Headless*>;
    live->push_back(h);
    h->terminal = isatty(STDERR_FILENO) != 0;
    h->started = h->lastDrawn = std::chrono::steady_clock::now();
    // Ctrl+C finishes what is being written instead of leaving it broken.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (!options.at.empty()) h->lastFrame = *options.at.rbegin();
    h->musicWindow = SixsceneMusicWindow{kSixsceneMusicWindowMagic, 1, ClockMs, AudioSink, h};

    host = Host{};
    host.self = h;
    host.createWindows = CreateWindows;
    host.musicWindow = MusicWindow;
    host.messageBox = MessageBox;
    host.peekMessage = PeekMessage;
    host.postMessage = PostMessage;
    host.exitProcess = ExitProcess;
    host.createDisplay = CreateDisplay;
    host.setDisplayMode = SetDisplayMode;
    host.createSurfaces = CreateSurfaces;
    host.lock = Lock;
    host.unlock = Unlock;
    host.colourFill = ColourFill;
    host.flip = Flip;
    host.restore = Restore;
    host.releaseDisplay = ReleaseDisplay;
    host.timeMs = ClockMs;
    host.noteFrame = NoteFrame;
    InstallLibraryLoader(host);
    return true;
}
