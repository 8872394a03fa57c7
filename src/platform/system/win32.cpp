// The system layer on Windows.
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "platform/system/system.h"

std::string ExecutablePath() {
    char name[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
    if (length == 0 || length >= sizeof name) return std::string();
    std::string path(name, length);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// Found by the system's search order, the executable's folder first.
std::string DefaultPluginPath() { return "npmod32.dll"; }

void* OpenLibrary(const std::string& path) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        std::fprintf(stderr, "sixscene: cannot load %s (error %lu)\n", path.c_str(),
                     static_cast<unsigned long>(GetLastError()));
    }
    return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
