#pragma once
// The ffmpeg process behind a VideoEncoder: one implementation per system.
#include <cstddef>
#include <string>

#include "record/video_encoder.h"

enum class EncoderInput { Video, Audio };

// Starts ffmpeg for encoder.path and encoder.scale; false with `error` set.
bool StartEncoderProcess(VideoEncoder& encoder, std::string& error);
// Hands ffmpeg bytes for one input. Never blocks on one input while ffmpeg
// waits for the other; a failure goes to FailEncoder.
void SendToEncoder(VideoEncoder& encoder, EncoderInput input, const void* data, size_t size);
// Ends both inputs and waits for ffmpeg to finish the file.
void FinishEncoderProcess(VideoEncoder& encoder);
