#include "app/options.h"

#include "app/timeline.h"
#include "platform/host.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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
           "  --scale N          window scale factor (default 3)\n"
           "  --depth 16|32      display depth; 16 shows the 5-6-5 output (default 32)\n"
           "  --headless         no window and no audio device; the clock is virtual\n"
           "                     (frame n is at n*1000/60 ms), so every run is identical\n"
           "\n"
           "Recording (headless):\n"
           "  --record FILE.mp4  encode the show to a video with sound through ffmpeg\n"
           "                     (.mp4: H.264 and AAC; .mkv: lossless FFV1 and FLAC)\n"
           "  --video-scale N    video picture scale factor, sharp pixels (default 3)\n"
           "  --record DIR       write DIR/frame-NNNNNN.png, DIR/audio.wav, DIR/frames.csv\n"
           "  --at LIST          only these frames as PNG (e.g. 100,200-210); the run ends\n"
           "                     after the last one\n"
           "  --frames N         press Escape after N frames\n"
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
           "                     the executable)\n"
           "  --plugin PATH      the module-player plug-in (default: " SIXSCENE_PLUGIN_FILE " beside\n"
           "                     the executable)\n"
           "\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "Headless runs show a progress bar on a terminal; Ctrl+C stops a recording\n"
           "cleanly, leaving a playable file.\n"
           "\n"
           "Exit status: 0 when the show ends or Escape is pressed; 1 when start-up fails\n"
           "or a recording can't be written; 2 for a usage error; 130 when Ctrl+C stopped\n"
           "a headless run.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
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
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--window") {
            options.mode = DisplayMode::Window;
        } else if (arg == "--fullscreen") {
            options.mode = DisplayMode::Fullscreen;
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
        } else if (arg == "--headless") {
            options.mode = DisplayMode::Headless;
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
            if (!number(0, INT32_MAX, n)) return false;
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
    const bool headlessOnly = !options.record.empty() || !options.at.empty() || !options.testKeys.empty() ||
                              options.escapeAfter >= 0 || options.pitch || !options.failLock.empty() ||
                              !options.loseSurface.empty() || !options.failDisplayStep.empty();
    if (headlessOnly && options.mode != DisplayMode::Headless) {
        if (options.mode == DisplayMode::Window) {
            error = "--record, --at, --frames and the test options need --headless";
            return false;
        }
        options.mode = DisplayMode::Headless;
    }
    return true;
}
