#include <cstdio>
#include <string>

#include "assets/pictures.h"

bool LoadRaw(Image& image, const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = path + ": cannot open the file";
        return false;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        if (error) *error = path + ": cannot find the file's size";
        return false;
    }
    const int64_t count = size / 3;
    std::shared_ptr<uint32_t[]> pixels(new uint32_t[count > 0 ? count : 1]);
    // Read in blocks: a byte at a time would make start-up slow.
    unsigned char block[3 * 4096];
    int64_t done = 0;
    while (done < count) {
        const int64_t want = count - done < 4096 ? count - done : 4096;
        const size_t got = std::fread(block, 3, static_cast<size_t>(want), file);
        for (size_t i = 0; i < got; ++i) {
            pixels[done + static_cast<int64_t>(i)] =
                static_cast<uint32_t>(block[3 * i]) << 16 |
                static_cast<uint32_t>(block[3 * i + 1]) << 8 | block[3 * i + 2];
        }
        done += static_cast<int64_t>(got);
        if (got < static_cast<size_t>(want)) break;
    }
    std::fclose(file);
    if (done < count) {
        if (error) *error = path + ": read error";
        return false;
    }
    image.storage = std::move(pixels);
    image.pixels = image.storage.get();
    image.pixelCount = count;
    image.skip = 0;
    return true;
}

namespace {

struct PictureEntry {
    Image Pictures::*member;
    const char* file;
    int32_t width;
    int32_t height;
    bool drawnToScreen;
};

// In load order.
const PictureEntry kPictureTable[] = {
    {&Pictures::font, "font.Raw", 704, 26, true},
    {&Pictures::zastava, "zastava.Raw", 512, 256, false},
    {&Pictures::meta, "meta.Raw", 256, 256, false},
    {&Pictures::moldivane, "moldivane.Raw", 320, 240, true},
    {&Pictures::kesto, "kesto.Raw", 320, 240, true},
    {&Pictures::one, "one.Raw", 320, 80, true},
    {&Pictures::targets, "targets.Raw", 320, 80, true},
    {&Pictures::zemlja, "zemlja.Raw", 640, 320, true},
    {&Pictures::who, "who.Raw", 64, 240, true},
    {&Pictures::logo, "logo.Raw", 320, 240, true},
};

}  // namespace

bool LoadPictures(Pictures& pictures, const std::string& dataDir, int32_t rowPad,
                  std::string* error) {
    for (const PictureEntry& entry : kPictureTable) {
        Image& image = pictures.*entry.member;
        const std::string path = dataDir + "/bitmap/" + entry.file;
        if (!LoadRaw(image, path, error)) return false;
        const int64_t needed = int64_t{entry.width} * entry.height;
        if (image.pixelCount < needed) {
            // Drawing a short picture would read past its pixels.
            if (error) {
                *error = path + ": " + std::to_string(image.pixelCount) + " pixels, but a " +
                         std::to_string(entry.width) + "x" + std::to_string(entry.height) +
                         " picture needs " + std::to_string(needed);
            }
            image = Image{};
            return false;
        }
        image.width = entry.width;
        image.height = entry.height;
        if (entry.drawnToScreen) {
            image.targetWidth = 320;
            image.targetHeight = 240;
            image.targetRowPad = rowPad;
        }
    }
    return true;
}
