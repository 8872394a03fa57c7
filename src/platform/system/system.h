#pragma once
// What the host layer needs of the operating system besides the display:
// the program's folder, the terminal and run-time libraries. One file per
// system implements it (posix.cpp, win32.cpp); shared.cpp holds the rest.
#include <string>

#include "platform/host.h"

// The folder that holds the running executable.
std::string ExecutableDir();
// True when stderr is a terminal (progress bars, line clearing).
bool StderrIsTerminal();

// Fills the table's run-time library operations. "npmod32.dll" names our
// plug-in; SetPluginPath may name another file for it.
void InstallLibraryLoader(Host& host);
void SetPluginPath(const std::string& path);
// The file named by --plugin, or empty for the plug-in beside the program.
const std::string& PluginPath();

// A message box's text on stderr, one line.
void PrintMessageBox(const char* text, const char* caption);

// What each system provides for the above.
// The running executable's path with '/' separators; empty when unknown.
std::string ExecutablePath();
// The plug-in's file when --plugin names none.
std::string DefaultPluginPath();
// Null when the library can't be loaded; the reason is on stderr then.
void* OpenLibrary(const std::string& path);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);
