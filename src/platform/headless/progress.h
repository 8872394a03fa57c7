#pragma once
// The progress bar of a headless run on a terminal, and its closing tally.
#include <chrono>
#include <cstdint>

#include "platform/host.h"

struct Progress {
    bool terminal = false;
    std::chrono::steady_clock::time_point started, lastDrawn;
};

void StartProgress(Progress& progress);
// Redraws the bar, at most five times a second; nothing off a terminal.
void UpdateProgress(Progress& progress, int64_t frames, const HostFrameNote& note);
// Clears the bar's line so that a message can take it.
void ClearProgress(const Progress& progress);
// "N frames in S s (F frames a second)".
void ReportFrameRate(const Progress& progress, int64_t frames);
