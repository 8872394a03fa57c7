// Plays a module with libopenmpt as the plug-in does (loaded from memory,
// stopping at its end) and prints what a build of libopenmpt makes of it:
// the duration, the order and row after every second, the frames rendered to
// the end, and whether a truncated copy is refused without ending the
// program. scripts/check-identical-web builds it natively and for
// WebAssembly and compares the two.
// Usage: module-render MODULE OUT.raw [OTHER.raw]
// Writes the 16-bit stereo samples (48 kHz) to OUT.raw; with OTHER.raw, also
// prints the largest difference from those samples.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <libopenmpt/libopenmpt.h>

namespace {

bool ReadFile(const char* path, std::vector<char>& data) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

openmpt_module* Load(const std::vector<char>& data, const char** message) {
    int error = 0;
    const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
    return openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                              openmpt_error_func_store, nullptr, &error, message, ctls);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: module-render MODULE OUT.raw [OTHER.raw]\n");
        return 2;
    }
    std::vector<char> data;
    if (!ReadFile(argv[1], data)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const char* message = nullptr;
    openmpt_module* module = Load(data, &message);
    if (!module) {
        std::fprintf(stderr, "not loaded: %s\n", message ? message : "?");
        return 1;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module, 0);
    std::printf("duration %.6f s\n", openmpt_module_get_duration_seconds(module));

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    constexpr int kRate = 48000;
    std::vector<int16_t> block(kRate * 2);
    std::vector<int16_t> all;
    long long frames = 0;
    for (int second = 1;; ++second) {
        const size_t got = openmpt_module_read_interleaved_stereo(module, kRate, kRate, block.data());
        if (got == 0) break;
        frames += static_cast<long long>(got);
        all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got * 2));
        std::printf("second %d order %d row %d\n", second, openmpt_module_get_current_order(module),
                    openmpt_module_get_current_row(module));
    }
    std::fwrite(all.data(), sizeof(int16_t), all.size(), out);
    std::fclose(out);
    std::printf("frames %lld\n", frames);
    openmpt_module_destroy(module);

    // A module cut short must be refused with a message, not end the program
    // (libopenmpt throws inside and its C interface catches).
    std::vector<char> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(data.size(), 400)));
    std::fill(cut.begin() + std::min<std::ptrdiff_t>(60, static_cast<std::ptrdiff_t>(cut.size())), cut.end(), '\xFF');
    message = nullptr;
    openmpt_module* bad = Load(cut, &message);
    std::printf("cut module %s\n", bad ? "loaded" : "refused");
    if (bad) openmpt_module_destroy(bad);
    openmpt_free_string(message);

    if (argc == 4) {
        std::vector<char> other;
        if (!ReadFile(argv[3], other)) return 1;
        const size_t count = std::min(all.size(), other.size() / sizeof(int16_t));
        int largest = 0;
        long long differing = 0;
        for (size_t i = 0; i < count; ++i) {
            int16_t v;
            std::copy_n(other.data() + i * sizeof v, sizeof v, reinterpret_cast<char*>(&v));
            const int d = std::abs(static_cast<int>(all[i]) - static_cast<int>(v));
            largest = std::max(largest, d);
            differing += d != 0;
        }
        std::fprintf(stderr, "samples: %zu compared, %lld differ, largest difference %d\n", count, differing, largest);
        std::printf("largest difference %d\n", largest);
    }
    return 0;
}
