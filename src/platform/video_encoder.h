#pragma once
// Streams frames and music to the ffmpeg program, which writes a video file.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct VideoEncoder {
    std::string path;
    std::string fifoDir;
    pid_t pid = -1;
    int videoFd = -1;
    int audioFd = -1;
    int32_t scale = 3;
    uint64_t frames = 0;
    bool failed = false;
    std::string error;
    std::vector<int16_t> pcm;
};

// True for the file names that --record encodes to video.
bool IsVideoPath(const std::string& path);
// Starts ffmpeg writing `path` (.mp4: H.264 and AAC; .mkv: lossless FFV1 and
// FLAC) with the picture scaled by `scale`, nearest neighbour.
bool OpenVideoEncoder(VideoEncoder& encoder, const std::string& path, int32_t scale, std::string& error);
// One 320x240 frame of 24-bit RGB.
void EncodeFrame(VideoEncoder& encoder, const uint8_t* rgb);
void EncodeAudio(VideoEncoder& encoder, const float* interleavedStereo, uint32_t frames);
// Ends the streams and waits for ffmpeg to finish the file.
bool CloseVideoEncoder(VideoEncoder& encoder);
