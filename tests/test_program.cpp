// The program as a user runs it: headless, with the real plug-in and data.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct CsvRow {
    int64_t frame;
    uint32_t clockMs;
    double frameTicks, ticksTotal;
    int32_t position;
};

std::vector<CsvRow> ReadFrames(const std::string& dir) {
    std::ifstream in(dir + "/frames.csv");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "frame,clock_ms,frame_ticks,ticks_total,position");
    std::vector<CsvRow> rows;
    while (std::getline(in, line)) {
        CsvRow r{};
        char comma;
        std::istringstream s(line);
        s >> r.frame >> comma >> r.clockMs >> comma >> r.frameTicks >> comma >> r.ticksTotal >> comma >> r.position;
        rows.push_back(r);
    }
    return rows;
}

std::vector<uint8_t> Frame(const std::string& dir, int64_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(n));
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    EXPECT_TRUE(ReadPng(dir + name, rgb, w, h)) << dir + name;
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    return rgb;
}

std::vector<uint8_t> Picture(const char* name) {
    const std::string bytes = ReadFile(std::string(SIXSCENE_BUILD_DIR) + "/bitmap/" + name);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// What the 16-bit display shows of a 24-bit picture, read back as 24 bits.
std::vector<uint8_t> Through565(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> out(rgb.size());
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const uint32_t r = rgb[i] >> 3, g = rgb[i + 1] >> 2, b = rgb[i + 2] >> 3;
        out[i] = static_cast<uint8_t>(r << 3 | r >> 2);
        out[i + 1] = static_cast<uint8_t>(g << 2 | g >> 4);
        out[i + 2] = static_cast<uint8_t>(b << 3 | b >> 2);
    }
    return out;
}

TEST(Program, HelpVersionAndUsageErrors) {
    ProgramResult help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--headless"), std::string::npos);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    EXPECT_EQ(RunProgram({"--version"}).status, 0);
    ProgramResult bad = RunProgram({"--bogus"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown option --bogus"), std::string::npos);
    EXPECT_EQ(RunProgram({"--depth", "24"}).status, 2);
    EXPECT_EQ(RunProgram({"--headless", "--at", "5-3"}).status, 2);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Program, ContradictoryOptionsAreNamedTogetherAndNothingRuns) {
    TempDir dir;
    const std::string folder = dir / "rec";
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> named;  // each must be in the message
    };
    const Case cases[] = {
        {{"--headless", "--window", "--frames", "3"}, {"--headless", "--window"}},
        {{"--window", "--headless"}, {"--window", "--headless"}},
        {{"--window", "--record", folder}, {"--window", "--record"}},
        {{"--headless", "--scale", "2"}, {"--headless", "--scale"}},
        {{"--scale", "2", "--record", folder}, {"--scale", "--record"}},
        {{"--headless", "--at", "10"}, {"--at", "--record"}},
        {{"--at", "10"}, {"--at", "--record"}},
        {{"--record", dir / "show.mp4", "--at", "3"}, {"--at", "--record", "show.mp4"}},
        {{"--record", folder, "--video-scale", "2"}, {"--video-scale", "--record"}},
        {{"--record", folder, "--at", "3,10", "--frames", "10"}, {"--at", "--frames", "10"}},
        {{"--frames", "0"}, {"--frames"}},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const std::string& a : c.args) what += a + " ";
        const ProgramResult run = RunProgram(c.args);
        EXPECT_EQ(run.status, 2) << what << "\n" << run.err;
        // One message, then the pointer to --help.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << what << "\n" << run.err;
        for (const std::string& name : c.named) EXPECT_TRUE(Has(run.err, name)) << what << "\n" << run.err;
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(dir / "show.mp4"));
}

TEST(Program, VideoNamesThatCannotBeWrittenAreRefused) {
    TempDir dir;
    for (const char* name : {"x.avi", "x.mov", "x.webm", "x.gif", "x.MPG", "x.ts", "x.ogv", "x.wav"}) {
        const ProgramResult run = RunProgram({"--record", dir / name, "--frames", "3"});
        EXPECT_EQ(run.status, 2) << name << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, ".mp4") && Has(run.err, ".mkv")) << run.err;
        EXPECT_FALSE(fs::exists(dir / name)) << name << " was made";
    }
    // A folder may still have any name: a trailing slash says it is one.
    const ProgramResult run = RunProgram({"--record", dir / "frames.avi/", "--frames", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "frames.avi/frame-000001.png"));
}

TEST(Program, FramesNMeansNFramesWrittenAndReported) {
    for (const int n : {1, 5, 30}) {
        TempDir dir;
        const ProgramResult run =
            RunProgram({"--headless", "--record", dir.path, "--frames", std::to_string(n)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.rfind("sixscene: " + std::to_string(n) + " frames in ", 0), 0u) << run.err;
        EXPECT_EQ(ReadFrames(dir.path).size(), static_cast<size_t>(n));
        size_t pngs = 0;
        for (const auto& entry : fs::directory_iterator(dir.path)) pngs += entry.path().extension() == ".png";
        EXPECT_EQ(pngs, static_cast<size_t>(n));
        // The music lasts as long as the frames shown: 800 samples a frame.
        const auto samples = static_cast<int64_t>((fs::file_size(dir / "audio.wav") - 44) / 4);
        EXPECT_NEAR(samples, n * 800, 800) << n;
    }
}

TEST(Program, AtFramesThatTheShowNeverReachesAreAnError) {
    TempDir dir;
    // The deterministic run has 14778 frames, the last numbered 14777.
    const ProgramResult run = RunProgram({"--headless", "--record", dir.path, "--at", "5,14777,20000-20002,999999"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "sixscene: the show ended after frame 14777; --at asked for frames 20000-20002 and "
                             "999999, never reached\n"))
        << run.err;
    EXPECT_TRUE(fs::exists(dir / "frame-000005.png"));
    EXPECT_TRUE(fs::exists(dir / "frame-014777.png"));
    EXPECT_EQ(ReadFrames(dir.path).size(), 14778u);
}

TEST(Program, MissingDataFolderAndPlugInSayWhatWasTried) {
    const ProgramResult data = RunProgram({"--headless", "--data", "/nonexistent/show", "--frames", "5"});
    EXPECT_EQ(data.status, 1);
    EXPECT_EQ(data.err.rfind("sixscene: the data folder /nonexistent/show does not exist\n", 0), 0u) << data.err;
    EXPECT_TRUE(Has(data.err, "ERROR: Couldn't load textures!\n")) << data.err;
    // The program alone, without --data: where it looked.
    TempDir alone;
    fs::copy_file(std::string(SIXSCENE_BUILD_DIR) + "/sixscene", alone / "sixscene");
    const ProgramResult none = RunProgram({"--headless", "--frames", "5"}, {}, alone / "sixscene");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err.rfind("sixscene: found no show data in " + alone.path + " or in " + alone.path +
                                 "/../share/sixscene\n",
                             0),
              0u)
        << none.err;

    TempDir dir;
    dir.Write("garbage.so", "not a shared object");
    struct Case {
        std::string plugin, reason;
    };
    for (const Case& c : {Case{"/nonexistent/libnpmod32.so", "cannot open shared object file"},
                          Case{dir / "garbage.so", "file too short"}}) {
        const ProgramResult run = RunProgram({"--headless", "--plugin", c.plugin, "--frames", "5"});
        EXPECT_EQ(run.status, 1);
        // The line before the message box names the file tried and why it failed.
        const std::string box = "ERROR: Unable to load npmod32.dll !\n";
        const size_t at = run.err.find(box);
        ASSERT_NE(at, std::string::npos) << run.err;
        const size_t line = run.err.rfind('\n', at - 2);
        const std::string detail = run.err.substr(line == std::string::npos ? 0 : line + 1, at - line - 1);
        EXPECT_EQ(detail.rfind("sixscene: cannot load " + c.plugin + ": ", 0), 0u) << run.err;
        EXPECT_TRUE(Has(detail, c.reason)) << run.err;
        EXPECT_FALSE(Has(run.err.substr(0, at), "npmod32.dll")) << run.err;
    }
}

TEST(Program, InstalledLayoutFindsItsDataAndPlugIn) {
    // As a package installs it: the program in games/, the plug-in in
    // lib/sixscene/ and the data in share/sixscene/.
    TempDir prefix;
    fs::create_directories(prefix / "games");
    fs::create_directories(prefix / "lib/sixscene");
    fs::create_directories(prefix / "share/sixscene");
    fs::copy_file(std::string(SIXSCENE_BUILD_DIR) + "/sixscene", prefix / "games/sixscene");
    fs::copy_file(std::string(SIXSCENE_BUILD_DIR) + "/libnpmod32.so", prefix / "lib/sixscene/libnpmod32.so");
    CopyShowData(prefix / "share/sixscene");
    TempDir dir;
    const ProgramResult run = RunProgram({"--headless", "--record", dir.path, "--at", "900"}, {},
                                         prefix / "games/sixscene");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Frame(dir.path, 900), Picture("kesto.Raw"));
}

TEST(Program, HelpAndManualPageListEveryOption) {
    const ProgramResult help = RunProgram({"--help"});
    const ProgramResult man = RunProgram({"--man"});
    ASSERT_EQ(help.status, 0);
    ASSERT_EQ(man.status, 0) << man.err;
    EXPECT_EQ(man.out.rfind(".TH SIXSCENE 6 ", 0), 0u) << man.out;
    std::set<std::string> options;
    for (size_t at = help.out.find("--"); at != std::string::npos; at = help.out.find("--", at + 2)) {
        const size_t end = help.out.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        options.insert(help.out.substr(at, end - at));
    }
    EXPECT_GE(options.size(), 12u);
    for (const std::string& option : options) {
        // Taken by the parser: the error, if any, is about what follows.
        const ProgramResult run = RunProgram({option, "1", "--bogus"});
        EXPECT_FALSE(Has(run.err, "unknown option " + option)) << option;
        std::string roff;
        for (char c : option) roff += c == '-' ? "\\-" : std::string(1, c);
        EXPECT_TRUE(Has(man.out, "\\fB" + roff + "\\fR")) << option << " is not in the manual page";
    }
    for (const char* section : {".SH NAME\n", ".SH SYNOPSIS\n", ".SH OPTIONS\n", ".SH \"EXIT STATUS\"\n"}) {
        EXPECT_TRUE(Has(man.out, section)) << section;
    }
}

TEST(Program, OpeningPicturesAtBothDepthsAndWithARowPad) {
    const std::vector<uint8_t> title = Picture("moldivane.Raw");
    const std::vector<uint8_t> credits = Picture("kesto.Raw");
    // Frame 900 is 15 s in: row 73 at 0.2055 s a row, the second scene.
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{}, {"--test-pitch", "1536"}, {"--depth", "16"},
          {"--depth", "16", "--test-pitch", "1000"}}) {
        TempDir dir;
        std::vector<std::string> args = {"--headless", "--record", dir.path, "--at", "3,900"};
        args.insert(args.end(), extra.begin(), extra.end());
        ProgramResult run = RunProgram(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const bool sixteen = extra.size() >= 2 && extra[1] == "16";
        EXPECT_EQ(Frame(dir.path, 3), sixteen ? Through565(title) : title);
        EXPECT_EQ(Frame(dir.path, 900), sixteen ? Through565(credits) : credits);
        const std::vector<CsvRow> rows = ReadFrames(dir.path);
        ASSERT_EQ(rows.size(), 901u);
        EXPECT_LE(rows[3].position, 65);
        EXPECT_GE(rows[900].position, 66);
        EXPECT_LE(rows[900].position, 255);
    }
}

TEST(Program, VirtualClockAndFaultsLoseNoTime) {
    TempDir plain, faulty;
    ProgramResult a = RunProgram({"--headless", "--record", plain.path, "--at", "40"});
    ProgramResult b = RunProgram({"--headless", "--record", faulty.path, "--at", "40", "--test-fail-lock",
                                  "10,11,12", "--test-lose-surface", "20,21"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    // A lost surface is restored without a message: only the run's summary.
    EXPECT_EQ(b.err.rfind("sixscene: 41 frames in ", 0), 0u) << b.err;
    EXPECT_EQ(std::count(b.err.begin(), b.err.end(), '\n'), 1) << b.err;
    const std::vector<CsvRow> rows = ReadFrames(plain.path), faultRows = ReadFrames(faulty.path);
    ASSERT_EQ(rows.size(), 41u);
    ASSERT_EQ(faultRows.size(), 41u);  // every frame presented, lost surfaces included
    for (size_t n = 0; n < rows.size(); ++n) {
        EXPECT_EQ(rows[n].frame, static_cast<int64_t>(n));
        EXPECT_EQ(rows[n].clockMs, n * 1000 / 60);
        if (n > 0) {
            EXPECT_DOUBLE_EQ(rows[n].frameTicks, (n * 1000 / 60 - (n - 1) * 1000 / 60) * 0.06);
        }
    }
    // Skipped frames keep the previous clock; the next frame covers the time.
    EXPECT_EQ(faultRows[12].clockMs, faultRows[9].clockMs);
    EXPECT_DOUBLE_EQ(faultRows[13].frameTicks, (13 * 1000 / 60 - 9 * 1000 / 60) * 0.06);
    EXPECT_DOUBLE_EQ(faultRows[40].ticksTotal, rows[40].ticksTotal);
    EXPECT_EQ(Frame(plain.path, 40), Frame(faulty.path, 40));
}

TEST(Program, EscapeEndsWithStatusZero) {
    TempDir dir;
    ProgramResult run = RunProgram({"--headless", "--record", dir.path, "--at", "0", "--frames", "30"});
    // --at 0 would end the run after frame 0; Escape must win only if it came first.
    EXPECT_EQ(run.status, 0);
    ProgramResult escape = RunProgram({"--headless", "--frames", "30"});
    EXPECT_EQ(escape.status, 0) << escape.err;
}

TEST(Program, RecordingsAreIdentical) {
    TempDir first, second;
    for (const std::string& dir : {first.path, second.path}) {
        ProgramResult run = RunProgram({"--headless", "--record", dir, "--frames", "120"});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(first.path)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(ReadFile(entry.path().string()), ReadFile(second / name)) << name;
        ++files;
    }
    EXPECT_GE(files, 120u + 2);
    // The music is in the audio file: two seconds at 48 kHz, 16-bit stereo.
    EXPECT_GT(fs::file_size(first / "audio.wav"), 44u + 48000u * 4 * 2 - 48000u * 4 / 10);
}

TEST(Program, StartUpFailuresSayWhatWentWrong) {
    struct Case {
        const char* remove;
        const char* message;
    };
    const Case cases[] = {{"bitmap/meta.Raw", "ERROR: Couldn't load textures!"},
                          {"obj/nbox.lwo", "ERROR: Couldn't load objects!"},
                          {"snd/pelerind.xm", "ERROR: Couldn't load the music!"}};
    for (const Case& c : cases) {
        TempDir data;
        CopyShowData(data.path);
        fs::remove(data / c.remove);
        ProgramResult run = RunProgram({"--headless", "--data", data.path, "--frames", "5"});
        EXPECT_EQ(run.status, 1) << c.remove;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(fs::path(c.remove).filename().string()), std::string::npos) << run.err;
    }
    ProgramResult plugin = RunProgram({"--headless", "--plugin", "/nonexistent/libnpmod32.so", "--frames", "5"});
    EXPECT_EQ(plugin.status, 1);
    EXPECT_NE(plugin.err.find("ERROR: Unable to load npmod32.dll !"), std::string::npos) << plugin.err;

    ProgramResult display = RunProgram({"--headless", "--test-fail-display", "surfaces"});
    EXPECT_EQ(display.status, 1);
    EXPECT_NE(display.err.find("ERROR: Direct Draw Init Failed (80004005)"), std::string::npos) << display.err;

    TempDir data;
    CopyShowData(data.path);
    fs::remove(data / "dat/text.dat");  // no text is no error
    EXPECT_EQ(RunProgram({"--headless", "--data", data.path, "--frames", "5"}).status, 0);
}

TEST(Program, WholeShowEndsAtItsEndPositionAtBothDepths) {
    for (const char* depth : {"32", "16"}) {
        TempDir dir;
        ProgramResult run = RunProgram({"--headless", "--depth", depth, "--record", dir.path, "--at", "1"});
        // --at ends the run early; the whole show runs without it below.
        ASSERT_EQ(run.status, 0) << run.err;
    }
    for (const char* depth : {"32", "16"}) {
        ProgramResult run = RunProgram({"--headless", "--depth", depth});
        EXPECT_EQ(run.status, 0) << run.err;
        int position = 0;
        long long frames = 0;
        ASSERT_EQ(std::sscanf(run.err.c_str(), "sixscene: the show ended at position %d after %lld frames",
                              &position, &frames), 2) << run.err;
        EXPECT_EQ(position, 1200);
        // Row 1200 at about 0.2055 s a row, 60 frames a second.
        EXPECT_NEAR(frames, 1200 * 0.2055 * 60, 300);
    }
}

}  // namespace
