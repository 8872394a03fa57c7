// The system layer on Linux and other POSIX systems.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "platform/system/system.h"

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// A shared object beside the executable.
std::string DefaultPluginPath() { return ExecutableDir() + "/libnpmod32.so"; }

void* OpenLibrary(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) std::fprintf(stderr, "sixscene: %s\n", dlerror());
    return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }
