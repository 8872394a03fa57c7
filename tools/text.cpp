// The scroll text of the flag scene: our own words about the show, one
// printed line per entry, each short enough for the screen at the font's
// widths.
#include <stdexcept>
#include <string>

#include "generator.h"
#include "lettering.h"

namespace gen {

namespace {

const char* const kLines[] = {
    "WELCOME TO SIXSCENE.",
    "",
    "A SHOW IN SIX SCENES,",
    "MADE BY A SMALL TEAM",
    "JUST FOR THE FUN OF IT.",
    "",
    "EVERY PIXEL YOU SEE",
    "IS COMPUTED BY OUR",
    "OWN RENDERER, ALL IN",
    "SOFTWARE: NO GRAPHICS",
    "CARD TRICKS, ONLY",
    "PLAIN ARITHMETIC INTO",
    "A 32 BIT FRAME BUFFER.",
    "",
    "THE FLAG BEHIND THIS",
    "TEXT IS A GRID OF",
    "SOME THREE THOUSAND",
    "TRIANGLES, BENT BY A",
    "SINE WAVE AND FILLED",
    "WITH A PERSPECTIVE",
    "CORRECT TEXTURE.",
    "",
    "THE MUSIC IS A",
    "TRACKER MODULE. ITS",
    "INSTRUMENTS WERE",
    "SYNTHESISED IN CODE,",
    "NOTE BY NOTE, AND THE",
    "SHOW FOLLOWS IT ROW",
    "BY ROW.",
    "",
    "GREETINGS GO OUT TO",
    "EVERY DEMO MAKER,",
    "CODER, PIXEL ARTIST",
    "AND MUSICIAN WHO",
    "EVER STAYED UP LATE",
    "TO SHOW SOMETHING",
    "NEW AT A PARTY.",
    "",
    "KEEP MAKING THINGS",
    "THAT MOVE AND SING.",
    "",
    "WHAT COMES NEXT?",
    "A SPINNING BOX,",
    "THEN A WHOLE PLANET.",
    "STAY TUNED...",
    "",
    "SIXSCENE TEAM",
    "SIGNING OFF.",
};

// Text starts at column 7; lines end by column 307 so nothing is clipped.
constexpr int kMaxLineWidth = 300;

}  // namespace

Bytes MakeScrollText() {
    std::string text;
    for (const char* line : kLines) {
        const std::string s = line;
        for (char c : s)
            if (c != ' ' && !HasGlyph(c))
                throw std::runtime_error("scroll text has a character without a glyph: " + s);
        if (TextWidth(s) > kMaxLineWidth) throw std::runtime_error("scroll text line too wide: " + s);
        text += s;
        text += '\n';
    }
    return Bytes(text.begin(), text.end());
}

}  // namespace gen
