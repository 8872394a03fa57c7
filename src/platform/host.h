#pragma once
// The host layer: the window, the full-screen display, messages, the clock
// and run-time library loading, as one table of operations. Each backend
// (sdl/, win32/, headless/, web/) fills it in through host_table.h; nothing above
// this header knows which one runs.
#include <cstdint>

// Result codes carry 32 bits so that failures can be shown as they are.
using HostResult = uint32_t;
constexpr HostResult kHostOk = 0;
constexpr HostResult kHostErrGeneric = 0x80004005u;          // unspecified failure
constexpr HostResult kHostErrUnsupportedMode = 0x80004001u;  // display mode refused
constexpr HostResult kHostErrNoDisplay = 0x88760208u;        // no display device
constexpr HostResult kHostErrSurfaceBusy = 0x887601AEu;      // lock failed
constexpr HostResult kHostErrSurfaceLost = 0x887601C2u;      // surface memory lost
constexpr HostResult kHostErrOutOfMemory = 0x8007000Eu;

enum class HostSurface : int32_t { Primary, BackBuffer };

enum class HostMessageType : int32_t { None, KeyDown, Close, Destroy, Other };
// Keys are Windows virtual-key codes; other backends translate theirs.
constexpr int32_t kKeyEscape = 0x1B;
constexpr int32_t kKeySpace = 0x20;
constexpr int32_t kKeyHome = 0x24;
constexpr int32_t kKeyLeft = 0x25;
constexpr int32_t kKeyRight = 0x27;
constexpr int32_t kKeyM = 'M';
constexpr int32_t kKeyAdd = 0x6B;       // keypad +
constexpr int32_t kKeySubtract = 0x6D;  // keypad -
constexpr int32_t kKeyPlus = 0xBB;      // the main keyboard's + (=)
constexpr int32_t kKeyMinus = 0xBD;
constexpr int32_t kKeyF12 = 0x7B;
constexpr int32_t kKeyPrintScreen = 0x2C;

struct HostMessage {
    HostMessageType type = HostMessageType::None;
    int32_t key = 0;
};

// What one presented frame showed, for recordings.
struct HostFrameNote {
    uint32_t clockMs = 0;
    double frameTicks = 0;
    double ticksTotal = 0;
    int32_t position = 0;
    int32_t scene = 0;
    int32_t endPosition = 0;  // where the show ends, for progress
};

struct Host {
    void* self = nullptr;

    // Windows and messages.
    bool (*createWindows)(void* self, const char* className, const char* title) = nullptr;
    void* (*musicWindow)(void* self) = nullptr;
    void (*messageBox)(void* self, const char* text, const char* caption, bool owned) = nullptr;
    bool (*peekMessage)(void* self, HostMessage* message) = nullptr;
    void (*postMessage)(void* self, HostMessage message) = nullptr;
    // Finishes any output and ends the process with `status` (in the
    // browser: the show, back to the page); never returns.
    // (No [[noreturn]] here: the attribute does not apply to a pointer, and
    // clang refuses it.)
    void (*exitProcess)(void* self, int status) = nullptr;

    // The display.
    HostResult (*createDisplay)(void* self) = nullptr;
    HostResult (*setDisplayMode)(void* self, int32_t width, int32_t height, int32_t bpp) = nullptr;
    // The primary surface with one back buffer attached.
    HostResult (*createSurfaces)(void* self) = nullptr;
    HostResult (*lock)(void* self, HostSurface surface, void** pixels, int32_t* pitchBytes) = nullptr;
    HostResult (*unlock)(void* self, HostSurface surface) = nullptr;
    HostResult (*colourFill)(void* self, uint32_t colour) = nullptr;  // the back buffer
    HostResult (*flip)(void* self) = nullptr;
    HostResult (*restore)(void* self) = nullptr;
    void (*releaseDisplay)(void* self) = nullptr;

    // The millisecond clock: 32 bits, wrapping.
    uint32_t (*timeMs)(void* self) = nullptr;

    // Run-time libraries.
    void* (*loadLibrary)(void* self, const char* name) = nullptr;
    void* (*getProcAddress)(void* self, void* library, const char* name) = nullptr;
    void (*freeLibrary)(void* self, void* library) = nullptr;
    // After a failed loadLibrary: the file tried and why it failed.
    const char* (*libraryError)(void* self) = nullptr;

    // Told before each present what the frame shows (recording, progress).
    void (*noteFrame)(void* self, const HostFrameNote& note) = nullptr;
};
