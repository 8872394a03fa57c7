#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/backends.h"

namespace {

std::string gPluginPath;

void* LoadLibrary(void*, const char* name) {
    // The plug-in is asked for by its Windows name; here it is a shared
    // object beside the executable unless the options name another file.
    std::string path = name;
    if (std::strcmp(name, "npmod32.dll") == 0) {
        path = gPluginPath.empty() ? ExecutableDir() + "/libnpmod32.so" : gPluginPath;
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) std::fprintf(stderr, "sixscene: %s\n", dlerror());
    return library;
}

void* GetProcAddress(void*, void* library, const char* name) { return dlsym(library, name); }

void FreeLibrary(void*, void* library) { dlclose(library); }

}  // namespace

void InstallLibraryLoader(Host& host) {
    host.loadLibrary = LoadLibrary;
    host.getProcAddress = GetProcAddress;
    host.freeLibrary = FreeLibrary;
}

void SetPluginPath(const std::string& path) { gPluginPath = path; }

void PrintMessageBox(const char* text, const char* caption) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::fprintf(stderr, "%s: %s\n", caption && *caption ? caption : "sixscene", line.c_str());
}
