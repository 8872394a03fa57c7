// The Windows backend: a Win32 window and a full-screen DirectDraw display
// with one back buffer, the multimedia millisecond clock, and the window
// procedure that hands the messages the show answers to its own procedure.
#include <windows.h>
#include <ddraw.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <deque>

#include "npmod32.h"
#include "platform/backends.h"
#include "platform/host_table.h"
#include "platform/win32/win32_host.h"

namespace {

struct Win32 {
    Options options;
    HINSTANCE instance = nullptr;
    int showCommand = SW_SHOWDEFAULT;
    HWND mainWindow = nullptr;
    HWND musicWindow = nullptr;
    IDirectDraw* directDraw = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* drawSurface = nullptr;
    int32_t depth = 0;  // of the display mode set
    // What the window procedure saw for the show, oldest first.
    std::deque<HostMessage> messages;
    int64_t presented = 0;
    bool escaped = false;  // --frames pressed Escape: nothing is shown after that
};

// The window procedure has no way to carry a pointer of ours but the window
// itself; there is one backend per process.
Win32* gWin32 = nullptr;

// Failures of the display calls also go to stderr, for runs under a console.
void Report(const char* call, HRESULT result) {
    char text[128];
    wsprintfA(text, "sixscene: %s failed (%08lx)\n", call, static_cast<unsigned long>(result));
    std::fputs(text, stderr);
    std::fflush(stderr);
}

HostResult Checked(const char* call, HRESULT result) {
    if (FAILED(result)) Report(call, result);
    return static_cast<HostResult>(result);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32* w = gWin32;
    const bool main = w && window == w->mainWindow;
    switch (message) {
        case WM_DESTROY:
            if (main) w->messages.push_back({HostMessageType::Destroy, 0});
            return 0;
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return TRUE;
        case WM_KEYDOWN:
            if (main) w->messages.push_back({HostMessageType::KeyDown, static_cast<int32_t>(wParam)});
            break;
        case WM_CLOSE:
            // The show's procedure destroys the window: it releases the
            // display, stops the music and ends the process.
            if (main) {
                w->messages.push_back({HostMessageType::Close, 0});
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CreateWindows(Win32& w, const char* className, const char* title) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = w.instance;
    windowClass.hIcon = LoadIconA(w.instance, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = className;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) return false;

    const int x = (GetSystemMetrics(SM_CXSCREEN) - 320) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - 240) / 2;
    w.mainWindow = CreateWindowExA(WS_EX_APPWINDOW, className, title, WS_POPUPWINDOW | WS_CAPTION, x, y, 320, 240,
                                   nullptr, nullptr, w.instance, nullptr);
    if (!w.mainWindow) return false;
    // Handed to the module player, never shown.
    w.musicWindow = CreateWindowExA(WS_EX_APPWINDOW, className, title, WS_POPUPWINDOW | WS_CAPTION, x, y, 0, 0,
                                    nullptr, nullptr, w.instance, nullptr);
    if (!w.musicWindow) return false;
    ShowWindow(w.mainWindow, w.showCommand);
    UpdateWindow(w.mainWindow);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return true;
}

void* MusicWindow(Win32& w) { return w.musicWindow; }

void ShowMessageBox(Win32& w, const char* text, const char* caption, bool owned) {
    PrintMessageBox(text, caption);
    MessageBoxA(owned ? w.mainWindow : nullptr, text, caption, MB_OK);
}

// One system message per call at most; what the window procedure made of it
// (or of messages sent to the window in between) goes to the show first.
bool PeekHostMessage(Win32& w, HostMessage* message) {
    if (w.messages.empty()) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (w.messages.empty()) {
        *message = {HostMessageType::Other, 0};
    } else {
        *message = w.messages.front();
        w.messages.pop_front();
    }
    return true;
}

void PostHostMessage(Win32& w, HostMessage message) {
    switch (message.type) {
        case HostMessageType::Close:
            PostMessageA(w.mainWindow, WM_CLOSE, 0, 0);
            break;
        case HostMessageType::KeyDown:
            PostMessageA(w.mainWindow, WM_KEYDOWN, static_cast<WPARAM>(message.key), 0);
            break;
        case HostMessageType::Destroy:
            DestroyWindow(w.mainWindow);
            break;
        default:
            break;
    }
}

[[noreturn]] void ExitHost(Win32&, int status) {
    PostQuitMessage(0);
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(status));
}

HostResult CreateDisplay(Win32& w) {
    HostResult result = Checked("DirectDrawCreate", DirectDrawCreate(nullptr, &w.directDraw, nullptr));
    if (result != kHostOk) return result;
    return Checked("SetCooperativeLevel",
                   w.directDraw->SetCooperativeLevel(w.mainWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT));
}

HostResult SetDisplayMode(Win32& w, int32_t width, int32_t height, int32_t bpp) {
    if (!w.directDraw) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    // --depth 16: behave as a display that refuses 32 bits per pixel.
    if (bpp == 32 && w.options.depth == 16) return static_cast<HostResult>(DDERR_UNSUPPORTEDMODE);
    char call[64];
    wsprintfA(call, "SetDisplayMode(%d, %d, %d)", width, height, bpp);
    // The refresh rate is a parameter from the second interface on.
    IDirectDraw2* directDraw2 = nullptr;
    HRESULT result;
    if (SUCCEEDED(w.directDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&directDraw2)))) {
        result = directDraw2->SetDisplayMode(width, height, bpp, 60, 0);
        directDraw2->Release();
    } else {
        result = w.directDraw->SetDisplayMode(width, height, bpp);
    }
    if (SUCCEEDED(result)) w.depth = bpp;
    return Checked(call, result);
}

HostResult CreateSurfaces(Win32& w) {
    if (!w.directDraw) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;  // 108 bytes in a 32-bit build
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.dwBackBufferCount = 1;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    HostResult result = Checked("CreateSurface", w.directDraw->CreateSurface(&description, &w.primary, nullptr));
    if (result != kHostOk) return result;
    DDSCAPS caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    result = Checked("GetAttachedSurface", w.primary->GetAttachedSurface(&caps, &w.drawSurface));
    if (result == kHostOk) {
        char text[96];
        wsprintfA(text, "sixscene: full screen at 320x240, %d bits per pixel\n", static_cast<int>(w.depth));
        std::fputs(text, stderr);
        std::fflush(stderr);
    }
    return result;
}

IDirectDrawSurface* SurfaceOf(Win32& w, HostSurface surface) {
    return surface == HostSurface::Primary ? w.primary : w.drawSurface;
}

HostResult LockSurface(Win32& w, HostSurface surface, void** pixels, int32_t* pitch) {
    IDirectDrawSurface* s = SurfaceOf(w, surface);
    if (!s) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    const HRESULT result = s->Lock(nullptr, &description, DDLOCK_WAIT, nullptr);
    if (FAILED(result)) return static_cast<HostResult>(result);
    *pixels = description.lpSurface;
    *pitch = static_cast<int32_t>(description.lPitch);
    return kHostOk;
}

HostResult UnlockSurface(Win32& w, HostSurface surface) {
    IDirectDrawSurface* s = SurfaceOf(w, surface);
    if (!s) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    return static_cast<HostResult>(s->Unlock(nullptr));
}

HostResult ColourFill(Win32& w, uint32_t colour) {
    if (!w.drawSurface) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    DDBLTFX effects{};
    effects.dwSize = sizeof effects;  // 100 bytes in a 32-bit build
    effects.dwFillColor = colour;
    return static_cast<HostResult>(
        w.drawSurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects));
}

HostResult Flip(Win32& w) {
    if (!w.primary) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    // The loop draws on until it reads the Escape; those frames are not shown.
    if (w.escaped) return kHostOk;
    const HostResult result = static_cast<HostResult>(w.primary->Flip(nullptr, DDFLIP_WAIT));
    if (result == kHostOk && ++w.presented == w.options.escapeAfter) {
        w.escaped = true;
        w.messages.push_front({HostMessageType::KeyDown, kKeyEscape});
    }
    return result;
}

HostResult Restore(Win32& w) {
    if (!w.primary) return static_cast<HostResult>(DDERR_NOTINITIALIZED);
    return static_cast<HostResult>(w.primary->Restore());
}

void ReleaseDisplay(Win32& w) {
    if (!w.directDraw) return;
    // The back buffer goes with the primary it is attached to.
    if (w.primary) {
        w.primary->Release();
        w.primary = nullptr;
        w.drawSurface = nullptr;
    }
    w.directDraw->Release();
    w.directDraw = nullptr;
}

uint32_t TimeMs(Win32&) { return timeGetTime(); }

// Started from a console, a GUI program has no standard streams: write to
// that console instead. Under Wine, or redirected, the streams are there.
struct ConsoleStreams {
    ConsoleStreams() {
        const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        if ((error == nullptr || error == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
            std::freopen("CONOUT$", "w", stdout);
            std::freopen("CONOUT$", "w", stderr);
        }
    }
} gConsoleStreams;

}  // namespace

bool MakeWin32Host(const Options& options, Host& host, std::string& error) {
    if (gWin32) {
        error = "the Windows display can only be opened once";
        return false;
    }
    Win32* w = new Win32;  // lives until the process ends
    w->options = options;
    w->instance = GetModuleHandleA(nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) w->showCommand = startup.wShowWindow;
    gWin32 = w;

    WireHost(host, *w);
    return true;
}

// The program entry asks for the interactive backend by this name; in the
// Windows build that is the Win32 and DirectDraw one.
bool MakeDisplayHost(const Options& options, Host& host, std::string& error) {
    return MakeWin32Host(options, host, error);
}
