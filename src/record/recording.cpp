#include "record/recording.h"

#include <cstdio>

bool OpenRecording(Recording& recording, const std::string& path, const std::set<int64_t>& at,
                   int32_t videoScale, std::string& error) {
    if (path.empty()) return true;
    if (IsVideoPath(path)) {
        if (!OpenVideoEncoder(recording.video, path, videoScale, error)) return false;
        recording.toVideo = true;
        recording.rgb.resize(320 * 240 * 3);
        return true;
    }
    if (!OpenRecorder(recording.folder, path, at, error)) return false;
    recording.toFolder = true;
    return true;
}

void RecordFrame(Recording& recording, int64_t frame, const HostFrameNote& note, const void* pixels,
                 int32_t pitch, int32_t depth) {
    if (recording.toFolder) RecordFrame(recording.folder, frame, note, pixels, pitch, depth);
    if (recording.toVideo) {
        FrameToRgb(pixels, pitch, depth, recording.rgb.data());
        EncodeFrame(recording.video, recording.rgb.data());
    }
}

void RecordAudio(Recording& recording, const float* samples, uint32_t frames) {
    if (recording.toFolder) RecordAudio(recording.folder, samples, frames);
    if (recording.toVideo) EncodeAudio(recording.video, samples, frames);
}

bool RecordingFailed(const Recording& recording) {
    return (recording.toFolder && recording.folder.failed) || (recording.toVideo && recording.video.failed);
}

bool CloseRecording(Recording& recording) {
    bool complete = true;
    if (recording.toFolder && !CloseRecorder(recording.folder)) {
        std::fprintf(stderr, "sixscene: the recording is incomplete: %s\n", recording.folder.error.c_str());
        complete = false;
    }
    if (recording.toVideo) {
        if (CloseVideoEncoder(recording.video)) {
            std::fprintf(stderr, "sixscene: recorded %llu frames to %s\n",
                         static_cast<unsigned long long>(recording.video.frames), recording.video.path.c_str());
        } else {
            std::fprintf(stderr, "sixscene: the video is incomplete: %s\n", recording.video.error.c_str());
            complete = false;
        }
    }
    recording.toFolder = recording.toVideo = false;
    return complete;
}
