#pragma once
// A run's recording, chosen by the name given: a video through ffmpeg
// (video_encoder.h) or a folder of PNG frames, the music and a frame log
// (recorder.h).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/host.h"
#include "record/recorder.h"
#include "record/video_encoder.h"

struct Recording {
    bool toFolder = false;
    bool toVideo = false;
    Recorder folder;
    VideoEncoder video;
    std::vector<uint8_t> rgb;
};

// Nothing to do for an empty `path`. `at` limits the PNG frames of a folder.
bool OpenRecording(Recording& recording, const std::string& path, const std::set<int64_t>& at,
                   int32_t videoScale, std::string& error);
// One presented frame; `pixels` at `depth` bits per pixel, `pitch` bytes a row.
void RecordFrame(Recording& recording, int64_t frame, const HostFrameNote& note, const void* pixels,
                 int32_t pitch, int32_t depth);
void RecordAudio(Recording& recording, const float* interleavedStereo, uint32_t frames);
// True once the recording can no longer be written (a full disk, ffmpeg gone).
bool RecordingFailed(const Recording& recording);
// Finishes the files and says on stderr what was written or why it is
// incomplete; false when it is.
bool CloseRecording(Recording& recording);
