#include "assets/text.h"

#include <cstdio>

bool LoadText(std::string& text, const std::string& path) {
    text.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char block[4096];
    size_t got;
    bool pendingCR = false;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (pendingCR && c != '\n') text.push_back('\r');
            pendingCR = (c == '\r');
            if (!pendingCR) text.push_back(c);
        }
    }
    if (pendingCR) text.push_back('\r');
    std::fclose(file);
    return true;
}
