// LoadPictures over arbitrary file contents: the first byte picks one of
// the ten pictures of an otherwise good set, the rest is that file. A file
// too short for its picture must be refused, with its name in the error;
// an accepted set must have every pixel each size needs, and every picture
// is then blitted where the scenes could put it.
#include <string>

#include "assets/pictures.h"
#include "effects/blit.h"
#include "fuzz_support.h"

namespace {

struct Entry {
    const char* file;
    Image Pictures::*member;
    int32_t width, height;
};

const Entry kEntries[] = {
    {"font.Raw", &Pictures::font, 704, 26},         {"zastava.Raw", &Pictures::zastava, 512, 256},
    {"meta.Raw", &Pictures::meta, 256, 256},        {"moldivane.Raw", &Pictures::moldivane, 320, 240},
    {"kesto.Raw", &Pictures::kesto, 320, 240},      {"one.Raw", &Pictures::one, 320, 80},
    {"targets.Raw", &Pictures::targets, 320, 80},   {"zemlja.Raw", &Pictures::zemlja, 640, 320},
    {"who.Raw", &Pictures::who, 64, 240},           {"logo.Raw", &Pictures::logo, 320, 240},
};

// The good set: the generated pictures, or black ones of the right sizes.
std::vector<std::vector<uint8_t>> GoodSet(const std::string& dir) {
    std::vector<std::vector<uint8_t>> set;
    for (const Entry& e : kEntries) {
        std::vector<uint8_t> bytes = fuzz::ReadFile(fuzz::ShowDataPath(std::string("bitmap/") + e.file));
        const size_t needed = static_cast<size_t>(e.width) * e.height * 3;
        if (bytes.size() < needed) bytes.assign(needed, 0);
        fuzz::WriteFile(dir + "/bitmap/" + e.file, bytes.data(), bytes.size());
        set.push_back(std::move(bytes));
    }
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = fuzz::WorkDir() + "/data";
    static const std::vector<std::vector<uint8_t>> good = [] {
        if (std::system(("mkdir -p '" + dir + "/bitmap'").c_str()) != 0) std::abort();
        return GoodSet(dir);
    }();
    if (size == 0) return 0;
    const size_t k = data[0] % 10;
    ++data, --size;

    const std::string path = dir + "/bitmap/" + kEntries[k].file;
    fuzz::WriteFile(path, data, size);
    Pictures pictures;
    std::string error;
    const bool loaded = LoadPictures(pictures, dir, 16, &error);
    const bool bigEnough = size / 3 >= static_cast<size_t>(kEntries[k].width) * kEntries[k].height;
    if (loaded != bigEnough) std::abort();
    if (!loaded && error.find(kEntries[k].file) == std::string::npos) std::abort();
    if (loaded) {
        FuzzedDataProvider in(data, size < 64 ? size : 64);
        fuzz::GuardedTarget target(320, 240, 16);
        for (const Entry& e : kEntries) {
            Image image = pictures.*e.member;
            if (image.width != e.width || image.height != e.height ||
                image.pixelCount < int64_t{e.width} * e.height) {
                std::abort();
            }
            image.target = target.pixels();
            image.targetWidth = 320;
            image.targetHeight = 240;
            image.targetRowPad = 16;
            image.x = in.ConsumeIntegralInRange<int32_t>(-800, 800);
            image.y = in.ConsumeIntegralInRange<int32_t>(-400, 400);
            BlitBlend(image);
        }
        target.Check("BlitBlend");
    }
    fuzz::WriteFile(path, good[k].data(), good[k].size());
    return 0;
}
