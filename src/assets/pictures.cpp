#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/pictures.h"

namespace {

// Far beyond any picture of the show (the largest has 204,800 pixels); a file
// past it is not a picture, and reading it whole could exhaust memory.
constexpr size_t kMaxRawPixels = size_t{1} << 26;

}  // namespace

bool LoadRaw(Image& image, const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = path + ": cannot open the file";
        return false;
    }
    // Read to the end rather than trusting a size query: for a folder it can
    // be a huge number, which would then be allocated as is. The query only
    // sizes the first allocation.
    std::vector<uint32_t> read;
    long hint = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) hint = std::ftell(file);
    std::rewind(file);
    if (hint > 0 && static_cast<unsigned long>(hint) / 3 <= kMaxRawPixels) read.reserve(static_cast<size_t>(hint) / 3);
    unsigned char block[3 * 4096];
    size_t held = 0;  // bytes of an incomplete pixel carried to the next block
    bool tooLarge = false;
    size_t got;
    while ((got = std::fread(block + held, 1, sizeof block - held, file)) > 0) {
        held += got;
        const size_t whole = held / 3;
        const size_t done = read.size();
        if (done + whole > kMaxRawPixels) {
            tooLarge = true;
            break;
        }
        read.resize(done + whole);
        uint32_t* out = read.data() + done;
        for (size_t i = 0; i < whole; ++i) {
            out[i] = static_cast<uint32_t>(block[3 * i]) << 16 | static_cast<uint32_t>(block[3 * i + 1]) << 8 |
                     block[3 * i + 2];
        }
        for (size_t i = 0; i < held - 3 * whole; ++i) block[i] = block[3 * whole + i];
        held -= 3 * whole;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || tooLarge) {
        if (error) *error = path + (failed ? ": cannot read the file" : ": too large for a picture");
        return false;
    }
    const int64_t count = static_cast<int64_t>(read.size());
    std::shared_ptr<uint32_t[]> pixels(new uint32_t[count > 0 ? count : 1]);
    std::copy(read.begin(), read.end(), pixels.get());
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
