#pragma once
// Streams frames and music to the ffmpeg program, which writes a video file.
// The process and its pipes are the system's (encoder_process.h).
#include <cstdint>
#include <string>
#include <vector>

#include "record/video_names.h"

struct EncoderProcess;

struct VideoEncoder {
    std::string path;
    int32_t scale = 3;
    uint64_t frames = 0;
    bool failed = false;
    std::string error;
    std::vector<int16_t> pcm;
    EncoderProcess* process = nullptr;
};

// Starts ffmpeg writing `path` (.mp4: H.264 and AAC; .mkv: lossless FFV1 and
// FLAC) with the picture scaled by `scale`, nearest neighbour.
bool OpenVideoEncoder(VideoEncoder& encoder, const std::string& path, int32_t scale, std::string& error);
// One 320x240 frame of 24-bit RGB.
void EncodeFrame(VideoEncoder& encoder, const uint8_t* rgb);
void EncodeAudio(VideoEncoder& encoder, const float* interleavedStereo, uint32_t frames);
// Ends the streams and waits for ffmpeg to finish the file.
bool CloseVideoEncoder(VideoEncoder& encoder);

// For the process layer: ffmpeg's command line, reading raw RGB frames from
// `videoInput` and 16-bit stereo from `audioInput`.
std::vector<std::string> FfmpegArguments(const VideoEncoder& encoder, const std::string& ffmpeg,
                                         const std::string& videoInput, const std::string& audioInput);
// Records the first failure; the encoder takes no more data.
void FailEncoder(VideoEncoder& encoder, const std::string& why);
