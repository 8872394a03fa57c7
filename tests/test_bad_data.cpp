// The program over damaged data: each of the sixteen data files missing,
// empty, cut short, replaced by random bytes, of the wrong size or a folder.
// Start-up either refuses with its message, a line naming the file and the
// reason, and status 1, or the show plays; it never crashes or hangs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kBuild = SIXSCENE_BUILD_DIR;

const char* const kPictures[] = {"bitmap/font.Raw",   "bitmap/zastava.Raw", "bitmap/meta.Raw", "bitmap/moldivane.Raw",
                                 "bitmap/kesto.Raw",  "bitmap/one.Raw",     "bitmap/targets.Raw",
                                 "bitmap/zemlja.Raw", "bitmap/who.Raw",     "bitmap/logo.Raw"};
const char* const kObjects[] = {"obj/nrect.lwo", "obj/nball.lwo", "obj/nballx.lwo", "obj/nbox.lwo"};
const char* const kModule = "snd/pelerind.xm";
const char* const kText = "dat/text.dat";

std::vector<std::string> AllDataFiles() {
    std::vector<std::string> files(std::begin(kPictures), std::end(kPictures));
    files.insert(files.end(), std::begin(kObjects), std::end(kObjects));
    files.push_back(kModule);
    files.push_back(kText);
    return files;
}

std::string Good(const std::string& relative) { return ReadFile(kBuild + "/" + relative); }

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// A data folder whose files are the generated ones (linked, not copied),
// except `damaged`, which is left for the case to make.
struct DataFolder {
    TempDir dir;
    explicit DataFolder(const std::string& damaged) {
        for (const std::string& file : AllDataFiles()) {
            fs::create_directories(fs::path(dir.path) / fs::path(file).parent_path());
            if (file != damaged) fs::create_symlink(kBuild + "/" + file, dir / file);
        }
    }
    std::string Path(const std::string& relative) const { return dir / relative; }
};

// Resident memory of a running process in MiB, from /proc; 0 if unknown.
size_t ResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) / 1024;
    }
    return 0;
}

// Runs the program, killing it if it is still running after `seconds` or,
// when `maxMiB` is given, once its resident memory grows past that.
ProgramResult RunWithin(const std::vector<std::string>& args, double seconds, size_t maxMiB = 0) {
    TempDir io;
    const std::string outPath = io / "out", errPath = io / "err";
    const std::string program = kBuild + "/sixscene";
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) _exit(127);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "still running after " << seconds << " s";
            break;
        }
        if (maxMiB > 0 && ResidentMiB(pid) > maxMiB) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "used more than " << maxMiB << " MiB";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) ADD_FAILURE() << "ended by signal " << WTERMSIG(status);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    // Under the sanitizers a fault ends the run with status 1 too.
    for (const char* report : {"Sanitizer", "runtime error:"}) {
        EXPECT_EQ(result.err.find(report), std::string::npos) << result.err;
    }
    return result;
}

// Start-up and a few frames; generous for the sanitizer builds.
ProgramResult Play(const DataFolder& data) {
    return RunWithin({"--headless", "--data", data.dir.path, "--frames", "3"}, 300);
}

void ExpectRefused(const ProgramResult& run, const char* message, const std::string& path, const char* reason,
                   const std::string& what) {
    EXPECT_EQ(run.status, 1) << what << "\n" << run.err;
    EXPECT_NE(run.err.find(std::string("ERROR: ") + message), std::string::npos) << what << "\n" << run.err;
    // One line that names the file and says why.
    const size_t named = run.err.find(path + ": ");
    ASSERT_NE(named, std::string::npos) << what << "\n" << run.err;
    const std::string line = run.err.substr(named, run.err.find('\n', named) - named);
    EXPECT_NE(line.find(reason), std::string::npos) << what << ": " << line;
}

void ExpectPlays(const ProgramResult& run, const std::string& what) {
    EXPECT_EQ(run.status, 0) << what << "\n" << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << what << "\n" << run.err;
}

// The chunks of an IFF file: identifier and the offset just past its data.
std::vector<std::pair<std::string, size_t>> ChunkEnds(const std::string& bytes) {
    std::vector<std::pair<std::string, size_t>> chunks;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at + 4);
        const size_t length = size_t{p[0]} << 24 | size_t{p[1]} << 16 | size_t{p[2]} << 8 | p[3];
        chunks.emplace_back(bytes.substr(at, 4), at + 8 + length);
        at += 8 + length + (length & 1);
    }
    return chunks;
}

TEST(BadData, PicturesMissingShortOrAFolderAreRefusedAndAnyLongEnoughPicturePlays) {
    const struct {
        int32_t width, height;
    } sizes[] = {{704, 26}, {512, 256}, {256, 256}, {320, 240}, {320, 240},
                 {320, 80}, {320, 80},  {640, 320}, {64, 240},  {320, 240}};
    for (size_t i = 0; i < std::size(kPictures); ++i) {
        const std::string file = kPictures[i];
        const size_t bytes = static_cast<size_t>(sizes[i].width) * sizes[i].height * 3;
        const std::string good = Good(file);
        ASSERT_EQ(good.size(), bytes) << file;
        const std::string needs = "needs " + std::to_string(bytes / 3);
        {
            DataFolder data(file);
            ExpectRefused(Play(data), "Couldn't load textures!", data.Path(file), "cannot open the file", file);
        }
        {
            DataFolder data(file);
            data.dir.Write(file, "");
            ExpectRefused(Play(data), "Couldn't load textures!", data.Path(file), ("0 pixels, but a " +
                          std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height)).c_str(), file);
        }
        {
            DataFolder data(file);
            data.dir.Write(file, good.substr(0, bytes / 2));
            ExpectRefused(Play(data), "Couldn't load textures!", data.Path(file), needs.c_str(), file + " halved");
        }
        {
            // One pixel short, with the odd bytes of a pixel that isn't whole.
            DataFolder data(file);
            data.dir.Write(file, good.substr(0, bytes - 1));
            ExpectRefused(Play(data), "Couldn't load textures!", data.Path(file), needs.c_str(), file + " short");
        }
        {
            DataFolder data(file);
            fs::create_directory(data.Path(file));
            ExpectRefused(Play(data), "Couldn't load textures!", data.Path(file), "cannot read the file",
                          file + " as a folder");
        }
        {
            // Any bytes of the right size are a picture; extra bytes go unused.
            DataFolder data(file);
            data.dir.Write(file, RandomBytes(bytes, static_cast<uint32_t>(i)));
            ExpectPlays(Play(data), file + " random");
            data.dir.Write(file, good + RandomBytes(3 * 320 + 2, 99));
            ExpectPlays(Play(data), file + " long");
        }
    }
}

TEST(BadData, ObjectsThatCannotBeReadAreRefusedWithTheReason) {
    for (size_t i = 0; i < std::size(kObjects); ++i) {
        const std::string file = kObjects[i];
        const std::string good = Good(file);
        const struct {
            std::string bytes;
            const char* reason;
            const char* what;
        } cases[] = {
            {"", "no SRFS chunk", "empty"},
            {good.substr(0, good.size() / 2), "runs past the end of the file", "halved"},
            {RandomBytes(good.size(), 100 + static_cast<uint32_t>(i)), "no SRFS chunk", "random"},
            // The identifiers without the chunks they promise.
            {std::string("FORM\0\0\0\x10LWOBSRFSPNTSPOLS", 24), "runs past the end of the file", "bare identifiers"},
        };
        for (const auto& c : cases) {
            DataFolder data(file);
            data.dir.Write(file, c.bytes);
            ExpectRefused(Play(data), "Couldn't load objects!", data.Path(file), c.reason, file + " " + c.what);
        }
        DataFolder missing(file);
        ExpectRefused(Play(missing), "Couldn't load objects!", missing.Path(file), "can't open the file",
                      file + " missing");
        DataFolder folder(file);
        fs::create_directory(folder.Path(file));
        ExpectRefused(Play(folder), "Couldn't load objects!", folder.Path(file), "can't read the file",
                      file + " as a folder");
    }
}

TEST(BadData, AnObjectCutShortLoadsOnlyWhenItsPolygonsAreWhole) {
    // Cut at every chunk boundary and inside every chunk: the reader needs
    // SRFS, PNTS and POLS whole; the SURF chunk after them plays no part.
    const std::string file = "obj/nbox.lwo";
    const std::string good = Good(file);
    size_t polygonsEnd = 0;
    std::vector<size_t> cuts = {0, 4, 8, 12};
    for (const auto& [id, end] : ChunkEnds(good)) {
        if (id == "POLS") polygonsEnd = end;
        cuts.insert(cuts.end(), {end - 1, end, end + 5});
    }
    ASSERT_GT(polygonsEnd, 0u);
    for (size_t cut : cuts) {
        if (cut >= good.size()) continue;
        DataFolder data(file);
        data.dir.Write(file, good.substr(0, cut));
        const ProgramResult run = Play(data);
        const std::string what = file + " cut at " + std::to_string(cut) + " of " + std::to_string(good.size());
        if (cut >= polygonsEnd) {
            ExpectPlays(run, what);
        } else {
            EXPECT_EQ(run.status, 1) << what << "\n" << run.err;
            EXPECT_NE(run.err.find("ERROR: Couldn't load objects!"), std::string::npos) << what << "\n" << run.err;
            EXPECT_NE(run.err.find(data.Path(file) + ": "), std::string::npos) << what << "\n" << run.err;
        }
    }
}

TEST(BadData, AModuleThePluginCannotReadIsRefusedAndAShortenedOnePlays) {
    const std::string good = Good(kModule);
    // The header says how many channels follow; no module has 65535.
    std::string garbled = good;
    garbled[68] = garbled[69] = '\xFF';
    const struct {
        int kind;  // 0 missing, 1 bytes, 2 folder
        std::string bytes;
        const char* reason;
        const char* what;
    } cases[] = {
        {0, "", "No such file or directory", "missing"},
        // libopenmpt's own verdict, not just its "error loading file".
        {1, "", "the file is empty", "empty"},
        {1, RandomBytes(good.size(), 7), "libopenmpt recognises no module format in it", "random"},
        {1, garbled, "libopenmpt recognises no module format in it", "garbled channel count"},
        {1, good.substr(0, 60), "too short: its 60 bytes are too few for libopenmpt to recognise", "cut inside the header"},
        {1, good.substr(0, 200), "damaged or cut short: libopenmpt recognises a module header but cannot read the module",
         "cut after the header's start"},
        {2, "", "Is a directory", "a folder"},
    };
    for (const auto& c : cases) {
        DataFolder data(kModule);
        if (c.kind == 1) data.dir.Write(kModule, c.bytes);
        if (c.kind == 2) fs::create_directory(data.Path(kModule));
        const ProgramResult run = Play(data);
        // The plug-in's line says why, then the program's names the file.
        ExpectRefused(run, "Couldn't load the music!", data.Path(kModule), c.reason, c.what);
        EXPECT_NE(run.err.find("npmod32: cannot load " + data.Path(kModule) + ": " + c.reason), std::string::npos)
            << c.what << "\n" << run.err;
        EXPECT_NE(run.err.find("sixscene: " + data.Path(kModule) + ": the plug-in cannot load it"), std::string::npos)
            << c.what << "\n" << run.err;
    }
    // The module reader fills in what is missing: half a module still plays.
    DataFolder halved(kModule);
    halved.dir.Write(kModule, good.substr(0, good.size() / 2));
    ExpectPlays(Play(halved), "halved module");
}

TEST(BadData, AnyTextFilePlays) {
    const std::string good = Good(kText);
    for (int kind = 0; kind < 5; ++kind) {
        DataFolder data(kText);
        if (kind == 1) data.dir.Write(kText, "");
        if (kind == 2) data.dir.Write(kText, good.substr(0, good.size() / 2));
        if (kind == 3) data.dir.Write(kText, RandomBytes(good.size(), 3));
        if (kind == 4) fs::create_directory(data.Path(kText));
        const ProgramResult run = Play(data);
        ExpectPlays(run, "text case " + std::to_string(kind));
        // No text is no error: nothing is said about it.
        EXPECT_EQ(run.err.find("text.dat"), std::string::npos) << run.err;
    }
}

TEST(BadData, ATextThatIsNoPlainFileOrTooLargeIsRefusedAndTheShowPlaysOn) {
    // Reading a FIFO waits for a writer that never comes, /dev/zero never
    // ends, and a huge file is no scroll text: each is refused with a line
    // naming the file and why, and the show plays without the text.
    const std::string good = Good(kText);
    std::string huge;
    while (huge.size() < 2u << 20) huge += good;
    const struct {
        const char* what;
        const char* reason;
    } cases[] = {{"a FIFO", "not a regular file (a FIFO)"},
                 {"a link to /dev/zero", "not a regular file (a character device)"},
                 {"2 MiB of text", "larger than 1 MiB"}};
    for (int kind = 0; kind < 3; ++kind) {
        DataFolder data(kText);
        const std::string path = data.Path(kText);
        if (kind == 0) {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        if (kind == 1) fs::create_symlink("/dev/zero", path);
        if (kind == 2) data.dir.Write(kText, huge);
        const ProgramResult run = RunWithin({"--headless", "--data", data.dir.path, "--frames", "30"}, 300, 1024);
        const std::string what = cases[kind].what;
        ExpectPlays(run, what);
        // One line that names the file, says why and that the show goes on.
        const size_t named = run.err.find("sixscene: " + path + ": ");
        if (named == std::string::npos) {
            ADD_FAILURE() << what << ": no line names the file\n" << run.err;
            continue;
        }
        const std::string line = run.err.substr(named, run.err.find('\n', named) - named);
        EXPECT_NE(line.find(cases[kind].reason), std::string::npos) << what << ": " << line;
        EXPECT_NE(line.find("playing without the text"), std::string::npos) << what << ": " << line;
        EXPECT_NE(run.err.find("sixscene: 30 frames in "), std::string::npos) << what << "\n" << run.err;
    }
}

TEST(BadData, WithoutTheTextTheShowPlaysWithoutIt) {
    // Frame 4400 is in the fourth scene with the text scrolling up from the
    // bottom edge: the frames with a missing and an empty text file are the
    // same, and differ from the frame with the text.
    const char* frame = "/frame-004400.png";
    std::vector<std::string> frames;
    for (int kind = 0; kind < 3; ++kind) {
        DataFolder data(kText);
        if (kind == 0) fs::create_symlink(kBuild + "/" + kText, data.Path(kText));
        if (kind == 2) data.dir.Write(kText, "");
        TempDir record;
        const ProgramResult run =
            RunWithin({"--headless", "--data", data.dir.path, "--record", record.path, "--at", "4400"}, 1200);
        ASSERT_EQ(run.status, 0) << run.err;
        frames.push_back(ReadFile(record.path + frame));
        ASSERT_FALSE(frames.back().empty());
    }
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_EQ(frames[1], frames[2]);
}

}  // namespace
