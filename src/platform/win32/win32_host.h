#pragma once
// The Windows backend: a Win32 window and a full-screen DirectDraw display.
#include <string>

#include "platform/host.h"
#include "app/options.h"

// Fills `host` and returns true, or false with `error` set. One per process;
// it lives until host.exitProcess.
bool MakeWin32Host(const Options& options, Host& host, std::string& error);
