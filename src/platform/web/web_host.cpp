#include "platform/web/web_host.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

#include "platform/headless/virtual_clock.h"
#include "platform/host_table.h"
#include "platform/memory/surface_rgb.h"

namespace {

// The browser's keys as the show knows them; 0 for keys it does not answer.
// By position first (the layout's own +/- keys vary), then by character.
int32_t KeyCode(const EmscriptenKeyboardEvent& event) {
    struct Name {
        const char* name;
        int32_t key;
    };
    static const Name kCodes[] = {
        {"Escape", kKeyEscape}, {"Space", kKeySpace},       {"ArrowLeft", kKeyLeft},
        {"ArrowRight", kKeyRight}, {"Home", kKeyHome},      {"KeyM", kKeyM},
        {"Equal", kKeyPlus},    {"NumpadAdd", kKeyAdd},     {"Minus", kKeyMinus},
        {"NumpadSubtract", kKeySubtract},
    };
    static const Name kCharacters[] = {{"+", kKeyPlus}, {"-", kKeyMinus}, {"m", kKeyM}, {"M", kKeyM}};
    for (const Name& name : kCodes) {
        if (std::strcmp(event.code, name.name) == 0) return name.key;
    }
    for (const Name& name : kCharacters) {
        if (std::strcmp(event.key, name.name) == 0) return name.key;
    }
    return 0;
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void* user) {
    Web& web = *static_cast<Web*>(user);
    // The browser's own shortcuts stay the browser's; Alt+Enter is the page's.
    if (!web.listening || event->ctrlKey || event->altKey || event->metaKey) return EM_FALSE;
    const int32_t key = KeyCode(*event);
    if (key == 0) return EM_FALSE;
    if (!(key == kKeyEscape && event->repeat)) web.messages.push_back({HostMessageType::KeyDown, key});
    return EM_TRUE;  // no scrolling on Space or the arrows
}

}  // namespace

// The host operations, found by WireHost through the Web type's namespace.
static uint32_t TimeMs(Web& web) {
    if (web.deterministic) return VirtualClockMs(web.frame);
    // performance.now(), kept as a wrapping 32-bit count as on the desktop.
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

static bool CreateWindows(Web&, const char*, const char*) { return true; }

static void* MusicWindow(Web& web) { return &web.musicWindow; }

static void ShowMessageBox(Web&, const char* text, const char* caption, bool) {
    PrintMessageBox(text, caption);
    EM_ASM({
        if (Module["sixsceneMessageBox"]) Module["sixsceneMessageBox"](UTF8ToString($0), UTF8ToString($1));
    }, caption ? caption : "", text ? text : "");
}

static bool PeekHostMessage(Web& web, HostMessage* message) {
    if (web.messages.empty()) return false;
    *message = web.messages.front();
    web.messages.pop_front();
    return true;
}

static void PostHostMessage(Web& web, HostMessage message) { web.messages.push_back(message); }

[[noreturn]] static void ExitHost(Web& web, int status) {
    web.exitStatus = status;
    web.listening = false;
    if (web.exitJump) std::longjmp(*web.exitJump, 1);
    // Outside a frame there is nothing to return to: end the program.
    emscripten_force_exit(status);
    __builtin_unreachable();
}

static HostResult CreateDisplay(Web&) { return kHostOk; }

static HostResult Flip(Web& web) {
    if (web.memory.back.empty()) return kHostErrGeneric;
    SwapMemorySurfaces(web.memory);
    ++web.frame;
    web.pictureChanged = true;
    return kHostOk;
}

static HostResult Restore(Web&) { return kHostOk; }

static void ReleaseDisplay(Web& web) { ReleaseMemorySurfaces(web.memory); }

static void NoteFrame(Web& web, const HostFrameNote&) {
    if (!web.deterministic || !web.handOver.count(web.frame) || web.memory.back.empty()) return;
    // The frame about to be presented, as the headless program records it.
    static std::vector<uint8_t> rgb(320 * 240 * 3);
    SurfaceToRgb(web.memory.back.data(), web.memory.pitch, web.memory.depth, rgb.data(), 3);
    EM_ASM({
        if (Module["sixsceneFrame"]) Module["sixsceneFrame"]($0, HEAPU8.slice($1, $1 + $2));
    }, static_cast<double>(web.frame), rgb.data(), rgb.size());
}

void StartWebHost(Web& web, Host& host, int32_t maxDepth, bool deterministic) {
    web.memory = MemoryDisplay{};
    web.memory.maxDepth = maxDepth;
    web.deterministic = deterministic;
    web.frame = 0;
    web.messages.clear();
    web.pictureChanged = false;
    web.exitStatus = 0;
    web.musicWindow = deterministic
        ? SixsceneMusicWindow{kSixsceneMusicWindowMagic, 1,
                              [](void* self) { return TimeMs(*static_cast<Web*>(self)); }, nullptr, &web}
        : SixsceneMusicWindow{kSixsceneMusicWindowMagic, 0, nullptr, nullptr, &web};
    // The deterministic mode is for tests: keys would make it differ.
    web.listening = !deterministic;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, &web, EM_TRUE, OnKeyDown);
    WireHost(host, web);
}

void PaintCanvas(Web& web) {
    if (!web.pictureChanged || web.memory.primary.empty()) return;
    web.pictureChanged = false;
    web.rgba.resize(320 * 240 * 4);
    SurfaceToRgb(web.memory.primary.data(), web.memory.pitch, web.memory.depth, web.rgba.data(), 4);
    EM_ASM({
        if (Module["sixscenePaint"]) Module["sixscenePaint"](HEAPU8.subarray($0, $0 + $1));
    }, web.rgba.data(), web.rgba.size());
}
