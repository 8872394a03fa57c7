#pragma once
// Writes a run to a folder: PNG frames, the music as WAV and a frame log.
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "platform/host.h"  // HostFrameNote

struct Recorder {
    std::string dir;
    std::set<int64_t> at;  // empty: every frame
    std::FILE* csv = nullptr;
    std::FILE* wav = nullptr;
    uint64_t audioFrames = 0;
    bool failed = false;
    std::string error;
};

bool OpenRecorder(Recorder& recorder, const std::string& dir, const std::set<int64_t>& at,
                  std::string& error);
// One presented frame; `pixels` at `depth` bits per pixel, `pitch` bytes a row.
void RecordFrame(Recorder& recorder, int64_t frame, const HostFrameNote& note, const void* pixels,
                 int32_t pitch, int32_t depth);
void RecordAudio(Recorder& recorder, const float* interleavedStereo, uint32_t frames);
// Finishes the files; false (with recorder.error) when anything failed to write.
bool CloseRecorder(Recorder& recorder);

// Writes 320x240 RGB rows (3 bytes a pixel) as a PNG file.
bool WritePng(const std::string& path, const uint8_t* rgb, int32_t width, int32_t height,
              std::string* error);
// Expands a frame of the display to 24-bit RGB.
void FrameToRgb(const void* pixels, int32_t pitch, int32_t depth, uint8_t* rgb);
