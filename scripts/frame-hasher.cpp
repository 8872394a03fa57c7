// Draws every frame of a recorded run through the timeline and prints one
// FNV-1a hash per frame: the frame checks of scripts/check-identical and
// scripts/check-identical-web build it against a build's core library.
// Usage: frame-hasher DATA_DIR FRAMES_CSV ROW_PAD
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/timeline.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string data = argv[1];
    const int32_t rowPad = std::atoi(argv[3]);
    static Pictures pictures;
    static ShowObjects objects;
    static Timeline timeline;
    std::string error;
    if (!LoadPictures(pictures, data, rowPad, &error) || !SetUpObjects(objects, pictures, rowPad, data, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    SetUpTimeline(timeline, pictures, objects, rowPad, data);
    std::FILE* csv = std::fopen(argv[2], "r");
    if (!csv) return 1;
    char line[256];
    if (!std::fgets(line, sizeof line, csv)) return 1;  // the header
    std::vector<uint32_t> target(static_cast<size_t>(320 + rowPad) * 240);
    long long frame, clockMs;
    double ticks, total;
    int position;
    while (std::fscanf(csv, "%lld,%lld,%lf,%lf,%d", &frame, &clockMs, &ticks, &total, &position) == 5) {
        std::fill(target.begin(), target.end(), 0u);
        BackBuffer back;
        back.pixels = target.data();
        back.rowPad = rowPad;
        if (TimelineStep(timeline, back, position, ticks, total)) break;
        uint64_t hash = 1469598103934665603ull;  // FNV-1a over the words
        for (uint32_t p : target) hash = (hash ^ p) * 1099511628211ull;
        std::printf("%lld %016llx\n", frame, static_cast<unsigned long long>(hash));
    }
    return 0;
}
