#pragma once
// A 32-bit picture (0x00RRGGBB) with its placement, colour key and the
// description of the target it is drawn into.
#include <cstdint>
#include <memory>
#include <string>

struct Image {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t skip = 0;
    uint32_t key = 0;
    uint32_t* target = nullptr;
    uint16_t* target16 = nullptr;
    int32_t targetWidth = 0;
    int32_t targetHeight = 0;
    int32_t targetRowPad = 0;
    // Owns the pixel block that LoadRaw allocated; `pixels` points into it.
    // Shared so that a copied descriptor never outlives its pixels.
    std::shared_ptr<uint32_t[]> storage;
    // Pixels actually present in `storage` (file size / 3).
    int64_t pixelCount = 0;
};

// Reads a headerless 24-bit RGB file into image.pixels; sets skip = 0 and
// leaves every other field unchanged. On failure `error` (if given) says why.
bool LoadRaw(Image& image, const std::string& path, std::string* error = nullptr);
