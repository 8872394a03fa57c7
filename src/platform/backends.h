#pragma once
// The two backends of the host layer and what they share.
#include <memory>
#include <string>

#include "platform/host.h"
#include "platform/options.h"

// Each fills `host` and returns true, or false with `error` set. The
// backend lives until host.exitProcess, which finishes its output and ends
// the process.
bool MakeHeadlessHost(const Options& options, Host& host, std::string& error);
bool MakeDisplayHost(const Options& options, Host& host, std::string& error);

// Shared by both: run-time libraries. "npmod32.dll" names our plug-in; the
// options may point at another file.
void InstallLibraryLoader(Host& host);
void SetPluginPath(const std::string& path);
// The message box's text on stderr, one line.
void PrintMessageBox(const char* text, const char* caption);
