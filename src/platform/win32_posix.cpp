#include "platform/win32_posix.h"

#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstring>

int sigaction(int number, const struct sigaction* action, struct sigaction* previous) {
    const auto old = ::signal(number, action ? action->sa_handler : SIG_DFL);
    if (old == SIG_ERR) return -1;
    if (previous) {
        previous->sa_handler = old;
        previous->sa_mask = 0;
        previous->sa_flags = 0;
    }
    return 0;
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    if (std::strcmp(path, "/proc/self/exe") != 0 || size == 0) {
        errno = ENOENT;
        return -1;
    }
    char name[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
    if (length == 0 || length >= sizeof name) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // Like readlink, no terminating zero; the caller adds it.
    const size_t copied = length < size ? length : size;
    for (size_t i = 0; i < copied; ++i) buffer[i] = name[i] == '\\' ? '/' : name[i];
    return static_cast<ssize_t>(copied);
}
