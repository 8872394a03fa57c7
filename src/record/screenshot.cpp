#include "record/screenshot.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "record/recorder.h"

namespace {

bool Save(const std::string& folder, const void* pixels, int32_t pitch, int32_t depth, std::string& path,
          std::string& error) {
    std::error_code failure;
    if (!std::filesystem::is_directory(folder, failure)) {
        error = folder + ": not a folder";
        return false;
    }
    for (int number = 1; number <= 9999; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "/sixscene-%04d.png", number);
        path = folder + name;
        if (std::filesystem::exists(path, failure)) continue;
        std::vector<uint8_t> rgb(320 * 240 * 3);
        FrameToRgb(pixels, pitch, depth, rgb.data());
        return WritePng(path, rgb.data(), 320, 240, &error);
    }
    error = folder + ": sixscene-0001.png to sixscene-9999.png are all taken";
    return false;
}

}  // namespace

bool SaveScreenshot(const std::string& dir, const void* pixels, int32_t pitch, int32_t depth) {
    std::string path, error;
    if (!Save(dir.empty() ? "." : dir, pixels, pitch, depth, path, error)) {
        std::fprintf(stderr, "sixscene: cannot save the picture: %s\n", error.c_str());
        return false;
    }
    std::fprintf(stderr, "sixscene: saved the picture as %s\n", path.c_str());
    return true;
}
