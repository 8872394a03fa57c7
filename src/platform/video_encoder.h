#pragma once
// Streams frames and music to the ffmpeg program, which writes a video file.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// One pipe into ffmpeg, with what it hasn't taken yet. ffmpeg opens and
// reads its inputs one after the other, so writes never block: data waits
// here (a few frames' worth) until ffmpeg takes it.
struct EncoderStream {
    std::string fifo;
    int fd = -1;
    std::vector<uint8_t> pending;
    size_t sent = 0;
};

struct VideoEncoder {
    std::string path;
    std::string fifoDir;
    pid_t pid = -1;
    EncoderStream video;
    EncoderStream audio;
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
