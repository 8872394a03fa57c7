#include "platform/headless/progress.h"

#include <cstdio>

#include "platform/system/system.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void Draw(const Progress& progress, int64_t frames, const HostFrameNote& note) {
    const double seconds = SecondsSince(progress.started);
    const double fps = seconds > 0 ? frames / seconds : 0;
    const int32_t end = note.endPosition > 0 ? note.endPosition : 1;
    const int32_t position = note.position < 0 ? 0 : note.position;
    const double done = position >= end ? 1.0 : static_cast<double>(position) / end;
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
                 static_cast<long long>(frames), position, note.endPosition, note.scene, fps, left);
    std::fflush(stderr);
}

}  // namespace

void StartProgress(Progress& progress) {
    progress.terminal = StderrIsTerminal();
    progress.started = progress.lastDrawn = std::chrono::steady_clock::now();
}

void UpdateProgress(Progress& progress, int64_t frames, const HostFrameNote& note) {
    if (!progress.terminal || SecondsSince(progress.lastDrawn) < 0.2) return;
    progress.lastDrawn = std::chrono::steady_clock::now();
    Draw(progress, frames, note);
}

void ClearProgress(const Progress& progress) {
    if (progress.terminal) std::fprintf(stderr, "\r\x1b[K");
}

void ReportFrameRate(const Progress& progress, int64_t frames) {
    const double seconds = SecondsSince(progress.started);
    std::fprintf(stderr, "sixscene: %lld frames in %.1f s (%.0f frames a second)\n", static_cast<long long>(frames),
                 seconds, seconds > 0 ? frames / seconds : 0.0);
}
