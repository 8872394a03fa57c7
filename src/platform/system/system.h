#pragma once
// What the host layer needs of the operating system besides the display:
// the program's folder, the terminal and run-time libraries. One file per
// system implements it (posix.cpp, win32.cpp, web.cpp); shared.cpp holds the rest.
#include <string>

#include "platform/host.h"

// The folder that holds the running executable.
std::string ExecutableDir();
// The show's data: beside the executable (the build folder, an unpacked
// zip), else ../share/sixscene from it (an installed program). When neither
// holds any, the first.
std::string DefaultDataDir();
// True when stderr is a terminal (progress bars, line clearing).
bool StderrIsTerminal();
// The width of stderr's terminal in columns; 0 when unknown.
int TerminalColumns();

// Fills the table's run-time library operations. "npmod32.dll" names our
// plug-in; SetPluginPath may name another file for it. After a failed load,
// libraryError names the file tried and the system's reason.
void InstallLibraryLoader(Host& host);
void SetPluginPath(const std::string& path);
// The file named by --plugin, or empty for the plug-in beside the program.
const std::string& PluginPath();

// A message box's text on stderr, one line.
void PrintMessageBox(const char* text, const char* caption);

// What each system provides for the above.
// The running executable's path with '/' separators; empty when unknown.
std::string ExecutablePath();
// The plug-in's file when --plugin names none: beside the executable, else
// in ../lib/sixscene from it (an installed program).
std::string DefaultPluginPath();
// Null when the library can't be loaded, with the system's reason in `error`.
void* OpenLibrary(const std::string& path, std::string& error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);
