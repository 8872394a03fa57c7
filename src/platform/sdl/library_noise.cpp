#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/sdl/library_noise.h"

namespace {

using WaylandLogHandler = void (*)(const char* format, va_list args);
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err, const char* format, ...);

bool gHolding = false;

std::string& Held() {
    static std::string text;
    return text;
}

void OnWaylandMessage(const char* format, va_list args) {
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    std::string text = line;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (gHolding) {
        Held() += text + "\n";
    } else {
        std::fprintf(stderr, "sixscene: Wayland: %s\n", text.c_str());
    }
}

void OnAlsaError(const char*, int, const char*, int, const char*, ...) {}

// The library SDL will load, kept loaded so that the handler stays; not
// there at all is fine.
void* Symbol(const char* library, const char* name) {
    void* handle = dlopen(library, RTLD_LAZY | RTLD_LOCAL);
    return handle ? dlsym(handle, name) : nullptr;
}

}  // namespace

void HoldLibraryMessages() {
    gHolding = true;
    if (void* set = Symbol("libwayland-client.so.0", "wl_log_set_handler_client")) {
        reinterpret_cast<void (*)(WaylandLogHandler)>(set)(OnWaylandMessage);
    }
    if (void* set = Symbol("libasound.so.2", "snd_lib_error_set_handler")) {
        reinterpret_cast<int (*)(AlsaErrorHandler)>(set)(OnAlsaError);
    }
}

std::string ReleaseLibraryMessages() {
    gHolding = false;
    std::string text;
    text.swap(Held());
    return text;
}
