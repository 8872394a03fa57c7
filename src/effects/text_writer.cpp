#include "effects/text_writer.h"

#include <cmath>

#include "effects/blit.h"

const int32_t glyphOffsets[44] = {0,   15,  30,  45,  60,  75,  90,  105, 120, 126, 132,
                                  147, 162, 178, 193, 208, 223, 238, 253, 268, 284, 299,
                                  313, 329, 344, 359, 374, 379, 384, 389, 394, 407, 420,
                                  427, 441, 455, 470, 484, 499, 513, 528, 543, 549, 563};

int32_t GlyphIndex(char c) {
    // Characters are signed: bytes 128 to 255 are negative and print blank.
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '1' && c <= '9') return c - 17;
    switch (c) {
        case '.': return 26;
        case ',': return 27;
        case ':': return 28;
        case ';': return 29;
        case '-': return 30;
        case '+': return 31;
        case '?': return 42;
        default: return kBlankGlyph;
    }
}

namespace {

// Truncates toward zero, saturating so that no placement is undefined.
int64_t TruncateToRow(double value) {
    if (!(value > -1e15)) return value != value ? 0 : INT64_MIN / 2;
    if (value > 1e15) return INT64_MAX / 2;
    return static_cast<int64_t>(value);
}

}  // namespace

void PrintText(TextWriter& writer) {
    const Image* font = writer.font;
    if (!font || !font->pixels) return;
    Image& glyph = writer.glyph;
    glyph.target = font->target;
    glyph.targetWidth = font->targetWidth;
    glyph.targetHeight = font->targetHeight;
    glyph.targetRowPad = font->targetRowPad;
    glyph.key = writer.key;
    glyph.height = font->height;

    const int32_t* table = writer.glyphTable ? writer.glyphTable : glyphOffsets;
    const char* p = writer.text.c_str();
    int64_t row = TruncateToRow(writer.y);
    const int64_t startColumn = TruncateToRow(writer.x);
    while (row < font->targetHeight && *p) {
        int64_t column = startColumn;
        for (;; ++p) {
            const char c = *p;
            if (c == '\n') {
                row += font->height;
                ++p;
                break;
            }
            if (c == 0) return;
            // Past the right edge or wholly above or left of the target the
            // blit would draw nothing; skip it but keep walking the line.
            const int32_t g = GlyphIndex(c);
            const int32_t width = table[g + 1] - table[g];
            if (column < font->targetWidth && row > -font->height && column + width > 0) {
                glyph.pixels = font->pixels + table[g];
                glyph.width = width;
                glyph.skip = font->width - width;
                glyph.x = static_cast<int32_t>(column);
                glyph.y = static_cast<int32_t>(row);
                BlitKeyed(glyph);
            }
            column += width;
        }
    }
}
