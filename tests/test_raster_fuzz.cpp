// Many thousands of random, huge, far-off, nearly degenerate and broken
// triangles through all three rasterizers. Nothing may be written outside
// the target, nothing read outside the texture (the texels sit in
// exactly-sized allocations, so an address-sanitizer build catches a stray
// read), and every record must come back bit for bit. Mode 5 gets its corner
// records on a read-only page: it must not write them even for a moment.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/triangle.h"

namespace {

constexpr uint32_t kGuard = 0xA5C3E10Fu;
constexpr int32_t kBand = 24;

class Fuzzer {
public:
    explicit Fuzzer(uint64_t seed) : random_(seed) {}

    double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
    int32_t Int(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random_); }
    bool OneIn(int n) { return Int(0, n - 1) == 0; }

    // A value that is sometimes not a number at all, infinite, tiny or huge.
    double Wild(double usual) {
        switch (Int(0, 11)) {
            case 0: return std::numeric_limits<double>::quiet_NaN();
            case 1: return Bits(0x7FF4000000000123u);  // signalling NaN
            case 2: return std::numeric_limits<double>::infinity() * (OneIn(2) ? 1 : -1);
            case 3: return Uniform(-1e300, 1e300);
            case 4: return std::numeric_limits<double>::denorm_min();
            case 5: return -0.0;
            default: return usual;
        }
    }

    // A corner coordinate on an axis of the given size.
    double Coordinate(int32_t size) {
        switch (Int(0, 9)) {
            case 0: return Uniform(-1e7, 1e7);                        // far off
            case 1: return Uniform(-1e12, 1e12);                      // huge
            case 2: return Int(-1, 1) + (OneIn(2) ? 0.0 : size);      // on an edge
            case 3: return size - Uniform(0, 0.6);                    // rounds to `size`
            case 4: return OneIn(3) ? Wild(0) : Uniform(-0.6, 0.6);   // around 0
            default: return Uniform(-size, 2.0 * size);
        }
    }

    static double Bits(uint64_t bits) {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

private:
    std::mt19937_64 random_;
};

// The target inside a guard band that also fills each row's pad.
struct GuardedTarget {
    int32_t width, height, rowPad;
    std::vector<uint32_t> store;
    uint32_t* pixels;

    GuardedTarget(int32_t w, int32_t h, int32_t pad)
        : width(w), height(h), rowPad(pad),
          store(static_cast<size_t>(h + 2 * kBand) * (w + pad) + 2 * kBand, kGuard),
          pixels(store.data() + kBand * (w + pad) + kBand) {}

    // Whether anything outside the visible pixels changed; counts the
    // visible pixels that did.
    bool Intact(int64_t& written) const {
        const int64_t stride = width + rowPad;
        const int64_t origin = pixels - store.data();
        for (int64_t i = 0; i < static_cast<int64_t>(store.size()); ++i) {
            const int64_t rel = i - origin;
            const bool visible = rel >= 0 && rel < height * stride && rel % stride < width;
            if (store[i] == kGuard) continue;
            if (!visible) return false;
            ++written;
        }
        return true;
    }
};

// Corner records on their own page, which can be made read-only.
class CornerPage {
public:
    CornerPage() {
        size_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* page = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) page = nullptr;
        vertex_ = static_cast<ScreenVertex*>(page);
    }
    ~CornerPage() {
        if (vertex_ != nullptr) munmap(vertex_, size_);
    }
    ScreenVertex* Vertices() { return vertex_; }
    void Lock(bool locked) { mprotect(vertex_, size_, locked ? PROT_READ : PROT_READ | PROT_WRITE); }

private:
    size_t size_ = 0;
    ScreenVertex* vertex_ = nullptr;
};

struct Totals {
    int64_t drawn[3] = {};
    int triangles[3] = {};
};

void RunRandomTriangles(uint64_t seed, int count, Totals& totals) {
    Fuzzer fuzz(seed);
    CornerPage page;
    ASSERT_NE(page.Vertices(), nullptr);
    void (*const modes[3])(TriangleRequest&) = {DrawTriangleMode1, DrawTriangleMode4, DrawTriangleMode5};

    for (int n = 0; n < count; ++n) {
        const int mode = n % 3;
        const int32_t width = fuzz.OneIn(8) ? fuzz.Int(1, 3) : fuzz.Int(1, 90);
        const int32_t height = fuzz.OneIn(8) ? fuzz.Int(1, 3) : fuzz.Int(1, 70);
        // With no pad a stray write left of column 0 would land in the row
        // before, unseen; most targets get one.
        const int32_t pad = fuzz.OneIn(6) ? 0 : fuzz.Int(1, 12);
        GuardedTarget target(width, height, pad);

        // An exactly sized texture; sometimes a short file whose storage
        // holds fewer rows than its height says.
        const int32_t tw = fuzz.Int(1, 80), th = fuzz.Int(1, 80);
        int64_t present = static_cast<int64_t>(tw) * th;
        if (fuzz.OneIn(5)) present = fuzz.Int(0, static_cast<int32_t>(present));
        std::shared_ptr<uint32_t[]> storage(new uint32_t[static_cast<size_t>(std::max<int64_t>(present, 1))]);
        for (int64_t i = 0; i < present; ++i) storage[i] = static_cast<uint32_t>(fuzz.Int(0, INT32_MAX)) * 2654435761u;
        Image texture;
        texture.storage = storage;
        texture.pixels = storage.get();
        texture.width = tw;
        texture.height = th;
        texture.pixelCount = present;

        ScreenVertex* vertex = page.Vertices();
        VertexIntensity shade[3];
        TexCoord uv[3];
        const bool sliver = fuzz.OneIn(6);
        for (int k = 0; k < 3; ++k) {
            vertex[k].x = fuzz.Coordinate(width);
            vertex[k].y = fuzz.Coordinate(height);
            if (sliver && k == 2) {  // nearly on the line through the others
                const double t = fuzz.Uniform(-1, 2);
                vertex[2].x = vertex[0].x + (vertex[1].x - vertex[0].x) * t + fuzz.Uniform(-1e-3, 1e-3);
                vertex[2].y = vertex[0].y + (vertex[1].y - vertex[0].y) * t;
            }
            vertex[k].depth = fuzz.OneIn(10) ? fuzz.Wild(fuzz.Uniform(-1, 1)) : fuzz.Uniform(0.05, 50);
            auto intensity = [&] { return fuzz.OneIn(15) ? fuzz.Wild(1e3) : fuzz.Uniform(-0.5, 2.5); };
            shade[k] = {intensity(), intensity(), intensity()};
            auto coordinate = [&](int32_t size) {
                if (fuzz.OneIn(15)) return fuzz.Wild(1e6);
                return fuzz.OneIn(2) ? fuzz.Uniform(-0.5, size - 0.5) : fuzz.Uniform(-0.5 * size, 1.5 * size);
            };
            uv[k] = {coordinate(tw), coordinate(th)};
        }

        TriangleRequest request;
        for (int k = 0; k < 3; ++k) {
            request.vertex[k] = &vertex[k];
            request.shade[k] = &shade[k];
            request.uv[k] = &uv[k];
        }
        // Two corners sharing one record must come back too.
        if (fuzz.OneIn(25)) request.vertex[2] = request.vertex[0];
        if (mode == 0 && fuzz.OneIn(4)) request.uv[0] = request.uv[1] = request.uv[2] = nullptr;
        request.colour = fuzz.OneIn(4) ? static_cast<uint32_t>(fuzz.Int(INT32_MIN, INT32_MAX))
                                        : static_cast<uint32_t>(fuzz.Int(0, 0xFFFFFF));
        request.texture = &texture;
        request.pixels = target.pixels;
        request.width = width;
        request.height = height;
        request.rowPad = pad;

        ScreenVertex vertexBefore[3];
        VertexIntensity shadeBefore[3];
        TexCoord uvBefore[3];
        TriangleRequest requestBefore;
        std::memcpy(vertexBefore, vertex, sizeof vertexBefore);
        std::memcpy(shadeBefore, shade, sizeof shadeBefore);
        std::memcpy(uvBefore, uv, sizeof uvBefore);
        std::memcpy(static_cast<void*>(&requestBefore), &request, sizeof request);

        if (mode == 2) page.Lock(true);
        modes[mode](request);
        if (mode == 2) page.Lock(false);

        int64_t written = 0;
        ASSERT_TRUE(target.Intact(written)) << "mode " << mode << " triangle " << n;
        ASSERT_EQ(0, std::memcmp(vertexBefore, vertex, sizeof vertexBefore)) << "triangle " << n;
        ASSERT_EQ(0, std::memcmp(shadeBefore, shade, sizeof shadeBefore)) << "triangle " << n;
        ASSERT_EQ(0, std::memcmp(uvBefore, uv, sizeof uvBefore)) << "triangle " << n;
        ASSERT_EQ(0, std::memcmp(static_cast<const void*>(&requestBefore), &request, sizeof request))
            << "triangle " << n;
        totals.drawn[mode] += written;
        totals.triangles[mode] += written > 0;
    }
}

TEST(RasterFuzz, RandomTrianglesStayInsideAndRestoreEverything) {
    Totals totals;
    RunRandomTriangles(0x5157C3E5EEDull, 30000, totals);
    for (int mode = 0; mode < 3; ++mode) {
        std::printf("mode %d: %d triangles drew %lld pixels\n", mode, totals.triangles[mode],
                    static_cast<long long>(totals.drawn[mode]));
    }
    // The test must have drawn plenty, or it proves nothing.
    for (int mode = 0; mode < 3; ++mode) {
        EXPECT_GT(totals.triangles[mode], 1000) << "mode " << mode;
        EXPECT_GT(totals.drawn[mode], 100000) << "mode " << mode;
    }
}

}  // namespace
