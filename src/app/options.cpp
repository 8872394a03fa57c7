#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/timeline.h"
#include "platform/host.h"
#include "record/video_names.h"

#ifdef _WIN32
#define SIXSCENE_PLUGIN_FILE "npmod32.dll"
#else
#define SIXSCENE_PLUGIN_FILE "libnpmod32.so"
#endif

namespace {

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high) return false;
    out = value;
    return true;
}

}  // namespace

int32_t KeyByName(const std::string& name) {
    static const std::pair<const char*, int32_t> keys[] = {
        {"space", kKeySpace}, {"left", kKeyLeft}, {"right", kKeyRight}, {"home", kKeyHome}, {"m", kKeyM},
        {"plus", kKeyPlus}, {"minus", kKeyMinus}, {"f12", kKeyF12}, {"escape", kKeyEscape}};
    for (const auto& [text, key] : keys) {
        if (name == text) return key;
    }
    return 0;
}

bool ParseFrameList(const std::string& text, std::set<int64_t>& frames) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const size_t dash = item.find('-', 1);
        int64_t first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!ParseInt(item, 0, INT32_MAX, first)) return false;
            last = first;
        } else if (!ParseInt(item.substr(0, dash), 0, INT32_MAX, first) ||
                   !ParseInt(item.substr(dash + 1), 0, INT32_MAX, last) || last < first ||
                   last - first > 10000000) {
            return false;
        }
        for (int64_t f = first; f <= last; ++f) frames.insert(f);
        start = comma + 1;
    }
    return !frames.empty();
}

const char* UsageText() {
    return "Usage: sixscene [OPTIONS]\n"
           "Plays the Sixscene show: six scenes in step with the music, until the music\n"
           "reaches its end position. Escape quits.\n"
           "\n"
           "Display:\n"
           "  --window           play in a window instead of full screen\n"
           "  --scale N          window scale factor (default 3; at most what fits the\n"
           "                     screen)\n"
           "  --depth 16|32      display depth; 16 shows the 5-6-5 output (default 32)\n"
           "  --headless         no window and no audio device; the clock is virtual\n"
           "                     (frame n is at n*1000/60 ms), so every run is identical\n"
           "  --frames N         press Escape after N frames, in any mode (--window\n"
           "                     --frames 120 is a two-second try of the display)\n"
           "\n"
           "Recording (each implies --headless):\n"
           "  --record FILE.mp4  encode the show to a video with sound through ffmpeg\n"
           "                     (.mp4: H.264 and AAC; .mkv: lossless FFV1 and FLAC; other\n"
           "                     video and sound names are refused)\n"
           "  --video-scale N    video picture scale factor, sharp pixels (default 3)\n"
           "  --record DIR       write DIR/frame-NNNNNN.png, DIR/audio.wav, DIR/frames.csv\n"
           "  --at LIST          with --record DIR: only these frames as PNG (e.g.\n"
           "                     100,200-210); the run ends after the last one, and fails\n"
           "                     when the show ends before it\n"
           "\n"
           "Player:\n"
           "  --fullscreen       play full screen (the default)\n"
           "  --loop             start again from the beginning when the show ends\n"
           "  --start ROW        begin at this row of the music (0 to 1199)\n"
           "  --scene N          begin at the start of scene N (1 to 6)\n"
           "  --screenshot-dir DIR  where F12 saves pictures (default: the current folder)\n"
           "\n"
           "Keys:\n"
           "  Escape             quit\n"
           "  Space              pause and resume\n"
           "  Left, Right        the previous or next scene\n"
           "  Home               start again from the beginning\n"
           "  M                  mute and unmute\n"
           "  +, -               louder, quieter\n"
           "  F12, Print Screen  save the picture as sixscene-NNNN.png\n"
           "  Alt+Enter          full screen or window\n"
           "\n"
           "Data:\n"
           "  --data DIR         read bitmap/, obj/, snd/ and dat/ from DIR (default: beside\n"
           "                     the executable, or ../share/sixscene from it)\n"
           "  --plugin PATH      the module-player plug-in (default: " SIXSCENE_PLUGIN_FILE " beside\n"
           "                     the executable, or in ../lib/sixscene from it)\n"
           "\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "Headless runs show a progress bar on a terminal; Ctrl+C stops a recording\n"
           "cleanly, leaving a playable file.\n"
           "\n"
           "Exit status: 0 when the show ends or Escape is pressed; 1 when start-up fails,\n"
           "a recording can't be written or the show ends before a frame of --at; 2 for a\n"
           "usage error; 130 when Ctrl+C stopped a headless run.\n";
}

namespace {

// Roff text: backslashes and hyphens escaped, no line taken for a request.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

// "--scale N" as bold option and italic argument.
std::string RoffTerm(const std::string& term) {
    std::string out;
    size_t start = 0;
    for (bool first = true; start < term.size(); first = false) {
        size_t end = term.find(' ', start);
        if (end == std::string::npos) end = term.size();
        if (!out.empty()) out += ' ';
        out += (first ? "\\fB" : "\\fI") + Roff(term.substr(start, end - start)) + "\\fR";
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string ManPage(const char* version, const char* summary) {
    // The usage text's shape: "Usage:" line, a description paragraph, then
    // headings ("Display:"), two-space-indented entries with their text from
    // column 21 (continued on deeper-indented lines), and paragraphs.
    std::vector<std::string> lines;
    for (const char* p = UsageText(); *p;) {
        const char* end = std::strchr(p, '\n');
        if (!end) end = p + std::strlen(p);
        lines.emplace_back(p, end);
        p = *end ? end + 1 : end;
    }
    std::string out = ".TH SIXSCENE 6 \"\" \"sixscene " + Roff(version) + "\" \"Games\"\n";
    size_t i = 0;
    while (i < lines.size() && lines[i].rfind("Usage:", 0) != 0) ++i;
    ++i;
    std::string description;
    for (; i < lines.size() && !lines[i].empty(); ++i) description += (description.empty() ? "" : " ") + lines[i];
    std::string name = summary;
    if (name.size() > 1 && std::isupper(static_cast<unsigned char>(name[0])) && name[1] == ' ') {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    }
    out += ".SH NAME\nsixscene \\- " + Roff(name) + "\n";
    out += ".SH SYNOPSIS\n.B sixscene\n[\\fIOPTIONS\\fR]\n";
    out += ".SH DESCRIPTION\n" + Roff(description) + "\n";
    bool inOptions = false;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) continue;
        if (line[0] != ' ' && line.back() == ':') {
            if (!inOptions) out += ".SH OPTIONS\n";
            inOptions = true;
            out += ".SS " + Roff(line.substr(0, line.size() - 1)) + "\n";
        } else if (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line[2] != ' ') {
            if (!inOptions) out += ".SH OPTIONS\n";
            inOptions = true;
            const size_t gap = line.find("  ", 2);
            const std::string term = line.substr(2, gap == std::string::npos ? std::string::npos : gap - 2);
            out += ".TP\n" + RoffTerm(term) + "\n";
            if (gap != std::string::npos) {
                const size_t text = line.find_first_not_of(' ', gap);
                if (text != std::string::npos) out += Roff(line.substr(text)) + "\n";
            }
        } else if (line[0] == ' ') {
            out += Roff(line.substr(line.find_first_not_of(' '))) + "\n";
        } else {
            // A paragraph; "Exit status: ..." becomes its own section.
            std::string paragraph;
            for (; i < lines.size() && !lines[i].empty(); ++i) paragraph += (paragraph.empty() ? "" : " ") + lines[i];
            const std::string exitStatus = "Exit status: ";
            if (paragraph.rfind(exitStatus, 0) == 0) {
                out += ".SH \"EXIT STATUS\"\n" + Roff(paragraph.substr(exitStatus.size())) + "\n";
            } else {
                out += ".SH NOTES\n" + Roff(paragraph) + "\n";
            }
        }
    }
    return out;
}

namespace {

// Display modes as bits, for the table below.
constexpr unsigned kFullscreenMode = 1u << static_cast<int>(DisplayMode::Fullscreen);
constexpr unsigned kWindowMode = 1u << static_cast<int>(DisplayMode::Window);
constexpr unsigned kHeadlessMode = 1u << static_cast<int>(DisplayMode::Headless);
constexpr unsigned kDisplayModes = kFullscreenMode | kWindowMode;

// The options that choose the mode. Full screen is the default.
struct ModeOption {
    const char* name;
    DisplayMode mode;
};
constexpr ModeOption kModeOptions[] = {
    {"--fullscreen", DisplayMode::Fullscreen},
    {"--window", DisplayMode::Window},
    {"--headless", DisplayMode::Headless},
};

// The modes each option works in; options not listed work in all of them.
// An option that works only headless makes a run headless when no mode
// option is given (`sixscene --record show.mp4`).
struct ModeRule {
    const char* name;
    unsigned modes;
};
constexpr ModeRule kModeRules[] = {
    {"--scale", kDisplayModes},
    {"--record", kHeadlessMode},
    {"--video-scale", kHeadlessMode},
    {"--at", kHeadlessMode},
    {"--test-pitch", kHeadlessMode},
    {"--test-fail-lock", kHeadlessMode},
    {"--test-lose-surface", kHeadlessMode},
    {"--test-fail-display", kHeadlessMode},
    {"--test-keys", kHeadlessMode},
};

unsigned ModesOf(const std::string& option) {
    for (const ModeRule& rule : kModeRules) {
        if (option == rule.name) return rule.modes;
    }
    return kFullscreenMode | kWindowMode | kHeadlessMode;
}

// What an option needs, for messages.
std::string Needs(unsigned modes) {
    if (modes == kHeadlessMode) return "--headless";
    if (modes == kDisplayModes) return "a display (full screen or --window)";
    if (modes == kWindowMode) return "--window";
    return "full screen";
}

// The mode, from the mode options and what the other options need; false
// with `error` naming both sides of a contradiction.
bool ResolveMode(const std::vector<std::string>& given, Options& options, std::string& error) {
    std::string modeOption;
    for (const std::string& option : given) {
        for (const ModeOption& m : kModeOptions) {
            if (option != m.name) continue;
            if (!modeOption.empty() && modeOption != option) {
                error = modeOption + " and " + option + " contradict each other: give one of them";
                return false;
            }
            modeOption = option;
            options.mode = m.mode;
        }
    }
    if (!modeOption.empty()) {
        const unsigned mode = 1u << static_cast<int>(options.mode);
        for (const std::string& option : given) {
            if (!(ModesOf(option) & mode)) {
                error = option + " can't be used with " + modeOption + ": it needs " + Needs(ModesOf(option));
                return false;
            }
        }
        return true;
    }
    unsigned allowed = kFullscreenMode | kWindowMode | kHeadlessMode;
    for (const std::string& option : given) {
        if (!(allowed & ModesOf(option))) {
            for (const std::string& other : given) {
                if (!(ModesOf(other) & ModesOf(option))) {
                    error = other + " and " + option + " can't be used together: " + other + " needs " +
                            Needs(ModesOf(other)) + ", " + option + " needs " + Needs(ModesOf(option));
                    return false;
                }
            }
            error = option + " can't be used with the other options given";
            return false;
        }
        allowed &= ModesOf(option);
    }
    options.mode = (allowed & kFullscreenMode) ? DisplayMode::Fullscreen
                   : (allowed & kHeadlessMode) ? DisplayMode::Headless
                                               : DisplayMode::Window;
    return true;
}

// Options that only mean something together with another.
bool CheckDependencies(const std::vector<std::string>& given, const Options& options, std::string& error) {
    const bool video = IsVideoPath(options.record);
    if (!options.record.empty() && !video && IsUnsupportedMediaPath(options.record)) {
        error = "--record " + options.record + ": " + FileExtension(options.record) +
                " files can't be written; give a name ending in " + kVideoExtensionList +
                ", or a folder for PNG frames";
        return false;
    }
    if (!options.at.empty() && options.record.empty()) {
        error = "--at needs --record DIR: it picks the frames written there as PNG";
        return false;
    }
    if (!options.at.empty() && video) {
        error = "--at can't be used with --record " + options.record + ": it picks PNG frames, so it needs --record DIR";
        return false;
    }
    if (std::count(given.begin(), given.end(), "--video-scale") && !video) {
        error = "--video-scale needs --record FILE.mp4 or FILE.mkv";
        return false;
    }
    if (!options.at.empty() && options.escapeAfter >= 0 && *options.at.rbegin() >= options.escapeAfter) {
        error = "--at asks for frame " + std::to_string(*options.at.rbegin()) + ", but --frames " +
                std::to_string(options.escapeAfter) + " ends the run after frame " +
                std::to_string(options.escapeAfter - 1);
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    std::vector<std::string> given;  // the options, as the checks below name them
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        given.push_back(arg == "-h" ? "--help" : arg);
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](int64_t low, int64_t high, int64_t& out) {
            std::string text;
            if (!value(text)) return false;
            if (!ParseInt(text, low, high, out)) {
                error = "option " + arg + ": '" + text + "' is not a number from " +
                        std::to_string(low) + " to " + std::to_string(high);
                return false;
            }
            return true;
        };
        auto frameList = [&](std::set<int64_t>& out) {
            std::string text;
            if (!value(text)) return false;
            if (!ParseFrameList(text, out)) {
                error = "option " + arg + ": '" + text + "' is not a list of frames like 1,5,10-20";
                return false;
            }
            return true;
        };
        int64_t n = 0;
        const bool modeOption = std::any_of(std::begin(kModeOptions), std::end(kModeOptions),
                                            [&](const ModeOption& m) { return arg == m.name; });
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--start") {
            if (!number(0, kEndPosition - 1, n)) return false;
            options.startRow = static_cast<int32_t>(n);
        } else if (arg == "--scene") {
            if (!number(1, 6, n)) return false;
            options.startRow = SceneStartRow(static_cast<int32_t>(n));
        } else if (arg == "--screenshot-dir") {
            if (!value(options.screenshotDir)) return false;
        } else if (arg == "--test-keys") {
            // FRAME:KEY,...
            std::string text;
            if (!value(text)) return false;
            size_t start = 0;
            while (start < text.size()) {
                size_t comma = text.find(',', start);
                if (comma == std::string::npos) comma = text.size();
                const std::string item = text.substr(start, comma - start);
                const size_t colon = item.find(':');
                int64_t frame = 0;
                const int32_t key = colon == std::string::npos ? 0 : KeyByName(item.substr(colon + 1));
                if (key == 0 || !ParseInt(item.substr(0, colon), 0, INT32_MAX, frame)) {
                    error = "option --test-keys: '" + item + "' is not FRAME:KEY";
                    return false;
                }
                options.testKeys.emplace_back(frame, key);
                start = comma + 1;
            }
        } else if (arg == "--man") {
            options.man = true;
        } else if (modeOption) {
            // Resolved below, with what the other options need.
        } else if (arg == "--scale") {
            if (!number(1, 16, n)) return false;
            options.scale = static_cast<int32_t>(n);
        } else if (arg == "--depth") {
            if (!number(16, 32, n)) return false;
            if (n != 16 && n != 32) {
                error = "option --depth: use 16 or 32";
                return false;
            }
            options.depth = static_cast<int32_t>(n);
        } else if (arg == "--data") {
            if (!value(options.dataDir)) return false;
        } else if (arg == "--plugin") {
            if (!value(options.plugin)) return false;
        } else if (arg == "--frames") {
            if (!number(1, INT32_MAX, n)) return false;
            options.escapeAfter = n;
        } else if (arg == "--record") {
            if (!value(options.record)) return false;
        } else if (arg == "--video-scale") {
            if (!number(1, 12, n)) return false;
            options.videoScale = static_cast<int32_t>(n);
        } else if (arg == "--at") {
            if (!frameList(options.at)) return false;
        } else if (arg == "--test-pitch") {
            if (!number(1, 1 << 16, n)) return false;
            options.pitch = static_cast<int32_t>(n);
        } else if (arg == "--test-fail-lock") {
            if (!frameList(options.failLock)) return false;
        } else if (arg == "--test-lose-surface") {
            if (!frameList(options.loseSurface)) return false;
        } else if (arg == "--test-fail-display") {
            if (!value(options.failDisplayStep)) return false;
            if (options.failDisplayStep != "create" && options.failDisplayStep != "mode" &&
                options.failDisplayStep != "surfaces") {
                error = "option --test-fail-display: use create, mode or surfaces";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    // Asking for help is never an error.
    if (options.help || options.version || options.man) return true;
    return ResolveMode(given, options, error) && CheckDependencies(given, options, error);
}
