#pragma once
// The backends of the host layer, one folder each: sdl/ (Linux), win32/
// (Windows) and headless/ (every system). The program entry picks one.
#include <string>

#include "app/options.h"
#include "platform/host.h"
#include "platform/system/system.h"

// Each fills `host` and returns true, or false with `error` set. The
// backend lives until host.exitProcess, which finishes its output and ends
// the process.
bool MakeHeadlessHost(const Options& options, Host& host, std::string& error);
// The interactive one of this system: a window and a full-screen display.
bool MakeDisplayHost(const Options& options, Host& host, std::string& error);
