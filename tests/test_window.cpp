// The program as people try it: a short run in a real window on an X
// server (Xvfb), and the progress bar in a real terminal (tmux) of a few
// columns. Each skips when its tools are not installed (scripts/install-deps
// installs them).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

const std::string kProgram = std::string(SIXSCENE_BUILD_DIR) + "/sixscene";

bool Have(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0; }

// Runs `command` through the shell; its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// NAME=VALUE from xdotool's --shell output; -1 when missing.
long Field(const std::string& text, const std::string& name) {
    const size_t at = text.find("\n" + name + "=");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size() + 2);
}

TEST(Window, ShortRunInAWindowEndsByItselfAndSaysNothing) {
    // SDL's dummy display (chosen by name) and no sound card: Escape comes
    // after the frames asked for, with status 0 and no word from the
    // libraries underneath.
    const ProgramResult run = RunProgram({"--window", "--frames", "30"}, {"SDL_VIDEODRIVER=dummy"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("ALSA lib"), std::string::npos) << run.err;
}

// On a 1280x1024 screen: the window of `scale`, its geometry, a picture of
// it and the program's stderr.
struct WindowRun {
    std::string geometry, err;
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
};

WindowRun RunInAWindow(const std::string& scale) {
    TempDir dir;
    const std::string script =
        // Under the sanitizers: X's client libraries (D-Bus, the GL driver
        // SDL loads and unloads) keep memory that LeakSanitizer would report
        // at exit; our own leaks are checked by the headless runs.
        "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" \"$0\" --window --scale \"$1\" --frames 240 "
        "2>\"$2/err\" & pid=$!\n"
        "timeout 30 xdotool search --sync --onlyvisible --name \"DD Development Window\" >\"$2/id\" || exit 1\n"
        "id=$(head -n 1 \"$2/id\")\n"
        "xdotool getwindowgeometry --shell \"$id\"\n"
        "sleep 1\n"
        "import -window \"$id\" \"$2/window.png\"\n"
        "wait $pid\n"
        "echo STATUS=$?\n";
    WindowRun run;
    run.geometry = "\n" + Capture("timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' sh -c " + Quote(script) + " " +
                                  Quote(kProgram) + " " + scale + " " + Quote(dir.path) + " 2>&1");
    run.err = ReadFile(dir / "err");
    ReadPng(dir / "window.png", run.rgb, run.width, run.height);
    return run;
}

// Each picture pixel is a `scale` x `scale` square of the window.
void ExpectScaledPicture(const WindowRun& run, int scale, const std::vector<uint8_t>& picture) {
    ASSERT_EQ(run.width, 320 * scale);
    ASSERT_EQ(run.height, 240 * scale);
    int wrong = 0;
    for (int y = 0; y < 240 * scale; ++y) {
        for (int x = 0; x < 320 * scale; ++x) {
            const uint8_t* got = &run.rgb[(static_cast<size_t>(y) * run.width + x) * 3];
            const uint8_t* want = &picture[(static_cast<size_t>(y / scale) * 320 + x / scale) * 3];
            wrong += got[0] != want[0] || got[1] != want[1] || got[2] != want[2];
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Window, TheScaleIsFittedToTheScreen) {
    if (!Have("xvfb-run") || !Have("xdotool") || !Have("import")) GTEST_SKIP() << "needs xvfb, xdotool, imagemagick";
    const std::string bytes = ReadFile(std::string(SIXSCENE_BUILD_DIR) + "/bitmap/moldivane.Raw");
    const std::vector<uint8_t> title(bytes.begin(), bytes.end());

    // 1600x1200 would not fit 1280x1024: scale 4 is the largest that does.
    const WindowRun large = RunInAWindow("5");
    EXPECT_EQ(Field(large.geometry, "WIDTH"), 1280) << large.geometry;
    EXPECT_EQ(Field(large.geometry, "HEIGHT"), 960) << large.geometry;
    EXPECT_EQ(Field(large.geometry, "STATUS"), 0) << large.geometry << large.err;
    EXPECT_NE(large.err.find("sixscene: a 1600x1200 window does not fit the screen's 1280x1024; scale 4 instead of 5\n"),
              std::string::npos)
        << large.err;
    ExpectScaledPicture(large, 4, title);

    const WindowRun small = RunInAWindow("2");
    EXPECT_EQ(Field(small.geometry, "WIDTH"), 640) << small.geometry;
    EXPECT_EQ(Field(small.geometry, "HEIGHT"), 480) << small.geometry;
    EXPECT_EQ(Field(small.geometry, "STATUS"), 0) << small.geometry << small.err;
    EXPECT_EQ(small.err.find("does not fit"), std::string::npos) << small.err;
    ExpectScaledPicture(small, 2, title);
}

// The pane's lines with something on them.
std::vector<std::string> PaneLines(const std::string& tmux) {
    std::vector<std::string> lines;
    std::istringstream pane(Capture(tmux + " capture-pane -p"));
    for (std::string line; std::getline(pane, line);) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

TEST(Window, TheProgressBarFitsANarrowTerminalAndFollowsItsWidth) {
    if (!Have("tmux")) GTEST_SKIP() << "needs tmux";
    for (const int columns : {20, 40}) {
        // A server of our own for each width, without the user's configuration.
        TempDir dir;
        const std::string tmux = "tmux -S " + Quote(dir / "socket") + " -f /dev/null";
        const std::string start = tmux + " new-session -d -x " + std::to_string(columns) + " -y 8 " +
                                  Quote("exec " + kProgram + " --headless");
        ASSERT_EQ(std::system(("TERM=xterm " + start).c_str()), 0);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::vector<std::string> narrow = PaneLines(tmux);
        // Wider: the bar takes the room at its next redraw.
        std::system((tmux + " resize-window -x 100").c_str());
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const std::vector<std::string> wide = PaneLines(tmux);
        std::system((tmux + " kill-server").c_str());

        ASSERT_EQ(narrow.size(), 1u) << columns << " columns:\n" << Join(narrow);
        EXPECT_EQ(narrow[0][0], '[') << narrow[0];
        EXPECT_NE(narrow[0].find(']'), std::string::npos) << narrow[0];
        EXPECT_LT(narrow[0].size(), static_cast<size_t>(columns)) << narrow[0];
        ASSERT_EQ(wide.size(), 1u) << columns << " columns, then 100:\n" << Join(wide);
        EXPECT_NE(wide[0].find("position"), std::string::npos) << wide[0];
        EXPECT_NE(wide[0].find("fps"), std::string::npos) << wide[0];
    }
}

}  // namespace
