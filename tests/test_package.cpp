// What the Debian package installs besides the program (scripts/test-package
// installs it for real): the desktop icon made by the data generator.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

namespace {

TEST(Package, TheIconIsARoundedTileThatLibpngReads) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::string path = std::string(SIXSCENE_BUILD_DIR) + "/icons/sixscene.png";
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    EXPECT_EQ(image.width, 128u);
    EXPECT_EQ(image.height, 128u);
    EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_ALPHA);
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    // Checks every chunk's CRC and the compressed stream's checksum.
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) << image.message;
    const auto alpha = [&](int x, int y) { return rgba[(static_cast<size_t>(y) * 128 + x) * 4 + 3]; };
    // Rounded corners are see-through; the tile is opaque to its edges,
    // two pixels in.
    for (const int c : {0, 127}) {
        EXPECT_EQ(alpha(c, c), 0);
        EXPECT_EQ(alpha(c, 127 - c), 0);
    }
    for (const int c : {3, 124}) {
        EXPECT_EQ(alpha(64, c), 255);
        EXPECT_EQ(alpha(c, 64), 255);
    }
    EXPECT_EQ(alpha(64, 64), 255);
    // Not one flat colour: the ring and the balls are on it.
    int colours = 0;
    for (size_t i = 4; i < rgba.size(); i += 4) colours += rgba[i] != rgba[i - 4] || rgba[i + 1] != rgba[i - 3];
    EXPECT_GT(colours, 1000);
}

}  // namespace
