#pragma once
// What the fuzz targets share: a drawing target with a guard band, the
// loaders' input written to a file, and choices taken from the input.
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "assets/image.h"

namespace fuzz {

// The harness's own loops need no coverage feedback; instrumented, they
// would cost more than the code under test.
#define SIXSCENE_FUZZ_PLAIN __attribute__((no_sanitize("coverage")))

// A block reused from run to run, so that large targets and textures cost
// no fresh pages each time. Take places the words asked for at its end and
// poisons the rest, so AddressSanitizer still catches any access beyond
// them on either side.
class Arena {
public:
    explicit Arena(size_t capacityWords) : capacity_((capacityWords + 3) & ~size_t{1}), block_(new uint32_t[capacity_]) {}
    uint32_t* Take(size_t words) {
        if (words + 2 > capacity_) std::abort();
        uint32_t* base = block_.get();
        ASAN_UNPOISON_MEMORY_REGION(base, capacity_ * 4);
        // The region starts on an 8-byte boundary; an odd count leaves half
        // a granule after it, poisoned too.
        uint32_t* start = base + capacity_ - ((words + 1) & ~size_t{1});
        ASAN_POISON_MEMORY_REGION(base, static_cast<size_t>(start - base) * 4);
        ASAN_POISON_MEMORY_REGION(start + words, static_cast<size_t>(base + capacity_ - (start + words)) * 4);
        return start;
    }

private:
    size_t capacity_;
    std::unique_ptr<uint32_t[]> block_;
};

// A target of width x height pixels, rows width + rowPad apart, between a
// guard band before and after. Everything outside the visible pixels (the
// bands and each row's pad) holds a pattern that drawing must never change.
struct GuardedTarget {
    static constexpr uint32_t kPattern = 0xA5C3E1F7u;
    static constexpr size_t kGuard = 1024;
    int32_t width, height, rowPad;
    size_t size;
    uint32_t* block;

    SIXSCENE_FUZZ_PLAIN GuardedTarget(int32_t w, int32_t h, int32_t pad)
        : width(w), height(h), rowPad(pad),
          size(kGuard * 2 + static_cast<size_t>(h) * static_cast<size_t>(w + pad)),
          block(TargetArena().Take(size)) {
        // Whole blocks at a time: word by word this set-up would cost more
        // than most of the drawing it checks.
        std::memcpy(block, Pattern(), kGuard * 4);
        for (int32_t y = 0; y < h; ++y) {
            std::memset(Row(y), 0, static_cast<size_t>(w) * 4);
            std::memcpy(Row(y) + w, Pattern(), static_cast<size_t>(pad) * 4);
        }
        std::memcpy(block + size - kGuard, Pattern(), kGuard * 4);
    }
    GuardedTarget(const GuardedTarget&) = delete;
    uint32_t* pixels() { return block + kGuard; }
    uint32_t* Row(int32_t y) { return pixels() + static_cast<size_t>(y) * static_cast<size_t>(width + rowPad); }
    // Stops the run at the first word outside the picture that was written.
    SIXSCENE_FUZZ_PLAIN void Check(const char* what) const {
        const size_t stride = static_cast<size_t>(width + rowPad);
        Untouched(what, 0, kGuard);
        for (int32_t y = 0; y < height; ++y) Untouched(what, kGuard + y * stride + width, stride - width);
        Untouched(what, size - kGuard, kGuard);
    }
    SIXSCENE_FUZZ_PLAIN void Untouched(const char* what, size_t from, size_t count) const {
        if (std::memcmp(block + from, Pattern(), count * 4) == 0) return;
        for (size_t i = from; i < from + count; ++i) {
            if (block[i] != kPattern) {
                std::fprintf(stderr, "%s wrote outside its %dx%d target (row pad %d) at word %lld\n", what, width,
                             height, rowPad, static_cast<long long>(i) - static_cast<long long>(kGuard));
                std::abort();
            }
        }
    }
    // kGuard words of the pattern (no row pad is longer).
    static const uint32_t* Pattern() {
        static const std::vector<uint32_t> words(kGuard, kPattern);
        return words.data();
    }
    // One target at a time: the size of the largest the fuzzers use.
    static Arena& TargetArena() {
        static Arena arena(kGuard * 2 + 400 * 400);
        return arena;
    }
};

// A folder of this process's own for the files the loaders read, removed
// when the process ends.
inline const std::string& WorkDir() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string* const dir = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        auto* path = new std::string(std::string(base) + "/sixscene-fuzz-" + std::to_string(getpid()));
        if (std::system(("mkdir -p '" + *path + "'").c_str()) != 0) std::abort();
        std::atexit([] {
            if (std::system(("rm -rf '" + WorkDir() + "'").c_str()) != 0) {
            }
        });
        return path;
    }();
    return *dir;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

// The generated show data of the build, when it is there.
inline std::string ShowDataPath(const std::string& relative) {
#ifdef SIXSCENE_FUZZ_DATA_DIR
    return std::string(SIXSCENE_FUZZ_DATA_DIR) + "/" + relative;
#else
    return relative;
#endif
}

// A picture whose pixel block is exactly width x height words, so that any
// read past it is caught. Filled with a pattern taken from `seed`. With an
// arena the pixels live there, until its next Take.
SIXSCENE_FUZZ_PLAIN inline Image MakePicture(int32_t width, int32_t height, uint32_t seed, Arena* arena = nullptr) {
    Image image;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint32_t* pixels;
    if (arena) {
        pixels = arena->Take(count);
    } else {
        image.storage.reset(new uint32_t[count > 0 ? count : 1]);
        pixels = image.storage.get();
    }
    // Copied from one long made-up picture, starting where the seed says.
    static const std::vector<uint32_t> source = [] {
        std::vector<uint32_t> words(2 * 640 * 320);
        for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu;
        return words;
    }();
    if (count > 640 * 320) std::abort();
    if (count > 0) std::memcpy(pixels, source.data() + seed % (640 * 320), count * 4);
    image.pixels = pixels;
    image.pixelCount = static_cast<int64_t>(count);
    image.width = width;
    image.height = height;
    return image;
}

// A coordinate: mostly ordinary values around a range of [0, limit), often
// exactly on or half a pixel off its edges, sometimes not a number, infinite
// or huge.
inline double Coordinate(FuzzedDataProvider& in, double limit) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
        case 0: {
            const double special[] = {nan, inf, -inf, 1e300, -1e300, 3e9, -3e9, 2147483647.5, -2147483648.5,
                                      32768.0, -32769.0, std::numeric_limits<double>::denorm_min(), -0.0};
            return special[in.ConsumeIntegralInRange<size_t>(0, sizeof special / sizeof special[0] - 1)];
        }
        case 1:
            return in.ConsumeFloatingPoint<double>();
        case 2: {
            const double edges[] = {0.0, -0.5, 0.5, limit, limit - 0.5, limit - 1, limit + 0.5, -1.0};
            return edges[in.ConsumeIntegralInRange<size_t>(0, 7)] +
                   in.ConsumeIntegralInRange<int>(-2, 2) * std::ldexp(1.0, -40);
        }
        case 3:
            return in.ConsumeFloatingPointInRange<double>(-100 * limit, 100 * limit);
        case 4:
            return static_cast<double>(in.ConsumeIntegralInRange<int32_t>(-2, static_cast<int32_t>(limit) + 2));
        default:
            return in.ConsumeFloatingPointInRange<double>(-0.25 * limit, 1.25 * limit);
    }
}

// A light factor: nominally 0 to 1, sometimes well beyond, negative or not
// a number.
inline double Factor(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: return std::numeric_limits<double>::quiet_NaN();
        case 1: return in.ConsumeFloatingPoint<double>();
        case 2: return in.ConsumeFloatingPointInRange<double>(-4.0, 300.0);
        default: return in.ConsumeProbability<double>();
    }
}

}  // namespace fuzz
