#pragma once
// The few POSIX calls that the shared platform files (the headless backend,
// the options, the recorder) make, for the Windows build, which includes this
// header ahead of them. It must not pull in <windows.h>: its macros would
// rename their functions (MessageBox, PeekMessage, LoadLibrary...).
#include <direct.h>
#include <signal.h>
#include <sys/types.h>

#include <cstddef>

// Only sa_handler is honoured: the C runtime's signal() is used underneath.
struct sigaction {
    void (*sa_handler)(int);
    int sa_mask;
    int sa_flags;
};

inline int sigemptyset(int* set) {
    *set = 0;
    return 0;
}

int sigaction(int number, const struct sigaction* action, struct sigaction* previous);

// "/proc/self/exe" names the running executable, with '/' separators;
// anything else fails.
ssize_t readlink(const char* path, char* buffer, size_t size);

// The mode has no meaning for Windows folders.
inline int mkdir(const char* path, int) { return _mkdir(path); }
