// Recording the show to a video file through ffmpeg.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0; }

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

std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
    return Capture("ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream=" +
                   entries + " -of default=noprint_wrappers=1 '" + file + "'");
}

double Field(const std::string& text, const std::string& name) {
    const size_t at = text.find(name + "=");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + name.size() + 1);
}

TEST(Recording, Mp4HasScaledVideoAt60FramesAndAudioOfTheSameLength) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    TempDir dir;
    const std::string file = dir / "show.mp4";
    ProgramResult run = RunProgram({"--headless", "--frames", "90", "--video-scale", "2", "--record", file});
    ASSERT_EQ(run.status, 0) << run.err;
    // --frames 90 is 90 frames, no more.
    EXPECT_NE(run.err.find("recorded 90 frames"), std::string::npos) << run.err;
    const std::string video = Probe(file, "v:0", "codec_name,width,height,r_frame_rate,nb_read_frames,duration");
    EXPECT_NE(video.find("codec_name=h264"), std::string::npos) << video;
    EXPECT_EQ(Field(video, "width"), 640);
    EXPECT_EQ(Field(video, "height"), 480);
    EXPECT_NE(video.find("r_frame_rate=60/1"), std::string::npos) << video;
    EXPECT_EQ(Field(video, "nb_read_frames"), 90);
    const std::string audio = Probe(file, "a:0", "codec_name,sample_rate,channels,duration");
    EXPECT_NE(audio.find("codec_name=aac"), std::string::npos) << audio;
    EXPECT_EQ(Field(audio, "sample_rate"), 48000);
    EXPECT_EQ(Field(audio, "channels"), 2);
    EXPECT_NEAR(Field(audio, "duration"), Field(video, "duration"), 1.0 / 60 + 1e-3);
}

TEST(Recording, TwoLosslessRecordingsDecodeToTheSameFrames) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    TempDir dir;
    std::string hashes[2];
    for (int i = 0; i < 2; ++i) {
        const std::string file = dir / ("run" + std::to_string(i) + ".mkv");
        ProgramResult run = RunProgram({"--headless", "--frames", "60", "--video-scale", "1", "--record", file});
        ASSERT_EQ(run.status, 0) << run.err;
        hashes[i] = Capture("ffmpeg -v error -i '" + file + "' -map 0:v -f framemd5 - | grep -v '^#'");
    }
    EXPECT_EQ(std::count(hashes[0].begin(), hashes[0].end(), '\n'), 60);
    EXPECT_EQ(hashes[0], hashes[1]);
}

TEST(Recording, AnUnwritableFileIsAClearError) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    ProgramResult run = RunProgram({"--headless", "--frames", "10", "--record", "/nonexistent/dir/show.mp4"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("/nonexistent/dir/show.mp4"), std::string::npos) << run.err;
}

}  // namespace
