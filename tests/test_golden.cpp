// Golden frames: the program, headless, draws the frames listed in
// tests/golden/frames.txt exactly as the PNGs beside that list, at 32 and
// at 16 bits per pixel. A frame that differs leaves a diff image in the
// build folder (expected | got | differing pixels in red) named in the
// failure. After an intended change of the picture, scripts/update-golden
// makes the golden frames again.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kGolden = std::string(SIXSCENE_SOURCE_DIR) + "/tests/golden";
const std::string kDiffs = std::string(SIXSCENE_BUILD_DIR) + "/golden-diff";
constexpr int kWidth = 320, kHeight = 240;

struct GoldenFrame {
    long long number;
    std::string shows;
};

std::vector<GoldenFrame> ListedFrames() {
    std::ifstream in(kGolden + "/frames.txt");
    std::vector<GoldenFrame> frames;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        GoldenFrame frame{};
        if (!(fields >> frame.number)) continue;
        std::getline(fields >> std::ws, frame.shows);
        frames.push_back(frame);
    }
    return frames;
}

std::string FrameName(long long n) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", n);
    return name;
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// Expected | got | the got frame dimmed with every differing pixel in red,
// with grey gaps between the panels.
bool WriteDiff(const std::string& path, const std::vector<uint8_t>& expected, const std::vector<uint8_t>& got) {
    constexpr int kGap = 4, kOutWidth = 3 * kWidth + 2 * kGap;
    std::vector<uint8_t> out(static_cast<size_t>(kOutWidth) * kHeight * 3, 0x80);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const size_t at = (static_cast<size_t>(y) * kWidth + x) * 3;
            uint8_t* row = &out[static_cast<size_t>(y) * kOutWidth * 3];
            std::copy_n(&expected[at], 3, row + x * 3);
            std::copy_n(&got[at], 3, row + (kWidth + kGap + x) * 3);
            uint8_t* mark = row + (2 * (kWidth + kGap) + x) * 3;
            if (std::equal(&expected[at], &expected[at] + 3, &got[at])) {
                const uint8_t grey = static_cast<uint8_t>((got[at] + got[at + 1] + got[at + 2]) / 12);
                mark[0] = mark[1] = mark[2] = grey;
            } else {
                mark[0] = 0xFF;
                mark[1] = mark[2] = 0;
            }
        }
    }
    return WritePng(path, out, kOutWidth, kHeight);
}

// Renders the listed frames at `depth` and compares each with its golden PNG.
void CompareWithGolden(const char* depth) {
    const std::vector<GoldenFrame> frames = ListedFrames();
    ASSERT_GE(frames.size(), 6u) << "no frame list in " << kGolden << "/frames.txt";
    std::string list;
    for (const GoldenFrame& f : frames) list += (list.empty() ? "" : ",") + std::to_string(f.number);
    // Diff images of an earlier run would tell of faults no longer there.
    std::error_code ignored;
    for (const GoldenFrame& f : frames) fs::remove(kDiffs + "/" + depth + "-" + FrameName(f.number), ignored);
    TempDir out;
    const ProgramResult run = RunProgram({"--headless", "--depth", depth, "--record", out.path, "--at", list});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const GoldenFrame& f : frames) {
        const std::string name = FrameName(f.number);
        const std::string goldenPath = kGolden + "/" + depth + "/" + name, gotPath = out / name;
        const std::string what = std::string(depth) + " bpp " + name + " (" + f.shows + ")";
        if (!fs::exists(goldenPath)) {
            ADD_FAILURE() << what << ": no golden frame " << goldenPath << "; run scripts/update-golden";
            continue;
        }
        if (ReadFile(goldenPath) == ReadFile(gotPath)) continue;
        std::vector<uint8_t> expected, got;
        int w = 0, h = 0, gw = 0, gh = 0;
        ASSERT_TRUE(ReadPng(goldenPath, expected, w, h)) << goldenPath;
        ASSERT_TRUE(ReadPng(gotPath, got, gw, gh)) << what << ": the program wrote no readable frame";
        ASSERT_TRUE(w == kWidth && h == kHeight && gw == kWidth && gh == kHeight) << what;
        // Other PNG bytes for the same pixels are the encoder's doing, not a change of the picture.
        if (expected == got) continue;
        long long differing = 0;
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const size_t at = (static_cast<size_t>(y) * kWidth + x) * 3;
                if (std::equal(&expected[at], &expected[at] + 3, &got[at])) continue;
                ++differing;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        fs::create_directories(kDiffs);
        const std::string diff = kDiffs + "/" + depth + "-" + name;
        const bool written = WriteDiff(diff, expected, got);
        ADD_FAILURE() << what << ": " << differing << " pixels differ, within x " << left << "-" << right << ", y "
                      << top << "-" << bottom << "; "
                      << (written ? "diff image (expected | got | differing pixels in red): " + diff
                                  : "could not write the diff image " + diff)
                      << "\nIf the change of the picture is intended, run scripts/update-golden.";
    }
}

TEST(Golden, FramesAt32BitsMatch) { CompareWithGolden("32"); }

TEST(Golden, FramesAt16BitsMatch) { CompareWithGolden("16"); }

}  // namespace
