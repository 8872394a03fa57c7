// The SDL2 backend: a real window (desktop full screen by default), the
// picture scaled by whole factors with sharp pixels, vsync on present.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "npmod32.h"
#include "platform/backends.h"
#include "platform/host_table.h"
#include "platform/sdl/library_noise.h"
#include "record/screenshot.h"

namespace {

struct Sdl {
    Options options;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool fullscreen = true;
    MemoryDisplay memory;
    bool lost = false;
    SDL_Event pending{};
    bool hasPending = false;
    SixsceneMusicWindow musicWindow{};
    int64_t presented = 0;
    bool escaped = false;      // --frames pressed Escape: nothing is shown after that
    bool escapeRead = false;
};

// The largest whole scale up to --scale whose window fits the screen's
// usable area (without panels and docks).
void FitScale(Sdl& s) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return;
    int scale = s.options.scale;
    while (scale > 1 && (320 * scale > usable.w || 240 * scale > usable.h)) --scale;
    if (scale == s.options.scale) return;
    if (!s.fullscreen) {
        std::fprintf(stderr, "sixscene: a %dx%d window does not fit the screen's %dx%d; scale %d instead of %d\n",
                     320 * s.options.scale, 240 * s.options.scale, usable.w, usable.h, scale, s.options.scale);
    }
    s.options.scale = scale;
}

bool CreateWindows(Sdl& s, const char*, const char* title) {
    FitScale(s);
    const int scale = s.options.scale;
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (s.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    s.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320 * scale,
                                240 * scale, flags);
    if (!s.window) {
        std::fprintf(stderr, "sixscene: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    // The cursor hides over the full screen only.
    SDL_ShowCursor(s.fullscreen ? SDL_DISABLE : SDL_ENABLE);
    return true;
}

void* MusicWindow(Sdl& s) { return &s.musicWindow; }

void ShowMessageBox(Sdl& s, const char* text, const char* caption, bool owned) {
    PrintMessageBox(text, caption);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owned ? s.window : nullptr);
}

void ToggleFullscreen(Sdl& s) {
    s.fullscreen = !s.fullscreen;
    SDL_SetWindowFullscreen(s.window, s.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    SDL_ShowCursor(s.fullscreen ? SDL_DISABLE : SDL_ENABLE);
    if (!s.fullscreen) {
        SDL_SetWindowSize(s.window, 320 * s.options.scale, 240 * s.options.scale);
        SDL_SetWindowPosition(s.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
}

// SDL's keys as the show knows them; 0 for keys it does not answer.
int32_t KeyCode(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE: return kKeyEscape;
        case SDLK_SPACE: return kKeySpace;
        case SDLK_LEFT: return kKeyLeft;
        case SDLK_RIGHT: return kKeyRight;
        case SDLK_HOME: return kKeyHome;
        case SDLK_m: return kKeyM;
        case SDLK_PLUS:
        case SDLK_EQUALS: return kKeyPlus;
        case SDLK_KP_PLUS: return kKeyAdd;
        case SDLK_MINUS: return kKeyMinus;
        case SDLK_KP_MINUS: return kKeySubtract;
        default: return 0;
    }
}

// The picture on the screen: the last one presented.
void SaveScreen(Sdl& s) {
    if (s.memory.primary.empty()) return;
    SaveScreenshot(s.options.screenshotDir, s.memory.primary.data(), s.memory.pitch, s.memory.depth);
}

bool PeekHostMessage(Sdl& s, HostMessage* message) {
    if (s.escaped && !s.escapeRead) {
        s.escapeRead = true;
        *message = {HostMessageType::KeyDown, kKeyEscape};
        return true;
    }
    SDL_Event event;
    if (s.hasPending) {
        event = s.pending;
        s.hasPending = false;
    } else if (!SDL_PollEvent(&event)) {
        return false;
    }
    *message = HostMessage{HostMessageType::Other, 0};
    switch (event.type) {
        case SDL_QUIT:
            message->type = HostMessageType::Close;
            break;
        case SDL_KEYDOWN: {
            const SDL_Keycode key = event.key.keysym.sym;
            if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (event.key.keysym.mod & KMOD_ALT)) {
                if (!event.key.repeat) ToggleFullscreen(s);
            } else if (key == SDLK_F12 || key == SDLK_PRINTSCREEN) {
                if (!event.key.repeat) SaveScreen(s);
            } else if (const int32_t code = KeyCode(key)) {
                *message = {HostMessageType::KeyDown, code};
            }
            break;
        }
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            // The texture's contents (or the texture) are gone.
            s.lost = true;
            break;
        default:
            break;
    }
    return true;
}

void PostHostMessage(Sdl&, HostMessage message) {
    // Only the close request is ever posted; it goes through SDL's queue.
    if (message.type == HostMessageType::Close) {
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    }
}

[[noreturn]] void ExitHost(Sdl&, int status) {
    SDL_Quit();
    std::exit(status);
}

HostResult CreateDisplay(Sdl& s) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    s.renderer = SDL_CreateRenderer(s.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!s.renderer) s.renderer = SDL_CreateRenderer(s.window, -1, SDL_RENDERER_SOFTWARE);
    if (!s.renderer) {
        std::fprintf(stderr, "sixscene: cannot create a renderer: %s\n", SDL_GetError());
        return kHostErrNoDisplay;
    }
    SDL_RenderSetLogicalSize(s.renderer, 320, 240);
    SDL_RenderSetIntegerScale(s.renderer, SDL_TRUE);
    return kHostOk;
}

HostResult CreateTexture(Sdl& s) {
    if (s.texture) SDL_DestroyTexture(s.texture);
    const Uint32 format = s.memory.depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    s.texture = SDL_CreateTexture(s.renderer, format, SDL_TEXTUREACCESS_STREAMING, 320, 240);
    if (!s.texture) {
        std::fprintf(stderr, "sixscene: cannot create the screen texture: %s\n", SDL_GetError());
        return kHostErrOutOfMemory;
    }
    return kHostOk;
}

HostResult CreateSurfaces(Sdl& s) {
    const HostResult result = CreateMemorySurfaces(s.memory);
    return result == kHostOk ? CreateTexture(s) : result;
}

HostResult Flip(Sdl& s) {
    // The loop draws on until it reads the Escape; those frames are not shown.
    if (s.escaped) return kHostOk;
    if (s.lost || !s.texture) return kHostErrSurfaceLost;
    if (SDL_UpdateTexture(s.texture, nullptr, s.memory.back.data(), s.memory.pitch) != 0) return kHostErrSurfaceLost;
    SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
    SDL_RenderPresent(s.renderer);
    SwapMemorySurfaces(s.memory);
    if (++s.presented == s.options.escapeAfter) s.escaped = true;
    return kHostOk;
}

HostResult Restore(Sdl& s) {
    s.lost = false;
    return CreateTexture(s);
}

void ReleaseDisplay(Sdl& s) {
    if (s.texture) SDL_DestroyTexture(s.texture);
    if (s.renderer) SDL_DestroyRenderer(s.renderer);
    s.texture = nullptr;
    s.renderer = nullptr;
    ReleaseMemorySurfaces(s.memory);
}

uint32_t TimeMs(Sdl&) { return SDL_GetTicks(); }

// Held library messages as further lines of ours.
std::string LibraryLines(const std::string& said) {
    std::string lines;
    for (size_t start = 0; start < said.size();) {
        size_t end = said.find('\n', start);
        if (end == std::string::npos) end = said.size();
        lines += "\nsixscene: Wayland: " + said.substr(start, end - start);
        start = end + 1;
    }
    return lines;
}

}  // namespace

bool MakeDisplayHost(const Options& options, Host& host, std::string& error) {
    const char* const advice =
        "). Without a display, try --headless, or --record DIR to write the show to files; "
        "with one, try --window.";
    HoldLibraryMessages();
    const bool initialised = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    // What the libraries said while SDL looked for a display follows our
    // message, if there is one; otherwise it was only SDL trying its drivers.
    const std::string said = ReleaseLibraryMessages();
    if (!initialised) {
        error = std::string("cannot open a display (") + SDL_GetError() + advice + LibraryLines(said);
        return false;
    }
    // With no display at all SDL falls back to a driver that shows nothing;
    // the show would then play unseen, with no way to press Escape. Only
    // take such a driver when it was asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strstr(asked, driver))) {
        SDL_Quit();
        error = std::string("cannot open a display (found no X11, Wayland or console display") + advice +
                LibraryLines(said);
        return false;
    }
    // Mouse motion would only crowd the one message a frame handles.
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    Sdl* s = new Sdl;  // lives until the process ends
    s->options = options;
    s->fullscreen = options.mode == DisplayMode::Fullscreen;
    s->memory.maxDepth = options.depth;
    s->musicWindow = SixsceneMusicWindow{kSixsceneMusicWindowMagic, 0, nullptr, nullptr, s};

    WireHost(host, *s);
    return true;
}
