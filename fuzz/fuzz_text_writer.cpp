// The text writer over arbitrary bytes, with the real 704 x 26 font picture,
// at any x and y (not a number, infinite and huge included) and into a
// target with any row pad. Glyphs are clipped by the blits: nothing may be
// written outside the target or read outside the font.
#include "effects/text_writer.h"
#include "fuzz_support.h"

namespace {

Image LoadFont() {
    Image font;
    if (!LoadRaw(font, fuzz::ShowDataPath("bitmap/font.Raw")) || font.pixelCount < 704 * 26) {
        std::fprintf(stderr, "no generated font picture; using a made-up one\n");
        font = fuzz::MakePicture(704, 26, 7);
    }
    // Exactly the picture's pixels, so that a read past them is caught.
    Image exact = fuzz::MakePicture(704, 26, 1);
    std::copy(font.pixels, font.pixels + 704 * 26, exact.pixels);
    return exact;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Image font = LoadFont();
    FuzzedDataProvider in(data, size);
    const int32_t rowPad = in.ConsumeIntegralInRange<int32_t>(0, 64);
    TextWriter writer;
    writer.x = fuzz::Coordinate(in, 320);
    writer.y = fuzz::Coordinate(in, 240);
    writer.key = in.ConsumeBool() ? 0xFF0000u : in.ConsumeIntegral<uint32_t>();
    writer.text = in.ConsumeRemainingBytesAsString();
    fuzz::GuardedTarget target(320, 240, rowPad);
    font.target = target.pixels();
    font.targetWidth = 320;
    font.targetHeight = 240;
    font.targetRowPad = rowPad;
    writer.font = &font;
    PrintText(writer);
    target.Check("PrintText");
    return 0;
}
