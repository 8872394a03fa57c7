#include "record/recorder.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/memory/surface_rgb.h"
#include "record/pcm.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr uint32_t kRate = 48000;

void Put16(std::FILE* f, uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}
void Put32(std::FILE* f, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

// A 16-bit PCM stereo header; the sizes are filled in when the file closes.
void WriteWavHeader(std::FILE* f, uint32_t dataBytes) {
    std::fwrite("RIFF", 1, 4, f);
    Put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    Put32(f, 16);
    Put16(f, 1);
    Put16(f, 2);
    Put32(f, kRate);
    Put32(f, kRate * 4);
    Put16(f, 4);
    Put16(f, 16);
    std::fwrite("data", 1, 4, f);
    Put32(f, dataBytes);
}

[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void Fail(Recorder& recorder, const std::string& what) {
    if (!recorder.failed) recorder.error = what;
    recorder.failed = true;
}

}  // namespace

bool WritePng(const std::string& path, const uint8_t* rgb, int32_t width, int32_t height,
              std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    // libpng's own handler would print a bare "Write Error"; the reason
    // goes into our message instead.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    errno = 0;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        const int reason = errno;
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        if (error) *error = path + ": cannot write the PNG" + (reason ? std::string(": ") + std::strerror(reason) : "");
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool ok = std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0 || !ok) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void FrameToRgb(const void* pixels, int32_t pitch, int32_t depth, uint8_t* rgb) {
    SurfaceToRgb(pixels, pitch, depth, rgb, 3);
}

bool OpenRecorder(Recorder& recorder, const std::string& dir, const std::set<int64_t>& at,
                  std::string& error) {
    recorder.dir = dir;
    recorder.at = at;
    // Like mkdir: a name that exists already is taken as it is.
    std::error_code failure;
    if (!std::filesystem::create_directory(dir, failure) && failure && !std::filesystem::exists(dir)) {
        error = dir + ": cannot create the folder: " + failure.message();
        return false;
    }
    recorder.csv = std::fopen((dir + "/frames.csv").c_str(), "w");
    recorder.wav = std::fopen((dir + "/audio.wav").c_str(), "wb");
    if (!recorder.csv || !recorder.wav) {
        error = dir + ": cannot write there: " + std::strerror(errno);
        if (recorder.csv) std::fclose(recorder.csv);
        if (recorder.wav) std::fclose(recorder.wav);
        recorder.csv = recorder.wav = nullptr;
        return false;
    }
    std::fprintf(recorder.csv, "frame,clock_ms,frame_ticks,ticks_total,position\n");
    WriteWavHeader(recorder.wav, 0);
    return true;
}

void RecordFrame(Recorder& recorder, int64_t frame, const HostFrameNote& note, const void* pixels,
                 int32_t pitch, int32_t depth) {
    if (!recorder.csv) return;
    std::fprintf(recorder.csv, "%lld,%u,%.17g,%.17g,%d\n", static_cast<long long>(frame),
                 note.clockMs, note.frameTicks, note.ticksTotal, note.position);
    // A full disk shows here first, when the buffer is written out.
    if (std::ferror(recorder.csv)) Fail(recorder, recorder.dir + "/frames.csv: " + std::strerror(errno));
    if (!recorder.at.empty() && !recorder.at.count(frame)) return;
    static std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    FrameToRgb(pixels, pitch, depth, rgb.data());
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frame));
    std::string error;
    if (!WritePng(recorder.dir + name, rgb.data(), kWidth, kHeight, &error)) Fail(recorder, error);
}

void RecordAudio(Recorder& recorder, const float* samples, uint32_t frames) {
    if (!recorder.wav) return;
    static std::vector<int16_t> pcm;
    ToPcm16(samples, static_cast<size_t>(frames) * 2, pcm);
    if (std::fwrite(pcm.data(), sizeof(int16_t), pcm.size(), recorder.wav) != pcm.size()) {
        Fail(recorder, recorder.dir + "/audio.wav: " + std::strerror(errno));
    }
    recorder.audioFrames += frames;
}

bool CloseRecorder(Recorder& recorder) {
    if (recorder.wav) {
        const uint64_t bytes = recorder.audioFrames * 4;
        if (std::fseek(recorder.wav, 0, SEEK_SET) == 0) {
            WriteWavHeader(recorder.wav, bytes > 0xFFFFFFD0u ? 0xFFFFFFD0u : static_cast<uint32_t>(bytes));
        }
        if (std::fclose(recorder.wav) != 0) Fail(recorder, recorder.dir + "/audio.wav: " + std::strerror(errno));
        recorder.wav = nullptr;
    }
    if (recorder.csv) {
        if (std::fclose(recorder.csv) != 0) Fail(recorder, recorder.dir + "/frames.csv: " + std::strerror(errno));
        recorder.csv = nullptr;
    }
    return !recorder.failed;
}
