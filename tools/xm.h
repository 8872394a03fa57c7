#pragma once
// An in-memory extended module (XM, version 0x0104) and its writer.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gen_util.h"

namespace gen {

constexpr uint8_t kXmNoteOff = 97;

// One cell of a pattern; 0 in every field means "nothing".
struct XmCell {
    uint8_t note = 0;        // 1 = C-0 ... 96 = B-7, 97 = key off
    uint8_t instrument = 0;  // 1-based
    uint8_t volume = 0;      // volume column: 0x10 + 0..64 sets the volume
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows x channels, row by row
};

struct XmEnvelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, level 0..64)
    int sustain = -1;                                   // point index, -1 = none
};

struct XmSample {
    std::string name;
    std::vector<int16_t> data;  // 16-bit mono
    uint32_t loopStart = 0;     // in sample frames
    uint32_t loopLength = 0;    // 0 = no loop
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
};

struct XmInstrument {
    std::string name;
    XmSample sample;
    XmEnvelope volumeEnvelope;  // used when it has points
    uint16_t fadeout = 0;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct XmModule {
    std::string name;
    std::string tracker;
    int channels = 8;
    int speed = 6;
    int bpm = 125;
    int restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Serialises the module; throws std::runtime_error when it breaks a limit
// of the format (too many patterns, rows or channels, a cell too big).
Bytes WriteXm(const XmModule& module);

}  // namespace gen
