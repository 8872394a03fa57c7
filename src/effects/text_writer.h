#pragma once
// Prints a multi-line text in the proportional bitmap font.
#include <cstdint>
#include <string>

#include "assets/image.h"

// Column where each of the 43 glyphs starts in the font picture, and the end
// of the last one.
extern const int32_t glyphOffsets[44];
constexpr int32_t kBlankGlyph = 41;

int32_t GlyphIndex(char c);

struct TextWriter {
    std::string text;
    const int32_t* glyphTable = glyphOffsets;
    const Image* font = nullptr;
    double y = 0;
    double x = 0;
    uint32_t key = 0;
    Image glyph;
};

// Draws the whole text once into the font picture's target.
void PrintText(TextWriter& writer);
