#pragma once
// A tiny XM writer for tests: modules with chosen speed, BPM, pattern lengths
// and effects, so that the number of rows a player should have played after a
// given time is known in advance.
#include <cstdint>
#include <string>
#include <vector>

struct XmCell {
    uint8_t note = 0;        // 1..96, 97 = key off, 0 = none
    uint8_t instrument = 0;  // 1-based, 0 = none
    uint8_t volume = 0;      // volume column byte, 0 = none
    uint8_t effect = 0;      // effect number (0x0B = position jump, 0x0D = pattern break, 0x0F = speed/BPM)
    uint8_t param = 0;
};

struct XmPattern {
    uint16_t rows = 64;
    std::vector<XmCell> cells;  // rows x channels, row-major
};

struct XmSong {
    std::string name = "fixture";
    uint16_t channels = 2;
    uint16_t speed = 6;
    uint16_t bpm = 125;
    uint16_t restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    // One instrument with a looped square-wave sample, so that notes sound.
    bool withInstrument = true;
};

XmPattern MakeXmPattern(uint16_t rows, uint16_t channels);
// The cell of `pattern` at (row, channel); `channels` must be the song's.
XmCell& XmCellAt(XmPattern& pattern, uint16_t channels, uint16_t row, uint16_t channel);

// Dxx takes its row as two decimal digits.
uint8_t XmBreakParam(int row);
// Seconds per row at a speed (ticks per row) and BPM.
double XmRowSeconds(int speed, int bpm);

std::vector<uint8_t> BuildXm(const XmSong& song);
bool WriteXm(const XmSong& song, const std::string& path);
