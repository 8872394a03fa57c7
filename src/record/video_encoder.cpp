#include "record/video_encoder.h"

#include "record/encoder_process.h"
#include "record/pcm.h"

std::vector<std::string> FfmpegArguments(const VideoEncoder& encoder, const std::string& ffmpeg,
                                         const std::string& videoInput, const std::string& audioInput) {
    const std::string size = std::to_string(320 * encoder.scale) + ":" + std::to_string(240 * encoder.scale);
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "320x240",
                                     "-framerate", "60", "-i", videoInput,
                                     "-f", "s16le", "-ar", "48000", "-ac", "2", "-i", audioInput,
                                     "-vf", "scale=" + size + ":flags=neighbor"};
    if (FileExtension(encoder.path) == ".mkv") {
        args.insert(args.end(), {"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt",
                                 "yuv420p", "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"});
    }
    args.push_back(encoder.path);
    return args;
}

void FailEncoder(VideoEncoder& encoder, const std::string& why) {
    if (!encoder.failed) encoder.error = why;
    encoder.failed = true;
}

bool OpenVideoEncoder(VideoEncoder& encoder, const std::string& path, int32_t scale, std::string& error) {
    encoder.path = path;
    encoder.scale = scale;
    return StartEncoderProcess(encoder, error);
}

void EncodeFrame(VideoEncoder& encoder, const uint8_t* rgb) {
    if (encoder.failed) return;
    SendToEncoder(encoder, EncoderInput::Video, rgb, 320 * 240 * 3);
    ++encoder.frames;
}

void EncodeAudio(VideoEncoder& encoder, const float* samples, uint32_t frames) {
    if (encoder.failed) return;
    ToPcm16(samples, static_cast<size_t>(frames) * 2, encoder.pcm);
    SendToEncoder(encoder, EncoderInput::Audio, encoder.pcm.data(), encoder.pcm.size() * sizeof(int16_t));
}

bool CloseVideoEncoder(VideoEncoder& encoder) {
    FinishEncoderProcess(encoder);
    return !encoder.failed;
}
