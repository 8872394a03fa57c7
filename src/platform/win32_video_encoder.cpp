// Video recording for the Windows build: not available there, since it pipes
// to the ffmpeg program through FIFOs. Recording PNG frames works.
#include "platform/video_encoder.h"

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string tail = suffix;
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool IsVideoPath(const std::string& path) { return EndsWith(path, ".mp4") || EndsWith(path, ".mkv"); }

bool OpenVideoEncoder(VideoEncoder& encoder, const std::string& path, int32_t, std::string& error) {
    encoder.path = path;
    error = "recording a video is not available in the Windows build; record PNG frames with --record DIR";
    return false;
}

void EncodeFrame(VideoEncoder&, const uint8_t*) {}

void EncodeAudio(VideoEncoder&, const float*, uint32_t) {}

bool CloseVideoEncoder(VideoEncoder& encoder) { return !encoder.failed; }
