// The headless backend: memory surfaces, a virtual clock that makes every
// run identical, fault injection for tests, and the run's recording.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "npmod32.h"
#include "platform/backends.h"
#include "platform/headless/progress.h"
#include "platform/headless/virtual_clock.h"
#include "platform/host_table.h"
#include "record/recording.h"
#include "record/screenshot.h"

namespace {

struct Headless {
    Options options;
    MemoryDisplay memory;
    bool lost = false;
    bool retrying = false;  // the flip after a restore is the same frame
    int64_t frame = 0;      // frames presented so far
    std::deque<HostMessage> messages;
    SixsceneMusicWindow musicWindow{};
    Recording recording;
    int64_t lastFrame = -1;  // with --at: the run ends after this frame
    bool escaped = false;    // --frames pressed Escape: no frame is shown after that
    Progress progress;
    HostFrameNote lastNote;
};

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

uint32_t TimeMs(Headless& h) { return VirtualClockMs(h.frame); }

bool CreateWindows(Headless&, const char*, const char*) { return true; }

void* MusicWindow(Headless& h) { return &h.musicWindow; }

void ShowMessageBox(Headless&, const char* text, const char* caption, bool) { PrintMessageBox(text, caption); }

bool PeekHostMessage(Headless& h, HostMessage* message) {
    if (h.messages.empty()) return false;
    *message = h.messages.front();
    h.messages.pop_front();
    return true;
}

void PostHostMessage(Headless& h, HostMessage message) { h.messages.push_back(message); }

// The picture just presented, saved as the F12 key would.
void SaveScreen(Headless& h) {
    SaveScreenshot(h.options.screenshotDir, h.memory.primary.data(), h.memory.pitch, h.memory.depth);
}

// "5, 7-9 and 12" of the frames from `first` on.
std::string FrameList(const std::set<int64_t>& frames, int64_t first) {
    std::vector<std::string> runs;
    for (auto f = frames.lower_bound(first); f != frames.end();) {
        int64_t last = *f;
        auto next = std::next(f);
        while (next != frames.end() && *next == last + 1) last = *next++;
        runs.push_back(std::to_string(*f) + (last > *f ? "-" + std::to_string(last) : ""));
        f = next;
    }
    std::string text;
    for (size_t i = 0; i < runs.size(); ++i) text += (i == 0 ? "" : i + 1 == runs.size() ? " and " : ", ") + runs[i];
    return text;
}

[[noreturn]] void ExitHost(Headless& h, int status) {
    ClearProgress(h.progress);
    if (!CloseRecording(h.recording) && status == 0) status = 1;
    // After a failed start-up the error is the last word, not "0 frames".
    if (h.frame > 0 || status == 0) ReportFrameRate(h.progress, h.frame);
    // The show ended before frames that --at asked for: the recording lacks them.
    if (status == 0 && h.lastFrame >= h.frame) {
        const auto missing = std::distance(h.options.at.lower_bound(h.frame), h.options.at.end());
        std::fprintf(stderr, "sixscene: the show ended after frame %lld; --at asked for frame%s %s, never reached\n",
                     static_cast<long long>(h.frame - 1), missing == 1 ? "" : "s",
                     FrameList(h.options.at, h.frame).c_str());
        status = 1;
    }
    std::fflush(stdout);
    std::exit(status);
}

HostResult CreateDisplay(Headless& h) {
    return h.options.failDisplayStep == "create" ? kHostErrNoDisplay : kHostOk;
}

HostResult SetDisplayMode(Headless& h, int32_t width, int32_t height, int32_t bpp) {
    if (h.options.failDisplayStep == "mode") return kHostErrUnsupportedMode;
    return SetMemoryDisplayMode(h.memory, width, height, bpp);
}

HostResult CreateSurfaces(Headless& h) {
    if (h.options.failDisplayStep == "surfaces") return kHostErrGeneric;
    return CreateMemorySurfaces(h.memory);
}

HostResult LockSurface(Headless& h, HostSurface surface, void** pixels, int32_t* pitch) {
    if (!h.memory.back.empty() && surface == HostSurface::BackBuffer && h.options.failLock.count(h.frame)) {
        return kHostErrSurfaceBusy;
    }
    return LockMemorySurface(h.memory, surface, pixels, pitch);
}

HostResult Flip(Headless& h) {
    if (h.memory.back.empty()) return kHostErrGeneric;
    // The loop draws on until it reads the Escape; those frames are not shown.
    if (h.escaped) return kHostOk;
    if (!h.retrying && h.options.loseSurface.count(h.frame)) {
        h.lost = true;
        return kHostErrSurfaceLost;
    }
    if (h.lost) return kHostErrSurfaceLost;
    h.retrying = false;
    SwapMemorySurfaces(h.memory);
    ++h.frame;
    if (h.frame == h.options.escapeAfter) {
        // Ahead of anything queued, so that it is the next message read.
        h.messages.push_front({HostMessageType::KeyDown, kKeyEscape});
        h.escaped = true;
    }
    for (const auto& [frame, key] : h.options.testKeys) {
        if (frame != h.frame) continue;
        if (key == kKeyF12) {
            SaveScreen(h);
        } else {
            h.messages.push_back({HostMessageType::KeyDown, key});
        }
    }
    if (h.lastFrame >= 0 && h.frame > h.lastFrame) ExitHost(h, 0);
    // A recording that can no longer be written (a full disk, ffmpeg gone)
    // ends the run now rather than after minutes of frames that go nowhere.
    if (RecordingFailed(h.recording)) ExitHost(h, 1);
    if (gInterrupted) {
        ClearProgress(h.progress);
        std::fprintf(stderr, "sixscene: interrupted at frame %lld (position %d, scene %d)\n",
                     static_cast<long long>(h.frame), h.lastNote.position, h.lastNote.scene);
        ExitHost(h, 130);
    }
    UpdateProgress(h.progress, h.frame, h.lastNote);
    return kHostOk;
}

HostResult Restore(Headless& h) {
    h.lost = false;
    h.retrying = true;
    return kHostOk;
}

void ReleaseDisplay(Headless& h) { ReleaseMemorySurfaces(h.memory); }

void NoteFrame(Headless& h, const HostFrameNote& note) {
    if (h.escaped) return;
    h.lastNote = note;
    RecordFrame(h.recording, h.frame, note, h.memory.back.data(), h.memory.pitch, h.memory.depth);
}

void AudioSink(void* self, const float* samples, uint32_t frames) {
    RecordAudio(static_cast<Headless*>(self)->recording, samples, frames);
}

}  // namespace

bool MakeHeadlessHost(const Options& options, Host& host, std::string& error) {
    Headless* h = new Headless;  // lives until the process ends
    h->options = options;
    if (!OpenRecording(h->recording, options.record, options.at, options.videoScale, error)) {
        delete h;
        return false;
    }
    // Held here as well as by the host table, which callers may drop: the
    // backend stays reachable, and a leak checker sees that it is in use.
    static std::vector<Headless*>* const live = new std::vector<Headless*>;
    live->push_back(h);
    h->memory.maxDepth = options.depth;
    h->memory.minPitch = options.pitch;
    StartProgress(h->progress);
    // Ctrl+C finishes what is being written instead of leaving it broken.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    if (!options.at.empty()) h->lastFrame = *options.at.rbegin();
    h->musicWindow = SixsceneMusicWindow{
        kSixsceneMusicWindowMagic, 1, [](void* self) { return TimeMs(*static_cast<Headless*>(self)); }, AudioSink, h};
    WireHost(host, *h);
    return true;
}
