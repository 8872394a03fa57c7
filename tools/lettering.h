#pragma once
// The show's letter shapes, drawn as round-pen strokes. The same shapes make
// the 26-pixel bitmap font (hard edges on the key colour) and the larger
// antialiased lettering of the title cards and caption bands.
#include <functional>
#include <string>
#include <vector>

#include "effects/text_writer.h"
#include "gen_util.h"

namespace gen {

struct Pt {
    double x, y;
};
using Polyline = std::vector<Pt>;

// Font layout of the text writer: 43 glyphs side by side in a 704 x 26 picture.
constexpr int kGlyphCount = 43;
constexpr int kFontWidth = 704;
constexpr int kFontHeight = 26;
using ::kBlankGlyph;
inline const int32_t* const kGlyphOffsets = glyphOffsets;

// Glyph the text writer uses for a byte (letters of either case, . , : ; - +,
// 1-9, ?; everything else is the 6-pixel blank).
using ::GlyphIndex;
int GlyphAdvance(char c);
// Pixel width of one line printed with the font.
int TextWidth(const std::string& line);
// True when the text writer has a visible glyph for c (space excluded).
bool HasGlyph(char c);

// Centre lines of glyph g in a unit box: x 0..1 left to right, y 0 (cap
// line) to 1 (base line). Empty for the blank.
std::vector<Polyline> GlyphStrokes(int glyph);

// What a fill function learns about one sample inside a stroke.
struct StrokeSample {
    double distance;  // from the stroke's centre line, pixels
    double radius;    // core radius, pixels
    double nx, ny;    // unit vector from the centre line toward the sample
    double fy;        // 0 at the cap line, 1 at the base line
    double fx;        // 0 at the left end of the text, 1 at the right end
};

using StrokeFill = std::function<Rgb(const StrokeSample&)>;

struct LetterStyle {
    double capHeight = 19;    // centre-line height from cap line to base line
    double advanceScale = 1;  // glyph advance = font advance * this
    double radius = 1.3;      // pen core radius
    double outline = 1.0;     // dark rim around the core
    Rgb outlineColour{30, 14, 8};
    StrokeFill fill;
    int supersample = 4;  // 1 draws hard-edged pixels (the bitmap font)
    // Advances (in font pixels) of the space and of the narrow J; the bitmap
    // font keeps its own 6, larger lettering may open them up.
    double spaceAdvance = 6;
    double jAdvance = 6;
    // Soft halo or drop shadow drawn under the letters (alpha 0 = none).
    double haloDx = 0, haloDy = 0, haloSize = 0, haloAlpha = 0;
    Rgb haloColour{};
};

// A shaded round tube: light from the upper left, colour graded top to bottom.
StrokeFill TubeFill(Rgb top, Rgb bottom, double specular);

double LetteringWidth(const std::string& text, const LetterStyle& style);
// Draws one line; (x, y) is the left end of the cell row and the top of the
// line box (the cap centre line lies radius + outline below y).
void DrawLettering(Canvas& canvas, const std::string& text, double x, double y, const LetterStyle& style);
// The same, centred horizontally on cx.
void DrawLetteringCentred(Canvas& canvas, const std::string& text, double cx, double y,
                          const LetterStyle& style);

}  // namespace gen
