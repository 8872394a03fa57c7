#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "sixscene-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void TempDir::Write(const std::string& relative, const std::string& bytes) const {
    const fs::path file = fs::path(path) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void CopyShowData(const std::string& dir) {
    for (const char* folder : {"bitmap", "obj", "snd", "dat"}) {
        fs::copy(fs::path(SIXSCENE_BUILD_DIR) / folder, fs::path(dir) / folder,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}
