#pragma once
// A fresh folder under /tmp for one test, removed afterwards.
#include <string>
#include <vector>

struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Writes `bytes` to path/relative, creating folders on the way.
    void Write(const std::string& relative, const std::string& bytes) const;
    std::string operator/(const std::string& relative) const { return path + "/" + relative; }
};

std::string ReadFile(const std::string& path);
// Copies the show's generated data (bitmap, obj, snd, dat) into `dir`.
void CopyShowData(const std::string& dir);
