// The ffmpeg process on Windows: not available there, since the encoder
// feeds it through named FIFOs. Recording PNG frames works.
#include "record/encoder_process.h"

bool StartEncoderProcess(VideoEncoder&, std::string& error) {
    error = "recording a video is not available in the Windows build; record PNG frames with --record DIR";
    return false;
}

void SendToEncoder(VideoEncoder&, EncoderInput, const void*, size_t) {}

void FinishEncoderProcess(VideoEncoder&) {}
