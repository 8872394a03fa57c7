// Run-time libraries for the Windows build: the plug-in is npmod32.dll, found
// by the system's search order (the executable's folder first) unless the
// options name another file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/backends.h"

namespace {

std::string gPluginPath;

void* Load(void*, const char* name) {
    const bool plugin = lstrcmpiA(name, "npmod32.dll") == 0;
    const char* path = plugin && !gPluginPath.empty() ? gPluginPath.c_str() : name;
    HMODULE library = LoadLibraryA(path);
    if (!library) {
        std::fprintf(stderr, "sixscene: cannot load %s (error %lu)\n", path,
                     static_cast<unsigned long>(GetLastError()));
    }
    return reinterpret_cast<void*>(library);
}

void* Find(void*, void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void Free(void*, void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace

void InstallLibraryLoader(Host& host) {
    host.loadLibrary = Load;
    host.getProcAddress = Find;
    host.freeLibrary = Free;
}

void SetPluginPath(const std::string& path) { gPluginPath = path; }

void PrintMessageBox(const char* text, const char* caption) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::fprintf(stderr, "%s: %s\n", caption && *caption ? caption : "sixscene", line.c_str());
    std::fflush(stderr);
}
