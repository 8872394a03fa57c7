// The system layer on Linux and other POSIX systems.
#include <dlfcn.h>
#include <sys/ioctl.h>
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

std::string DefaultPluginPath() {
    const std::string beside = ExecutableDir() + "/libnpmod32.so";
    const std::string installed = ExecutableDir() + "/../lib/sixscene/libnpmod32.so";
    return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

void* OpenLibrary(const std::string& path, std::string& error) {
    // RTLD_NOW: a plug-in that lacks a symbol it needs fails here, with the
    // symbol named, not later in the middle of the show.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown error";
        // dlerror starts with the file's name, which the caller gives already.
        if (error.rfind(path + ": ", 0) == 0) error.erase(0, path.size() + 2);
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int TerminalColumns() {
    winsize size{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}
