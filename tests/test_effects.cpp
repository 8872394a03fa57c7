// Picture blits and the text writer.
#include <gtest/gtest.h>

#include <vector>

#include "effects/blit.h"
#include "effects/text_writer.h"

namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;

// A target with a guard band of rows above and below and a row pad, so that
// any write outside the drawable area shows.
struct Target {
    int32_t width, height, rowPad;
    std::vector<uint32_t> memory;
    Target(int32_t w, int32_t h, int32_t pad) : width(w), height(h), rowPad(pad) {
        memory.assign(static_cast<size_t>(w + pad) * (h + 4), kGuard);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) at(x, y) = 0;
    }
    uint32_t* pixels() { return memory.data() + 2 * (width + rowPad); }
    uint32_t& at(int32_t x, int32_t y) { return memory[(y + 2) * (width + rowPad) + x]; }
    void Aim(Image& image) {
        image.target = pixels();
        image.targetWidth = width;
        image.targetHeight = height;
        image.targetRowPad = rowPad;
    }
    // Everything outside the drawable area is untouched.
    bool GuardIntact() const {
        for (size_t i = 0; i < memory.size(); ++i) {
            const int64_t row = static_cast<int64_t>(i) / (width + rowPad) - 2;
            const int64_t column = static_cast<int64_t>(i) % (width + rowPad);
            const bool inside = row >= 0 && row < height && column < width;
            if (!inside && memory[i] != kGuard) return false;
        }
        return true;
    }
};

// A picture whose pixel (x, y) is distinct everywhere: value 1 + x + 1000 y.
Image NumberedPicture(int32_t w, int32_t h, std::vector<uint32_t>& store) {
    store.resize(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) store[y * w + x] = 1 + x + 1000 * y;
    Image image;
    image.pixels = store.data();
    image.width = w;
    image.height = h;
    return image;
}

TEST(Blit, OpaqueCopiesEveryPixelOnceAtTheOrigin) {
    Target target(320, 240, 0);
    std::vector<uint32_t> store;
    Image image = NumberedPicture(320, 240, store);
    target.Aim(image);
    BlitOpaque(image);
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) ASSERT_EQ(target.at(x, y), 1u + x + 1000 * y);
    EXPECT_TRUE(target.GuardIntact());
}

TEST(Blit, ClipsAtEveryEdgeAndHonoursTheRowPad) {
    std::vector<uint32_t> store;
    struct Case {
        int32_t x, y;
    };
    // Above, left, right, below, and corners beyond each edge.
    const Case cases[] = {{0, -10}, {-60, 5}, {300, 0}, {10, 200}, {-60, -30}, {290, 220}, {-63, 239}};
    for (const Case& c : cases) {
        Target target(320, 240, 64);
        Image image = NumberedPicture(64, 48, store);
        image.x = c.x;
        image.y = c.y;
        target.Aim(image);
        BlitOpaque(image);
        for (int32_t y = 0; y < 240; ++y) {
            for (int32_t x = 0; x < 320; ++x) {
                const int32_t sx = x - c.x, sy = y - c.y;
                const uint32_t expected = (sx >= 0 && sx < 64 && sy >= 0 && sy < 48) ? 1 + sx + 1000 * sy : 0;
                ASSERT_EQ(target.at(x, y), expected) << "picture at " << c.x << "," << c.y;
            }
        }
        EXPECT_TRUE(target.GuardIntact());
    }
}

TEST(Blit, PicturesWhollyOffTheTargetWriteNothing) {
    std::vector<uint32_t> store;
    const int32_t places[][2] = {{320, 0}, {0, 240}, {-64, 0}, {0, -48}, {INT32_MAX, 0}, {0, INT32_MIN},
                                 {INT32_MIN, INT32_MAX}};
    for (const auto& p : places) {
        Target target(320, 240, 3);
        Image image = NumberedPicture(64, 48, store);
        image.x = p[0];
        image.y = p[1];
        target.Aim(image);
        BlitOpaque(image);
        BlitBlend(image);
        for (int32_t y = 0; y < 240; ++y)
            for (int32_t x = 0; x < 320; ++x) ASSERT_EQ(target.at(x, y), 0u);
        EXPECT_TRUE(target.GuardIntact());
    }
}

TEST(Blit, SkipStepsOverSourcePixels) {
    // A 2x2 window cut out of a 5-wide picture.
    std::vector<uint32_t> store;
    Image image = NumberedPicture(5, 3, store);
    image.pixels += 1;
    image.width = 2;
    image.height = 2;
    image.skip = 3;
    Target target(4, 4, 0);
    target.Aim(image);
    BlitOpaque(image);
    EXPECT_EQ(target.at(0, 0), 2u);
    EXPECT_EQ(target.at(1, 0), 3u);
    EXPECT_EQ(target.at(0, 1), 1002u);
    EXPECT_EQ(target.at(1, 1), 1003u);
    EXPECT_EQ(target.at(2, 0), 0u);
}

TEST(Blit, KeyedAndBlendedLeaveKeyPixelsAlone) {
    std::vector<uint32_t> store = {0x000000, 0xFFFFFF, 0x102030, 0xFF0000};
    Image image;
    image.pixels = store.data();
    image.width = 4;
    image.height = 1;
    Target keyed(4, 1, 0), blended(4, 1, 0);
    for (int x = 0; x < 4; ++x) keyed.at(x, 0) = blended.at(x, 0) = 0x0A0B0C;
    keyed.Aim(image);
    BlitKeyed(image);
    EXPECT_EQ(keyed.at(0, 0), 0x0A0B0Cu);  // black is the key
    EXPECT_EQ(keyed.at(1, 0), 0xFFFFFFu);
    EXPECT_EQ(keyed.at(2, 0), 0x102030u);

    blended.Aim(image);
    BlitBlend(image);
    EXPECT_EQ(blended.at(0, 0), 0x0A0B0Cu);
    // Each channel is the floor of the average.
    EXPECT_EQ(blended.at(1, 0), ((0xFF + 0x0A) / 2) << 16 | ((0xFF + 0x0B) / 2) << 8 | (0xFF + 0x0C) / 2);
    EXPECT_EQ(blended.at(2, 0), ((0x10 + 0x0A) / 2) << 16 | ((0x20 + 0x0B) / 2) << 8 | (0x30 + 0x0C) / 2);
    EXPECT_EQ(blended.at(3, 0), ((0xFF + 0x0A) / 2) << 16 | (0x0B / 2) << 8 | (0x0C / 2));

    Target black(1, 1, 0);
    std::vector<uint32_t> white = {0xFFFFFF};
    image.pixels = white.data();
    image.width = 1;
    black.Aim(image);
    BlitBlend(image);
    EXPECT_EQ(black.at(0, 0), 0x7F7F7Fu);
}

TEST(TextWriter, GlyphTableCoversEveryCharacter) {
    EXPECT_EQ(GlyphIndex('a'), 0);
    EXPECT_EQ(GlyphIndex('Z'), 25);
    EXPECT_EQ(GlyphIndex('1'), 32);
    EXPECT_EQ(GlyphIndex('9'), 40);
    EXPECT_EQ(GlyphIndex('0'), kBlankGlyph);
    EXPECT_EQ(GlyphIndex(' '), kBlankGlyph);
    EXPECT_EQ(GlyphIndex('?'), 42);
    EXPECT_EQ(GlyphIndex('+'), 31);
    EXPECT_EQ(GlyphIndex(static_cast<char>(0xC8)), kBlankGlyph);
    // Widths of the few letters that are not 15 wide.
    auto width = [](char c) { return glyphOffsets[GlyphIndex(c) + 1] - glyphOffsets[GlyphIndex(c)]; };
    EXPECT_EQ(width('I'), 6);
    EXPECT_EQ(width('M'), 16);
    EXPECT_EQ(width('V'), 14);
    EXPECT_EQ(width('1'), 7);
    EXPECT_EQ(width('.'), 5);
    EXPECT_EQ(width(' '), 6);
    EXPECT_EQ(glyphOffsets[43], 563);
}

// A font whose glyph g is filled with the value g + 1 on a key background,
// except for its first column, which is key: so each glyph's place shows.
struct Font {
    std::vector<uint32_t> store;
    Image image;
    Font() {
        store.assign(704 * 26, 0xFF0000);
        for (int g = 0; g < 43; ++g)
            for (int y = 0; y < 26; ++y)
                for (int x = glyphOffsets[g] + 1; x < glyphOffsets[g + 1]; ++x) store[y * 704 + x] = g + 1;
        image.pixels = store.data();
        image.width = 704;
        image.height = 26;
    }
};

struct Printed {
    Target target{320, 240, 5};
    Font font;
    TextWriter writer;
    Printed(const char* text, double x, double y) {
        font.image.targetRowPad = 5;
        target.Aim(font.image);
        writer.text = text;
        writer.font = &font.image;
        writer.x = x;
        writer.y = y;
        writer.key = 0xFF0000;
        PrintText(writer);
    }
};

TEST(TextWriter, PlacesProportionalGlyphsAndKeepsTheKeyTransparent) {
    Printed p("Hi?", 7, 0);
    // H covers 7..21 (its first column is key, so 8..21 show), I 22..27, ? 28..41.
    EXPECT_EQ(p.target.at(7, 0), 0u);
    EXPECT_EQ(p.target.at(8, 0), 8u);
    EXPECT_EQ(p.target.at(21, 25), 8u);
    EXPECT_EQ(p.target.at(22, 3), 0u);
    EXPECT_EQ(p.target.at(23, 3), 9u);
    EXPECT_EQ(p.target.at(27, 3), 9u);
    EXPECT_EQ(p.target.at(29, 3), 43u);
    EXPECT_EQ(p.target.at(41, 3), 43u);
    EXPECT_EQ(p.target.at(42, 3), 0u);
    EXPECT_EQ(p.target.at(10, 26), 0u);
    EXPECT_TRUE(p.target.GuardIntact());
}

TEST(TextWriter, LinesStepDownAndStopBelowTheTarget) {
    Printed p("A0B\nC", 0, -30);
    // Line 1 is at rows -30..-5: invisible. Line 2 starts at row -4.
    EXPECT_EQ(p.target.at(5, 0), 3u);
    EXPECT_EQ(p.target.at(5, 21), 3u);
    EXPECT_EQ(p.target.at(5, 22), 0u);

    Printed gap("A0B", 0, 10);
    EXPECT_EQ(gap.target.at(14, 10), 1u);
    // The digit 0 prints the 6-pixel blank glyph at 15..20.
    EXPECT_EQ(gap.target.at(15, 10), 0u);
    EXPECT_EQ(gap.target.at(20, 10), 42u);
    EXPECT_EQ(gap.target.at(21, 10), 0u);
    EXPECT_EQ(gap.target.at(22, 10), 2u);

    Printed below("ABC\nDEF", 0, 240);
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) ASSERT_EQ(below.target.at(x, y), 0u);

    Printed fraction("A", 0, 239.9);
    EXPECT_EQ(fraction.target.at(5, 239), 1u);
    EXPECT_EQ(fraction.target.at(5, 238), 0u);
    EXPECT_TRUE(fraction.target.GuardIntact());
    Printed negative("A", 0, -0.5);
    EXPECT_EQ(negative.target.at(5, 0), 1u);
    EXPECT_EQ(negative.target.at(5, 25), 1u);
    EXPECT_EQ(negative.target.at(5, 26), 0u);
}

TEST(TextWriter, LongLinesAndArbitraryBytesStayInsideTheTarget) {
    std::string text(5000, 'W');
    text += "\n\xff\x80\t\r";
    for (int i = 0; i < 2000; ++i) text += static_cast<char>(i * 37 + 1);
    Printed p(text.c_str(), 310, 200);
    EXPECT_TRUE(p.target.GuardIntact());
    Printed far(text.c_str(), -1e300, 1e300);
    EXPECT_TRUE(far.target.GuardIntact());
    Printed nan(text.c_str(), 0.0 / 0.0, 0.0 / 0.0);
    EXPECT_TRUE(nan.target.GuardIntact());
}

}  // namespace
