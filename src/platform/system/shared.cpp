#include <cstdio>
#include <cstring>
#include <string>

#include "platform/system/system.h"

namespace {

std::string& PluginPathSetting() {
    static std::string path;
    return path;
}

}  // namespace

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

void InstallLibraryLoader(Host& host) {
    host.loadLibrary = [](void*, const char* name) {
        // The plug-in is asked for by its Windows name; the options may name
        // another file for it.
        const bool plugin = std::strcmp(name, "npmod32.dll") == 0;
        return OpenLibrary(!plugin ? name : PluginPath().empty() ? DefaultPluginPath() : PluginPath());
    };
    host.getProcAddress = [](void*, void* library, const char* name) { return LibrarySymbol(library, name); };
    host.freeLibrary = [](void*, void* library) { CloseLibrary(library); };
}

void SetPluginPath(const std::string& path) { PluginPathSetting() = path; }

const std::string& PluginPath() { return PluginPathSetting(); }

void PrintMessageBox(const char* text, const char* caption) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::fprintf(stderr, "%s: %s\n", caption && *caption ? caption : "sixscene", line.c_str());
    std::fflush(stderr);
}
