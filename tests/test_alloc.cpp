// Heap allocations while the show plays: none after start-up, in any scene,
// window or entry, with the real data and the real music driving the
// timeline as the frame loop does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "app/timeline.h"
#include "assets/objects.h"
#include "assets/pictures.h"
#include "music/music_player.h"
#include "platform/backends.h"

namespace {

std::atomic<long> gAllocations{0};
std::atomic<bool> gCounting{false};

// A place for a debugger's breakpoint: every counted allocation passes here.
[[gnu::noinline]] void CountedAllocation() { gAllocations.fetch_add(1, std::memory_order_relaxed); }

inline void Count() {
    if (gCounting.load(std::memory_order_relaxed)) CountedAllocation();
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
#define SIXSCENE_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIXSCENE_COUNT_MALLOC 0
#endif
#endif
#if !defined(SIXSCENE_COUNT_MALLOC)
#if defined(__GLIBC__)
#define SIXSCENE_COUNT_MALLOC 1
#else
#define SIXSCENE_COUNT_MALLOC 0
#endif
#endif

#if SIXSCENE_COUNT_MALLOC
// The C allocator itself, so that everything is seen: operator new, the C
// library, the plug-in and the module player it uses.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    Count();
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    Count();
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
void free(void* p) { __libc_free(p); }
}
#else
// With a sanitizer owning malloc, count at operator new instead.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    Count();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    Count();
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

struct Counted {
    Counted() {
        gAllocations = 0;
        gCounting = true;
    }
    ~Counted() { gCounting = false; }
    long Stop() {
        gCounting = false;
        return gAllocations.load();
    }
};

// The show's data and timeline, set up as the program does (row pad 0).
struct ShowData {
    Pictures pictures;
    ShowObjects objects;
    Timeline timeline;
    std::string error;
    bool SetUp() {
        const std::string data = SIXSCENE_BUILD_DIR;
        if (!LoadPictures(pictures, data, 0, &error) || !SetUpObjects(objects, pictures, 0, data, &error)) {
            return false;
        }
        SetUpTimeline(timeline, pictures, objects, 0, data);
        return true;
    }
};

uint32_t gClockMs = 0;
uint32_t VirtualClock(void*) { return gClockMs; }
void DiscardAudio(void*, const float*, uint32_t) {}

bool NonBlack(const std::vector<uint32_t>& frame) {
    return std::any_of(frame.begin(), frame.end(), [](uint32_t p) { return p != 0; });
}

TEST(Allocation, CountingSeesAllocations) {
    // Without this the tests below could pass with a counter that never counts.
    Counted counted;
    int* number = new int(7);
    std::vector<char> block(100);
    const long seen = counted.Stop();
    delete number;
    EXPECT_GE(seen, 2);
    EXPECT_EQ(block.size(), 100u);
}

TEST(Allocation, NoneWhileTheShowPlaysToItsEnd) {
    // The frame loop's work per frame: clear, clock, music position,
    // timeline, and at 16 bits the conversion; the music rendered offline in
    // step with a virtual clock at 15 frames a second, so that the whole show
    // passes in a few thousand frames and every scene window is still hit.
    Host host;
    InstallLibraryLoader(host);
    SetPluginPath(std::string(SIXSCENE_BUILD_DIR) + "/libnpmod32.so");
    SixsceneMusicWindow window{kSixsceneMusicWindowMagic, 1, VirtualClock, DiscardAudio, nullptr};
    MusicPlayer music;
    std::string error;
    ASSERT_TRUE(LoadMusicLibrary(music, host, "npmod32.dll", &error)) << error;
    ASSERT_TRUE(CreateMusicPlayer(music, &window));
    ASSERT_TRUE(LoadModule(music, std::string(SIXSCENE_BUILD_DIR) + "/snd/pelerind.xm"));
    ShowData show;
    ASSERT_TRUE(show.SetUp()) << show.error;

    std::vector<uint32_t> frame(kWidth * kHeight);
    std::vector<uint16_t> screen16(kWidth * kHeight);
    Image staging;
    staging.pixels = frame.data();
    staging.width = kWidth;
    staging.height = kHeight;
    staging.target16 = screen16.data();
    staging.targetWidth = kWidth;
    staging.targetHeight = kHeight;

    FrameClock clock;
    gClockMs = 0;
    StartClock(clock, gClockMs);
    StartMusic(music);
    std::array<int64_t, 7> frames{};  // per scene
    std::array<int64_t, 7> drawn{};   // per scene, frames that are not black
    int64_t frame4 = 0, scene4Black = 0;
    bool ended = false;
    {
        Counted counted;
        for (int64_t n = 0; n < 100000 && !ended; ++n) {
            ClearImage(staging);
            gClockMs = static_cast<uint32_t>(n * 1000 / 15);
            AdvanceClock(clock, gClockMs);
            const int32_t position = MusicPosition(music);
            ended = TimelineStep(show.timeline, BackBuffer{frame.data(), kWidth, kHeight, 0}, position,
                                 clock.frameTicks, clock.ticksTotal);
            if (ended) break;
            ConvertTo565(staging);
            const int32_t scene = SceneForPosition(position);
            ++frames[scene];
            if (NonBlack(frame)) ++drawn[scene];
            if (scene == 4) {
                ++frame4;
                if (!NonBlack(frame)) ++scene4Black;
            }
        }
        EXPECT_EQ(counted.Stop(), 0);
    }
    UnloadMusicLibrary(music);
    EXPECT_TRUE(ended) << "the music never reached its end position";
    for (int scene = 1; scene <= 6; ++scene) {
        EXPECT_GT(frames[scene], 0) << "scene " << scene << " never played";
        EXPECT_GT(drawn[scene], 0) << "scene " << scene << " drew nothing";
    }
    // Scene 4 runs through all its windows to the black stretch at its end.
    EXPECT_GT(frame4, 7300 / 4);
    EXPECT_GT(scene4Black, 0);
    EXPECT_EQ(show.timeline.sceneState, 7);  // every entry ran
}

TEST(Allocation, NoneForScenesDrawnWithoutTheirEntries) {
    // Positions that jump past scenes: 4, 5 (with its climax) and 6 are drawn
    // without their entries, so the globe is drawn before any mapping.
    ShowData show;
    ASSERT_TRUE(show.SetUp()) << show.error;
    std::vector<uint32_t> frame(kWidth * kHeight);
    const BackBuffer back{frame.data(), kWidth, kHeight, 0};
    struct Stretch {
        int32_t position;
        int frames;
    };
    const Stretch stretches[] = {{10, 3}, {300, 40}, {900, 40}, {1055, 40}, {1100, 40}};
    double T = 0;
    int drew = 0;
    {
        Counted counted;
        for (const Stretch& s : stretches) {
            for (int i = 0; i < s.frames; ++i) {
                std::fill(frame.begin(), frame.end(), 0u);
                T += 2.0;
                TimelineStep(show.timeline, back, s.position, 2.0, T);
                if (NonBlack(frame)) ++drew;
            }
        }
        EXPECT_EQ(counted.Stop(), 0);
    }
    EXPECT_EQ(show.timeline.sceneState, 2);  // only scene 1's entry ran
    EXPECT_TRUE(show.objects.nballx.faceTextures.empty());
    EXPECT_GT(drew, 150);
}

}  // namespace
