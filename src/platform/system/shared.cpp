#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/system/system.h"

namespace {

std::string& PluginPathSetting() {
    static std::string path;
    return path;
}

std::string& LibraryErrorText() {
    static std::string text;
    return text;
}

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

}  // namespace

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string DefaultDataDir() {
    const std::string beside = ExecutableDir();
    const std::string installed = beside + "/../share/sixscene";
    return !IsFolder(beside + "/bitmap") && IsFolder(installed + "/bitmap") ? installed : beside;
}

void InstallLibraryLoader(Host& host) {
    host.loadLibrary = [](void*, const char* name) {
        // The plug-in is asked for by its Windows name; the options may name
        // another file for it.
        const bool plugin = std::strcmp(name, "npmod32.dll") == 0;
        const std::string path = !plugin ? name : PluginPath().empty() ? DefaultPluginPath() : PluginPath();
        std::string reason;
        void* library = OpenLibrary(path, reason);
        LibraryErrorText() = library ? std::string() : "cannot load " + path + ": " + reason;
        return library;
    };
    host.libraryError = [](void*) { return LibraryErrorText().c_str(); };
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
