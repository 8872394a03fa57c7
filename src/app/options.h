#pragma once
// The program's command line.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class DisplayMode { Fullscreen, Window, Headless };

struct Options {
    DisplayMode mode = DisplayMode::Fullscreen;
    int32_t scale = 3;          // window scale factor
    int32_t depth = 32;         // 16: the display refuses 32 bpp
    std::string dataDir;        // default: beside the executable
    std::string plugin;         // default: the plug-in beside the executable
    int64_t escapeAfter = -1;   // press Escape after this many presented frames
    std::string record;         // headless: a folder for frames, audio and frames.csv,
                                // or a .mp4/.mkv video
    int32_t videoScale = 3;     // video recordings: picture scale factor
    std::set<int64_t> at;       // frames to write as PNG (empty: all)
    // Fault injection for tests of the headless display.
    int32_t pitch = 0;                 // bytes per row of the surfaces
    std::set<int64_t> failLock;        // frames whose back-buffer lock fails
    std::set<int64_t> loseSurface;     // frames whose flip finds the surface lost
    std::string failDisplayStep;       // create|mode|surfaces: that display call fails
    // Player.
    bool loop = false;           // start again from row 0 at the end
    int32_t startRow = 0;        // --start ROW, or the first row of --scene N
    std::string screenshotDir;   // F12 saves here (default: the current folder)
    // Tests: keys pressed after these frames of a headless run.
    std::vector<std::pair<int64_t, int32_t>> testKeys;
    bool help = false;
    bool version = false;
    bool man = false;           // print the manual page (roff) made from the usage text
};

// Parses argv; false with `error` set on a usage error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
// The key a name stands for (space, left, right, home, m, plus, minus, f12,
// escape), or 0.
int32_t KeyByName(const std::string& name);
// Parses "1,5,10-20" into frame numbers.
bool ParseFrameList(const std::string& text, std::set<int64_t>& frames);
const char* UsageText();
// The usage text as a manual page in roff, section 6; `summary` is its
// one-line description.
std::string ManPage(const char* version, const char* summary);
