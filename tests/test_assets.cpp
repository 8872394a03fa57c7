// Reading pictures and the scroll text.
#include <gtest/gtest.h>

#include <filesystem>

#include "assets/pictures.h"
#include "assets/text.h"
#include "support/temp_dir.h"

namespace {

TEST(LoadRaw, ReadsRgbTriplesIntoWordsAndIgnoresATrailingRemainder) {
    TempDir dir;
    dir.Write("one.Raw", std::string("\x11\x22\x33", 3));
    Image image;
    image.x = 5;
    image.skip = 9;
    ASSERT_TRUE(LoadRaw(image, dir / "one.Raw"));
    EXPECT_EQ(image.pixels[0], 1122867u);
    EXPECT_EQ(image.pixelCount, 1);
    EXPECT_EQ(image.skip, 0);
    EXPECT_EQ(image.x, 5);  // other fields stay

    std::string bytes(230401, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    dir.Write("big.Raw", bytes);
    ASSERT_TRUE(LoadRaw(image, dir / "big.Raw"));
    ASSERT_EQ(image.pixelCount, 76800);
    const size_t last = 76799;
    const uint32_t expected = static_cast<uint8_t>(bytes[3 * last]) << 16 |
                              static_cast<uint8_t>(bytes[3 * last + 1]) << 8 |
                              static_cast<uint8_t>(bytes[3 * last + 2]);
    EXPECT_EQ(image.pixels[last], expected);

    std::string error;
    EXPECT_FALSE(LoadRaw(image, dir / "missing.Raw", &error));
    EXPECT_NE(error.find("missing.Raw"), std::string::npos);
}

// A data folder with every picture present at its size.
void WriteAllPictures(const TempDir& dir) {
    const std::pair<const char*, int> files[] = {
        {"font.Raw", 704 * 26},      {"zastava.Raw", 512 * 256}, {"meta.Raw", 256 * 256},
        {"moldivane.Raw", 320 * 240}, {"kesto.Raw", 320 * 240},  {"one.Raw", 320 * 80},
        {"targets.Raw", 320 * 80},   {"zemlja.Raw", 640 * 320},  {"who.Raw", 64 * 240},
        {"logo.Raw", 320 * 240}};
    for (const auto& [name, pixels] : files) dir.Write(std::string("bitmap/") + name, std::string(3 * pixels, '\x40'));
}

TEST(LoadPictures, LoadsTheSetWithSizesAndTargets) {
    TempDir dir;
    WriteAllPictures(dir);
    Pictures pictures;
    ASSERT_TRUE(LoadPictures(pictures, dir.path, 64));
    EXPECT_EQ(pictures.zemlja.width, 640);
    EXPECT_EQ(pictures.zemlja.height, 320);
    EXPECT_EQ(pictures.who.width, 64);
    EXPECT_EQ(pictures.logo.targetRowPad, 64);
    EXPECT_EQ(pictures.font.targetWidth, 320);
    // Textures of the objects are never drawn to the screen.
    EXPECT_EQ(pictures.meta.targetWidth, 0);
    EXPECT_EQ(pictures.moldivane.pixels[320 * 240 - 1], 0x404040u);
}

TEST(LoadPictures, StopsAtTheFirstMissingOrShortPicture) {
    TempDir dir;
    WriteAllPictures(dir);
    std::filesystem::remove(dir / "bitmap/meta.Raw");
    // A later picture that would fail differently shows whether loading stopped.
    std::filesystem::remove(dir / "bitmap/moldivane.Raw");
    Pictures pictures;
    std::string error;
    EXPECT_FALSE(LoadPictures(pictures, dir.path, 0, &error));
    EXPECT_NE(error.find("meta.Raw"), std::string::npos);
    EXPECT_EQ(pictures.moldivane.pixels, nullptr);

    TempDir shortDir;
    WriteAllPictures(shortDir);
    shortDir.Write("bitmap/kesto.Raw", std::string(3 * 320 * 239 + 2, 'x'));
    Pictures shortPictures;
    EXPECT_FALSE(LoadPictures(shortPictures, shortDir.path, 0, &error));
    EXPECT_NE(error.find("kesto.Raw"), std::string::npos);
    EXPECT_NE(error.find("76480 pixels"), std::string::npos) << error;
    EXPECT_EQ(shortPictures.kesto.pixels, nullptr);
}

TEST(LoadText, ReadsCrLfAsLfAndAMissingFileAsEmpty) {
    TempDir dir;
    dir.Write("crlf.dat", "AB\r\nCD\r\nEF\r\n");
    std::string text = "old";
    ASSERT_TRUE(LoadText(text, dir / "crlf.dat"));
    EXPECT_EQ(text, "AB\nCD\nEF\n");

    dir.Write("mixed.dat", "A\rB\r\r\nC\r");
    ASSERT_TRUE(LoadText(text, dir / "mixed.dat"));
    EXPECT_EQ(text, "A\rB\r\nC\r");

    dir.Write("empty.dat", "");
    ASSERT_TRUE(LoadText(text, dir / "empty.dat"));
    EXPECT_EQ(text, "");

    text = "old";
    EXPECT_FALSE(LoadText(text, dir / "missing.dat"));
    EXPECT_EQ(text, "");
}

}  // namespace
