// LoadRaw over arbitrary file contents: one pixel for every three bytes,
// red, green, blue, and a remainder of one or two bytes ignored. The pixels
// read are then blitted opaque, keyed and blended at chosen places as a
// picture of a size they fill, into a target with a guard band.
#include <string>

#include "assets/image.h"
#include "effects/blit.h"
#include "fuzz_support.h"

namespace {

void BlitEverywhere(Image image, FuzzedDataProvider& in, int32_t rowPad) {
    fuzz::GuardedTarget target(320, 240, rowPad);
    image.target = target.pixels();
    image.targetWidth = 320;
    image.targetHeight = 240;
    image.targetRowPad = rowPad;
    image.key = in.ConsumeIntegral<uint32_t>() & 0xFFFFFFu;
    image.x = in.ConsumeIntegralInRange<int32_t>(-800, 800);
    image.y = in.ConsumeIntegralInRange<int32_t>(-400, 400);
    BlitOpaque(image);
    image.x = in.ConsumeIntegralInRange<int32_t>(-800, 800);
    image.y = in.ConsumeIntegralInRange<int32_t>(-400, 400);
    BlitKeyed(image);
    image.x = in.ConsumeIntegralInRange<int32_t>(-800, 800);
    image.y = in.ConsumeIntegralInRange<int32_t>(-400, 400);
    BlitBlend(image);
    target.Check("a blit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::WorkDir() + "/picture.Raw";
    fuzz::WriteFile(path, data, size);
    Image image;
    image.width = 99;  // left alone by LoadRaw
    if (!LoadRaw(image, path)) std::abort();
    if (image.pixelCount != static_cast<int64_t>(size / 3) || image.width != 99 || image.skip != 0) std::abort();
    for (size_t i = 0; i < size / 3; ++i) {
        const uint32_t expected = uint32_t{data[3 * i]} << 16 | uint32_t{data[3 * i + 1]} << 8 | data[3 * i + 2];
        if (image.pixels[i] != expected) std::abort();
    }
    const int64_t count = image.pixelCount;
    if (count == 0) return 0;
    FuzzedDataProvider in(data, size);
    image.width = in.ConsumeIntegralInRange<int32_t>(1, static_cast<int32_t>(count < 800 ? count : 800));
    image.height = static_cast<int32_t>(count / image.width);
    BlitEverywhere(image, in, in.ConsumeIntegralInRange<int32_t>(0, 64));
    return 0;
}
