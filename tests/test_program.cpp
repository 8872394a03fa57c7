// The program as a user runs it: headless, with the real plug-in and data.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
