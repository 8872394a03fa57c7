#pragma once
// The show's music: instruments synthesised in code and a song written by
// code, in step with the scenes.
#include <vector>

#include "xm.h"

namespace gen {

// Instrument numbers as the patterns use them (1-based, as in XM).
enum Instrument : uint8_t {
    kKick = 1,
    kSnare,
    kClosedHat,
    kOpenHat,
    kCrash,
    kTom,
    kBass,
    kPad,
    kLead,
    kBell,
    kRiser,
    kGlass,
    kInstrumentCount = kGlass
};

// Pitched instruments are tuned so that note C-4 sounds middle C; the drums
// and effects sound as recorded at C-4.
std::vector<XmInstrument> SynthesiseInstruments();

// Tempo: speed 12 at 146 BPM, one row = 12 * 2.5 / 146 s (about 0.2055 s).
constexpr int kSongSpeed = 12;
constexpr int kSongBpm = 146;

XmModule ComposeSong();

}  // namespace gen
