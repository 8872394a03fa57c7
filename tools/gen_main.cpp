// sixscene_gen: writes every data file the show reads (pictures, objects,
// music, scroll text) into one output folder. Same bytes on every run.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "generator.h"

namespace gen {

Bytes MakeIcon();  // icons/sixscene.png, the desktop icon (icon.cpp)

const std::vector<DataFile>& DataFiles() {
    static const std::vector<DataFile> files = {
        {"bitmap/font.Raw", MakeFont},           {"bitmap/zastava.Raw", MakeFlag},
        {"bitmap/meta.Raw", MakeMetalPlate},     {"bitmap/moldivane.Raw", MakeTitleCard},
        {"bitmap/kesto.Raw", MakeCreditsCard},   {"bitmap/one.Raw", MakeBandOne},
        {"bitmap/targets.Raw", MakeBandTargets}, {"bitmap/zemlja.Raw", MakeWorldMap},
        {"bitmap/who.Raw", MakeStripWho},        {"bitmap/logo.Raw", MakeLogo},
        {"obj/nrect.lwo", MakePanelObject},      {"obj/nball.lwo", MakeBallObject},
        {"obj/nballx.lwo", MakeGlobeObject},     {"obj/nbox.lwo", MakeBoxObject},
        {"snd/pelerind.xm", MakeModule},         {"dat/text.dat", MakeScrollText},
        {"icons/sixscene.png", MakeIcon},
    };
    return files;
}

}  // namespace gen

namespace {

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: sixscene_gen --out DIR\n"
                 "Writes the show's data into DIR: bitmap/*.Raw, obj/*.lwo, snd/pelerind.xm and\n"
                 "dat/text.dat. The output is the same, byte for byte, on every run.\n");
}

bool WriteFile(const std::filesystem::path& path, const gen::Bytes& data) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
        std::fprintf(stderr, "sixscene_gen: cannot create folder %s: %s\n",
                     path.parent_path().string().c_str(), ec.message().c_str());
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "sixscene_gen: cannot open %s for writing: %s\n", path.string().c_str(),
                     std::strerror(errno));
        return false;
    }
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "sixscene_gen: writing %s failed\n", path.string().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--out" && i + 1 < argc) {
            outDir = argv[++i];
        } else {
            std::fprintf(stderr, "sixscene_gen: unexpected argument '%s'\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        }
    }
    if (outDir.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    for (const gen::DataFile& file : gen::DataFiles()) {
        gen::Bytes data;
        try {
            data = file.make();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "sixscene_gen: cannot make %s: %s\n", file.path.c_str(), e.what());
            return 1;
        }
        if (!WriteFile(std::filesystem::path(outDir) / file.path, data)) return 1;
    }
    return 0;
}
