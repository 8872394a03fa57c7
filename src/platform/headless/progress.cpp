#include "platform/headless/progress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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
    // The longest tail that fits beside a bar of at least five cells; a line
    // that wrapped would leave a fragment on every redraw. The terminal's
    // width is read each time, so the bar follows a resize.
    const long long frame = static_cast<long long>(frames);
    char tails[5][128];
    std::snprintf(tails[0], sizeof tails[0], " frame %lld  position %4d/%d  scene %d  %5.0f fps  %s left", frame,
                  position, note.endPosition, note.scene, fps, left);
    std::snprintf(tails[1], sizeof tails[1], " position %d/%d  scene %d  %s left", position, note.endPosition,
                  note.scene, left);
    std::snprintf(tails[2], sizeof tails[2], " %d/%d  %s left", position, note.endPosition, left);
    std::snprintf(tails[3], sizeof tails[3], " %s left", left);
    tails[4][0] = 0;
    int columns = TerminalColumns();
    if (columns <= 0) columns = 80;
    // The last column stays empty: writing there makes some terminals wrap.
    const int room = columns - 1;
    constexpr int kMaxCells = 30, kMinCells = 5;
    const char* tail = tails[4];
    for (const char* t : {tails[0], tails[1], tails[2], tails[3]}) {
        if (static_cast<int>(std::strlen(t)) + 2 + kMinCells <= room) {
            tail = t;
            break;
        }
    }
    const int cells = std::min(kMaxCells, room - 2 - static_cast<int>(std::strlen(tail)));
    if (cells < 1) return;
    char bar[kMaxCells + 1];
    const int filled = static_cast<int>(done * cells);
    for (int i = 0; i < cells; ++i) bar[i] = i < filled ? '#' : '.';
    bar[cells] = 0;
    std::fprintf(stderr, "\r[%s]%s\x1b[K", bar, tail);
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
