// The text writer's bitmap font: 43 glyphs at fixed offsets in a 704 x 26
// picture on the key colour 0xFF0000. Edges are hard (no blending with the
// key, which would leave red fringes), shaded as a lit tube with a dark rim
// so the text reads over the waving flag.
#include <stdexcept>

#include "generator.h"
#include "lettering.h"

namespace gen {

namespace {

// Every glyph in index order; the space is glyph 41, the blank.
const char kGlyphOrder[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ.,:;-+123456789 ?";
const Rgb kKey{255, 0, 0};

}  // namespace

Bytes MakeFont() {
    Canvas canvas(kFontWidth, kFontHeight, kKey);
    LetterStyle style;
    style.capHeight = 19;
    style.radius = 1.3;
    style.outline = 1.0;
    style.outlineColour = {24, 16, 40};
    style.fill = TubeFill({255, 250, 214}, {232, 128, 40}, 0.9);
    style.supersample = 1;
    // Line box starts 1.2 rows down: ink covers rows 1 to 24 of the 26.
    DrawLettering(canvas, kGlyphOrder, 0, 1.2, style);

    Bytes raw = CanvasToRaw(canvas);
    // Ink must never hit the key exactly, or it would turn transparent.
    for (int x = 0; x < kGlyphOffsets[kGlyphCount]; ++x)
        for (int y = 0; y < kFontHeight; ++y) {
            const Rgb& p = canvas.at(x, y);
            const bool background = p.r == kKey.r && p.g == kKey.g && p.b == kKey.b;
            uint8_t* px = &raw[(size_t(y) * kFontWidth + x) * 3];
            if (!background && px[0] == 255 && px[1] == 0 && px[2] == 0) px[1] = 1;
        }
    return raw;
}

}  // namespace gen
