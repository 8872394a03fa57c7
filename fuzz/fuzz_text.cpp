// LoadText over arbitrary file contents: the text read is the file with
// every carriage return and line feed pair turned into a line feed, and
// nothing else changed. The text then goes through the text writer.
#include "assets/text.h"
#include "effects/text_writer.h"
#include "fuzz_support.h"

namespace {

Image LoadFont() {
    Image font;
    if (!LoadRaw(font, fuzz::ShowDataPath("bitmap/font.Raw")) || font.pixelCount < 704 * 26) {
        std::fprintf(stderr, "no generated font picture; using a made-up one\n");
        font = fuzz::MakePicture(704, 26, 7);
    }
    font.width = 704;
    font.height = 26;
    return font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::WorkDir() + "/text.dat";
    static Image font = LoadFont();
    fuzz::WriteFile(path, data, size);
    std::string text = "left over";
    if (!LoadText(text, path)) std::abort();
    std::string expected;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') continue;
        expected.push_back(static_cast<char>(data[i]));
    }
    if (text != expected) {
        std::fprintf(stderr, "LoadText read %zu bytes, expected %zu\n", text.size(), expected.size());
        std::abort();
    }

    // Print it where the show does: from the bottom edge, and a few lines up.
    fuzz::GuardedTarget target(320, 240, 0);
    font.target = target.pixels();
    font.targetWidth = 320;
    font.targetHeight = 240;
    font.targetRowPad = 0;
    TextWriter writer;
    writer.text = std::move(text);
    writer.font = &font;
    writer.x = 7.0;
    writer.key = 0xFF0000;
    for (double y : {240.0, 100.5, -26.0 * 3 + 0.25}) {
        writer.y = y;
        PrintText(writer);
    }
    target.Check("PrintText");
    return 0;
}
