// The song, written row by row. One row is an eighth note at 146 BPM; the
// sections end on the rows where the show changes scene:
//   intro 0-65, second part 66-255, break 256-279 (the red ball),
//   main part 280-876 (flag, text, box), globe 877-1069 with its climax at
//   1053-1057, closing logo 1070-1199. The show stops at row 1200, so the
//   song resolves before it: the last phrase lands on A minor at row 1182
//   and dies away by row 1199; the rows from 1200 are silent.
#include <array>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "music.h"

namespace gen {

namespace {

constexpr int kChannels = 10;
enum Channel { chKick, chSnare, chHat, chBass, chPad1, chPad2, chPad3, chLead, chArp, chFx };
constexpr int kBar = 8;
constexpr int kSongRows = 1212;

// Pattern lengths, in order; their boundaries fall on the scene changes.
const int kPatternRows[] = {
    64, 2,                                   // intro
    64, 64, 62,                              // second part
    24,                                      // break
    64, 64, 64, 64, 64, 64, 64, 64, 64, 21,  // main part
    64, 64, 48, 5,  12,                      // globe, climax, after it
    64, 64, 2,                               // logo
    12,                                      // silence after the show
};

constexpr uint8_t kEffectExtended = 0x0E;
constexpr uint8_t kEffectPanning = 0x08;
constexpr uint8_t kRetrigHalf = 0x96;     // second hit half a row later
constexpr uint8_t kRetrigQuarter = 0x93;  // four hits a row

// A note name such as "C5", "F#4" or "Bb3" to an XM note number.
int NoteNumber(const std::string& name) {
    static const int base[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') throw std::runtime_error("bad note " + name);
    int pc = base[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') ++pc, ++i;
    else if (name[i] == 'b') --pc, ++i;
    if (i >= name.size() || !std::isdigit(static_cast<unsigned char>(name[i])))
        throw std::runtime_error("bad note " + name);
    const int octave = name[i] - '0';
    const int n = octave * 12 + pc + 1;
    if (n < 1 || n > 96) throw std::runtime_error("note out of range " + name);
    return n;
}

struct Chord {
    int root = 0;                // pitch class, 0 = C
    std::vector<int> intervals;  // from the root
};

Chord ParseChord(const std::string& name) {
    static const int base[] = {9, 11, 0, 2, 4, 5, 7};
    Chord c;
    c.root = base[name[0] - 'A'];
    size_t i = 1;
    if (i < name.size() && name[i] == 'b') c.root = (c.root + 11) % 12, ++i;
    if (i < name.size() && name[i] == '#') c.root = (c.root + 1) % 12, ++i;
    const std::string q = name.substr(i);
    if (q.empty()) c.intervals = {0, 4, 7};
    else if (q == "m") c.intervals = {0, 3, 7};
    else if (q == "maj7") c.intervals = {0, 4, 11};  // fifth left out: three voices
    else if (q == "m7") c.intervals = {0, 3, 10};
    else throw std::runtime_error("bad chord " + name);
    return c;
}

std::vector<Chord> Progression(const std::string& text) {
    std::istringstream in(text);
    std::vector<Chord> out;
    for (std::string name; in >> name;) out.push_back(ParseChord(name));
    return out;
}

// Splits a tune into one token per row; '|' only marks bar lines.
std::vector<std::string> Tokens(std::string text) {
    for (char& c : text)
        if (c == '|') c = ' ';
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string t; in >> t;) out.push_back(t);
    return out;
}

class Score {
public:
    Score() : rows_(kSongRows) {}

    XmCell& At(int row, int ch) {
        if (row < 0 || row >= kSongRows || ch < 0 || ch >= kChannels)
            throw std::runtime_error("cell outside the song");
        return rows_[row][ch];
    }

    void Note(int row, int ch, int note, int instrument, int volume, uint8_t effect = 0, uint8_t param = 0) {
        // Mixer: the parts are written at their musical levels; this evens
        // out the loudness of the instruments themselves.
        static const int kMixPercent[kInstrumentCount + 1] = {100, 100, 118, 100, 100, 100, 100,
                                                              88,  100, 126, 100, 100, 100};
        XmCell& c = At(row, ch);
        c.note = uint8_t(note);
        c.instrument = uint8_t(instrument);
        volume = volume * kMixPercent[instrument] / 100;
        c.volume = volume < 0 ? 0 : uint8_t(0x10 + std::min(volume, 64));
        c.effect = effect;
        c.param = param;
    }

    void Off(int row, int ch) {
        XmCell& c = At(row, ch);
        if (c.note == 0) c = XmCell{kXmNoteOff, 0, 0, 0, 0};
    }

    // Drum bars: one character per row, repeated over `bars` bars.
    //   kick/snare: x hit, g ghost, + two hits, r roll of four, . rest
    //   hats: c closed, + two closed, d closed on the off-sixteenth, o open
    void Drums(int row0, int bars, const std::string& kick, const std::string& snare, const std::string& hats,
               int level = 100) {
        for (int b = 0; b < bars; ++b)
            for (int r = 0; r < kBar; ++r) {
                const int row = row0 + b * kBar + r;
                Hit(row, chKick, kKick, kick[r], 60 * level / 100);
                Hit(row, chSnare, kSnare, snare[r], 50 * level / 100);
                const char h = hats[r];
                const int v = 26 * level / 100;
                if (h == 'c') Note(row, chHat, 49, kClosedHat, v);
                if (h == '+') Note(row, chHat, 49, kClosedHat, v, kEffectExtended, kRetrigHalf);
                if (h == 'd') Note(row, chHat, 49, kClosedHat, v - 6, kEffectExtended, 0xD6);
                if (h == 'o') Note(row, chHat, 49, kOpenHat, v);
            }
    }

    // A drum fill over the last bar before row `end`.
    void Fill(int end) {
        Drums(end - kBar, 1, "x.x.x.x.", "..x.x+rr", "c+c+c.c.");
        At(end - 2, chSnare).volume = 0x10 + 40;
        At(end - 1, chSnare).volume = 0x10 + 52;
    }

    void Crash(int row, int ch = chFx, int volume = 46) { Note(row, ch, 49, kCrash, volume); }

    // Bass per bar: r root, o octave above, f fifth, ^ key off, . rest.
    void Bass(int row0, const std::vector<Chord>& chords, const std::string& style, int volume = 50) {
        for (size_t b = 0; b < chords.size(); ++b) {
            const int root = chords[b].root;
            const int base = (root <= 4 ? 2 : 1) * 12 + root + 1;
            for (int r = 0; r < kBar; ++r) {
                const int row = row0 + int(b) * kBar + r;
                switch (style[r]) {
                    case 'r': Note(row, chBass, base, kBass, volume); break;
                    case 'o': Note(row, chBass, base + 12, kBass, volume - 10); break;
                    case 'f': Note(row, chBass, base + 7, kBass, volume - 6); break;
                    case '^': Off(row, chBass); break;
                    default: break;
                }
            }
        }
    }

    // Three-voice chords struck at the start of each bar (or only when the
    // chord changes, with holdRepeats), voiced close to the previous chord.
    void Pads(int row0, const std::vector<Chord>& chords, int instrument, int volume,
              bool holdRepeats = false) {
        for (size_t b = 0; b < chords.size(); ++b) {
            if (holdRepeats && b > 0 && SameChord(chords[b], chords[b - 1])) continue;
            const std::array<int, 3> v = Voice(chords[b]);
            static const uint8_t pans[] = {0x50, 0x80, 0xB0};
            for (int k = 0; k < 3; ++k)
                Note(row0 + int(b) * kBar, chPad1 + k, v[k], instrument, volume, kEffectPanning, pans[k]);
        }
    }

    // Arpeggio on the bell: digits index the chord tones (0 root, 1 third,
    // 2 fifth, 3 root an octave up, ...), one per row; '.' rests.
    void Arp(int row0, const std::vector<Chord>& chords, const std::string& pattern, int octave, int volume) {
        for (size_t b = 0; b < chords.size(); ++b)
            for (int r = 0; r < kBar; ++r) {
                const char p = pattern[(b * kBar + r) % pattern.size()];
                if (p < '0' || p > '9') continue;
                const int k = p - '0';
                const Chord& c = chords[b];
                const int note = octave * 12 + 1 + c.root + c.intervals[k % 3] + 12 * (k / 3);
                Note(row0 + int(b) * kBar + r, chArp, note, kBell, volume);
            }
    }

    // A melody: one token per row, a note name, '.' to hold or '^' to release.
    void Melody(int row0, int ch, int instrument, int volume, const std::string& tune, int transpose = 0) {
        const std::vector<std::string> tokens = Tokens(tune);
        for (size_t i = 0; i < tokens.size(); ++i) {
            const std::string& t = tokens[i];
            const int row = row0 + int(i);
            if (t == ".") continue;
            if (t == "^") Off(row, ch);
            else Note(row, ch, NoteNumber(t) + transpose, instrument, volume);
        }
    }

    // The melody again on the bell, an octave up and a few rows later: an echo.
    void Echo(int row0, const std::string& tune, int delay, int volume, int end) {
        const std::vector<std::string> tokens = Tokens(tune);
        for (size_t i = 0; i < tokens.size(); ++i) {
            const int row = row0 + int(i) + delay;
            if (tokens[i] == "." || tokens[i] == "^" || row >= end) continue;
            Note(row, chArp, NoteNumber(tokens[i]) + 12, kBell, volume);
        }
    }

    void Riser(int row, int volume = 40) { Note(row, chFx, 49, kRiser, volume); }

    // A snare roll over rows [from, to) rising from v0 to v1.
    void Roll(int from, int to, int v0, int v1) {
        for (int row = from; row < to; ++row)
            Note(row, chSnare, 49, kSnare, v0 + (v1 - v0) * (row - from) / std::max(1, to - from - 1),
                 kEffectExtended, kRetrigQuarter);
    }

    std::vector<XmPattern> Patterns() const {
        std::vector<XmPattern> out;
        int row = 0;
        for (int n : kPatternRows) {
            XmPattern p;
            p.rows = n;
            for (int r = 0; r < n; ++r)
                for (int ch = 0; ch < kChannels; ++ch) p.cells.push_back(rows_[row + r][ch]);
            out.push_back(std::move(p));
            row += n;
        }
        if (row != kSongRows) throw std::runtime_error("pattern lengths do not add up to the song");
        return out;
    }

private:
    static bool SameChord(const Chord& a, const Chord& b) {
        return a.root == b.root && a.intervals == b.intervals;
    }

    void Hit(int row, int ch, int instrument, char c, int volume) {
        if (c == 'x') Note(row, ch, 49, instrument, volume);
        if (c == 'g') Note(row, ch, 49, instrument, volume * 2 / 5);
        if (c == '+') Note(row, ch, 49, instrument, volume * 4 / 5, kEffectExtended, kRetrigHalf);
        if (c == 'r') Note(row, ch, 49, instrument, volume * 3 / 4, kEffectExtended, kRetrigQuarter);
    }

    std::array<int, 3> Voice(const Chord& c) {
        std::array<int, 3> best{};
        int bestCost = 1 << 30;
        for (int inversion = 0; inversion < 3; ++inversion)
            for (int octave = 3; octave <= 5; ++octave) {
                std::array<int, 3> v{};
                int note = octave * 12 + 1 + c.root + c.intervals[inversion];
                v[0] = note;
                for (int k = 1; k < 3; ++k) {
                    int n = octave * 12 + 1 + c.root + c.intervals[(inversion + k) % 3];
                    while (n <= note) n += 12;
                    v[k] = note = n;
                }
                if (v[0] < 50 || v[2] > 72) continue;
                int cost = 0;
                for (int k = 0; k < 3; ++k) cost += std::abs(v[k] - lastVoicing_[k]);
                if (cost < bestCost) bestCost = cost, best = v;
            }
        lastVoicing_ = best;
        return best;
    }

    std::vector<std::array<XmCell, kChannels>> rows_;
    std::array<int, 3> lastVoicing_{57, 61, 64};
};

// --- The tunes -------------------------------------------------------------

const std::string kProgA = "Am F C G Am F C G";
const std::string kProgB = "F G Em Am Dm G C E";
const std::string kProgBreakdown = "Fmaj7 Fmaj7 Em7 Em7 Dm7 Dm7 E E";
const std::string kProgGlobe = "Dm Bb F C Dm Bb C A";

const std::string kThemeA =
    "A4 . C5 . E5 . D5 C5 | C5 . A4 . . . F4 G4 | G4 . C5 . E5 . G5 . | F5 E5 D5 . B4 . G4 . |"
    "A4 . C5 . E5 . A5 .  | G5 . F5 E5 . . C5 . | D5 . E5 . G5 . E5 C5 | D5 . . . B4 . ^ .";
const std::string kThemeA2 =
    "A5 . G5 . E5 . D5 E5 | C5 . A4 . C5 . D5 . | E5 . G5 . C6 . B5 . | A5 . G5 . D5 . B4 . |"
    "C5 . E5 . A5 . C6 .  | A5 . G5 F5 . . E5 . | D5 E5 G5 . E5 . C5 D5 | B4 . . . G4 . ^ .";
const std::string kThemeB =
    "A5 . G5 . F5 . E5 . | D5 . . E5 F5 . G5 . | E5 . . . B4 . . . | C5 . D5 . E5 . . . |"
    "F5 . E5 . D5 . A4 . | B4 . C5 . D5 . G5 . | E5 . . D5 C5 . G4 . | G#4 . B4 . E5 . ^ .";
const std::string kThemeBreakdown =
    "E5 . . . . . . . | C5 . . . A4 . . . | G5 . . . . . . . | E5 . . . B4 . . . |"
    "F5 . . . . . . . | A5 . . . F5 . . . | G#5 . . . . . . . | B5 . . . ^ . . .";
const std::string kThemeC =
    "D5 . . . F5 . A5 . | G5 . F5 . D5 . . . | C5 . . . F5 . A5 . | G5 . . . E5 . C5 . |"
    "D5 . . . F5 . A5 . | Bb5 . A5 . G5 . F5 . | E5 . G5 . C6 . Bb5 . | A5 . . . C#5 . E5 .";
const std::string kThemeBuild =
    "G5 . . . Bb5 . . . | D6 . . . C6 . Bb5 . | D6 . . . F6 . . . | F6 . E6 . D6 . C6 . |"
    "C#6 . . . E6 . . . | A5 . C#6 . E6 . A6 .";

// Drum bars.
const char* kFour = "x.x.x.x.";
const char* kBackbeat = "..x...x.";
const char* kHatsDance = "+o+o+o+o";
const char* kHatsLight = ".c.c.c.c";
const char* kHatsHalf = "c+c+c+c+";

void WriteIntro(Score& s) {
    const auto chords = Progression("Am Am F F C C G G");
    for (int b = 0; b < 8; b += 2) {
        const std::vector<Chord> one(chords.begin() + b, chords.begin() + b + 1);
        s.Pads(b * kBar, one, kPad, 26 + 6 * b / 2);
    }
    s.Arp(0, std::vector<Chord>(chords.begin(), chords.begin() + 4), "0.2.4.2.", 4, 26);
    s.Arp(32, std::vector<Chord>(chords.begin() + 4, chords.end()), "02435243", 4, 32);
    s.Bass(32, std::vector<Chord>(chords.begin() + 4, chords.end()), "r.......", 44);
    s.Drums(32, 2, "........", "........", kHatsLight, 80);
    s.Drums(48, 2, "x...x...", "........", kHatsHalf, 90);
    s.Riser(40, 36);
    s.Roll(56, 64, 12, 44);
    // Two-row pick-up into the second part.
    s.Note(64, chKick, 49, kKick, 56);
    s.Note(64, chSnare, 49, kSnare, 48, kEffectExtended, kRetrigHalf);
    s.Note(65, chSnare, 49, kSnare, 54, kEffectExtended, kRetrigHalf);
    s.Note(64, chFx, 61, kTom, 50);
    s.Note(65, chFx, 55, kTom, 54);
}

void WriteSecondPart(Score& s) {
    const auto a = Progression(kProgA);
    // 66-129: the groove arrives; the bell carries the hook.
    s.Crash(66);
    s.Drums(66, 8, kFour, kBackbeat, kHatsDance, 90);
    s.Bass(66, a, "rorororo");
    s.Pads(66, a, kPad, 34);
    s.Arp(66, a, "02435243", 5, 34);
    // 130-193: the lead enters with the main theme.
    s.Crash(130);
    s.Drums(130, 8, kFour, kBackbeat, kHatsDance);
    s.Fill(194);
    s.Bass(130, a, "rorororo");
    s.Pads(130, a, kPad, 32);
    s.Melody(130, chLead, kLead, 44, kThemeA);
    s.Arp(130, a, "0.2.4.2.", 5, 22);
    // 194-255: seven bars of the second theme, then a six-row run into the break.
    const auto b = Progression(kProgB);
    const std::vector<Chord> seven(b.begin(), b.begin() + 7);
    s.Crash(194);
    s.Drums(194, 7, kFour, kBackbeat, kHatsDance);
    s.Bass(194, seven, "r.rr.rro");
    s.Pads(194, seven, kPad, 32);
    s.Melody(194, chLead, kLead, 44, kThemeB.substr(0, kThemeB.rfind('|')));
    s.Pads(250, {b[7]}, kPad, 36);
    s.Note(250, chBass, NoteNumber("E2"), kBass, 50);
    s.Melody(250, chLead, kLead, 44, "G#4 . B4 . E5 .");
    s.Roll(250, 256, 20, 50);
}

void WriteBreak(Score& s) {
    // The red ball flies at the viewer three times; a tom lands on each pass
    // (about 5.7 rows apart), fine-placed with note delays.
    s.Pads(256, {ParseChord("E")}, kPad, 40);
    s.Note(256, chBass, NoteNumber("E1"), kBass, 54);
    s.Note(256, chArp, NoteNumber("E6"), kBell, 30);
    s.Note(256, chLead, NoteNumber("B5"), kLead, 30);
    s.Note(261, chFx, 57, kTom, 56, kEffectExtended, 0xD8);
    s.Note(267, chFx, 52, kTom, 58, kEffectExtended, 0xD4);
    s.Note(273, chFx, 45, kTom, 60);
    s.Crash(273, chHat, 44);
    s.Note(264, chArp, NoteNumber("B5"), kBell, 26);
    s.Note(270, chArp, NoteNumber("G#5"), kBell, 24);
    s.Off(272, chLead);
    s.Roll(274, 280, 16, 52);
    s.Note(276, chKick, 49, kKick, 50);
    s.Note(278, chKick, 49, kKick, 54);
}

void WriteMainPart(Score& s) {
    const auto a = Progression(kProgA);
    const auto b = Progression(kProgB);
    const auto bd = Progression(kProgBreakdown);
    int row = 280;
    // M1: the theme in full.
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Fill(row + 64);
    s.Bass(row, a, "rorororo");
    s.Pads(row, a, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeA);
    s.Echo(row, kThemeA, 3, 20, row + 64);
    row += 64;
    // M2: the variation over bell arpeggios.
    s.Crash(row);
    s.Drums(row, 8, kFour, "..x...xg", kHatsDance);
    s.Bass(row, a, "r.rr.rro");
    s.Pads(row, a, kPad, 30);
    s.Melody(row, chLead, kLead, 46, kThemeA2);
    s.Arp(row, a, "02435243", 5, 22);
    row += 64;
    // M3: the second theme.
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Bass(row, b, "rorororo");
    s.Pads(row, b, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeB);
    s.Echo(row, kThemeB, 3, 20, row + 64);
    row += 64;
    // M4: the second theme again, busier drums and an off-beat bass.
    s.Drums(row, 8, kFour, ".gx..gx.", kHatsDance);
    s.Fill(row + 64);
    s.Bass(row, b, ".r.r.r.o");
    s.Pads(row, b, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeB);
    s.Arp(row, b, "3.4.5.4.", 5, 20);
    row += 64;
    // M5: breakdown, no drums but hats; long notes; the riser starts.
    s.Crash(row, chHat, 40);
    s.Drums(row + 8, 5, "........", "........", kHatsLight, 70);
    s.Drums(row + 48, 2, "x...x...", "........", kHatsHalf, 80);
    s.Bass(row, bd, "r.......", 46);
    s.Pads(row, bd, kPad, 40, true);
    s.Arp(row, bd, "02130213", 5, 28);
    s.Melody(row, chLead, kLead, 38, kThemeBreakdown);
    s.Riser(row + 40, 40);
    s.Roll(row + 60, row + 64, 30, 54);
    row += 64;
    // M6: back in; the lead asks, the bell answers.
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Fill(row + 64);
    s.Bass(row, a, "rorororo");
    s.Pads(row, a, kPad, 32);
    const std::string firstHalf = kThemeA.substr(0, kThemeA.find("A4 . C5 . E5 . A5"));
    s.Melody(row, chLead, kLead, 46, firstHalf);
    s.Off(row + 31, chLead);
    s.Echo(row + 32 - 3, kThemeA2.substr(kThemeA2.find("C5 . E5 . A5")), 3, 40, row + 64);
    row += 64;
    // M7: the theme with its echo.
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Bass(row, a, "r.rr.rro");
    s.Pads(row, a, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeA);
    s.Echo(row, kThemeA, 3, 22, row + 64);
    row += 64;
    // M8: the second theme with arpeggios.
    s.Crash(row);
    s.Drums(row, 8, kFour, "..x...xg", kHatsDance);
    s.Fill(row + 64);
    s.Bass(row, b, "rorororo");
    s.Pads(row, b, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeB);
    s.Arp(row, b, "02435243", 5, 22);
    row += 64;
    // M9: the variation, then a fill.
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Fill(row + 64);
    s.Bass(row, a, "rorororo");
    s.Pads(row, a, kPad, 32);
    s.Melody(row, chLead, kLead, 46, kThemeA2);
    s.Echo(row, kThemeA2, 3, 20, row + 64);
    row += 64;
    // 856-876: turn toward D minor for the globe.
    s.Crash(row, chHat, 40);
    s.Pads(row, Progression("Dm Dm"), kGlass, 40, true);
    s.Bass(row, Progression("Dm Dm"), "r...r...", 44);
    s.Drums(row, 2, "x...x...", "........", ".c.c.c.c", 80);
    s.Riser(row, 42);
    s.Pads(row + 16, {ParseChord("A")}, kGlass, 44);
    s.Note(row + 16, chBass, NoteNumber("A1"), kBass, 48);
    s.Roll(row + 16, row + 21, 24, 54);
}

void WriteGlobe(Score& s) {
    const auto c = Progression(kProgGlobe);
    int row = 877;
    // G1: half time, glass chords, the bell plays the new tune.
    s.Crash(row);
    s.Drums(row, 8, "x...x.x.", "....x...", kHatsHalf, 90);
    s.Bass(row, c, "r..r.rf.", 48);
    s.Pads(row, c, kGlass, 34);
    s.Melody(row, chArp, kBell, 36, kThemeC, 12);
    row += 64;
    // G2: the lead takes the tune, the bell arpeggiates.
    s.Crash(row);
    s.Drums(row, 7, "x...x.x.", "....x...", kHatsHalf);
    s.Drums(row + 56, 1, "x...x.x.", "....x.++", kHatsHalf);
    s.Bass(row, c, "r..r.rf.", 48);
    s.Pads(row, c, kGlass, 34);
    s.Melody(row, chLead, kLead, 46, kThemeC);
    s.Arp(row, c, "0243", 5, 22);
    row += 64;
    // G3: six bars rising to the climax.
    const auto build = Progression("Gm Gm Bb Bb A A");
    s.Crash(row);
    s.Drums(row, 2, "x...x.x.", "....x...", kHatsHalf);
    s.Drums(row + 16, 2, kFour, kBackbeat, kHatsDance);
    s.Drums(row + 32, 1, kFour, "x.x.x.x.", kHatsDance);
    s.Bass(row, build, "rorororo", 50);
    s.Pads(row, build, kPad, 36, true);
    s.Melody(row, chLead, kLead, 48, kThemeBuild);
    s.Arp(row, build, "0.2.3.2.", 5, 20);
    s.Riser(row + 24, 46);
    s.Roll(row + 40, row + 48, 24, 60);
    for (int k = 0; k < 8; k += 2) s.Note(row + 40 + k, chKick, 49, kKick, 58);
    row += 48;
    // 1053-1057: the climax, a D major chord and a falling tom run.
    s.Crash(row);
    s.Note(row, chKick, 49, kKick, 64);
    s.Note(row, chBass, NoteNumber("D2"), kBass, 58);
    s.Pads(row, {ParseChord("D")}, kPad, 52);
    s.Melody(row, chLead, kLead, 54, "D6 . . . .");
    s.Note(row, chArp, NoteNumber("A6"), kBell, 40);
    s.Note(row + 1, chSnare, 49, kSnare, 44, kEffectExtended, kRetrigQuarter);
    s.Note(row + 2, chSnare, 49, kSnare, 50, kEffectExtended, kRetrigQuarter);
    s.Note(row + 1, chHat, 61, kTom, 54);
    s.Note(row + 2, chHat, 57, kTom, 56);
    s.Note(row + 3, chHat, 52, kTom, 58);
    s.Note(row + 4, chHat, 45, kTom, 60);
    s.Note(row + 4, chKick, 49, kKick, 60);
    row += 5;
    // 1058-1069: the chord dies away with bell echoes, then a pick-up.
    s.Off(row, chLead);
    s.Off(row + 4, chBass);
    s.Melody(row, chArp, kBell, 30, "D6 . . A5 . . F#5 . . D5 . .");
    for (int ch = chPad1; ch <= chPad3; ++ch) s.Off(row + 6, ch);
    s.Roll(row + 9, row + 12, 20, 50);
    s.Note(row + 11, chFx, 52, kTom, 54);
}

void WriteLogo(Score& s) {
    const auto a = Progression(kProgA);
    int row = 1070;
    s.Crash(row);
    s.Drums(row, 8, kFour, kBackbeat, kHatsDance);
    s.Bass(row, a, "rorororo");
    s.Pads(row, a, kPad, 34);
    s.Melody(row, chLead, kLead, 46, kThemeA);
    s.Echo(row, kThemeA, 3, 22, row + 64);
    row += 64;
    // 1134-1165: the variation's first half, as before.
    const std::vector<Chord> firstFour(a.begin(), a.begin() + 4);
    s.Crash(row);
    s.Drums(row, 4, kFour, "..x...xg", kHatsDance);
    s.Bass(row, firstFour, "r.rr.rro");
    s.Pads(row, firstFour, kPad, 34);
    s.Melody(row, chLead, kLead, 46, kThemeA2.substr(0, kThemeA2.find("C5 . E5 . A5")));
    s.Arp(row, firstFour, "02435243", 5, 22);
    row += 4 * kBar;
    // 1166-1181: the cadence, D minor to E, the lead stepping down to the
    // leading note; a fill into the last chord.
    const auto cadence = Progression("Dm E");
    s.Drums(row, 1, kFour, "..x...xg", kHatsDance);
    s.Fill(row + 2 * kBar);
    s.Bass(row, cadence, "rorororo");
    s.Pads(row, cadence, kPad, 34);
    s.Melody(row, chLead, kLead, 46, "F5 . E5 . D5 . A4 . | E5 . D5 . B4 . G#4 .");
    s.Arp(row, cadence, "02435243", 5, 22);
    row += 2 * kBar;
    // 1182: A minor, held for a bar while the bell falls through it, then
    // released so that it has died away before the show stops at 1200: the
    // pad's release takes about seven rows from its key-off at 1191.
    s.Crash(row, chFx, 50);
    s.Note(row, chKick, 49, kKick, 60);
    s.Note(row, chBass, NoteNumber("A1"), kBass, 54);
    s.Pads(row, {ParseChord("Am")}, kPad, 44);
    s.Note(row, chLead, NoteNumber("A4"), kLead, 44);
    s.Melody(row, chArp, kBell, 30, "A5 . E6 . C6 . A5 . E5");
    s.Off(row + 6, chLead);
    s.Off(row + 6, chBass);
    for (int ch = chPad1; ch <= chPad3; ++ch) s.Off(row + 9, ch);
}

}  // namespace

XmModule ComposeSong() {
    Score score;
    WriteIntro(score);
    WriteSecondPart(score);
    WriteBreak(score);
    WriteMainPart(score);
    WriteGlobe(score);
    WriteLogo(score);

    XmModule m;
    m.name = "Sixscene";
    m.tracker = "sixscene_gen";
    m.channels = kChannels;
    m.speed = kSongSpeed;
    m.bpm = kSongBpm;
    m.patterns = score.Patterns();
    for (size_t i = 0; i < m.patterns.size(); ++i) m.orders.push_back(uint8_t(i));
    m.instruments = SynthesiseInstruments();
    return m;
}

Bytes MakeModule() { return WriteXm(ComposeSong()); }

}  // namespace gen
